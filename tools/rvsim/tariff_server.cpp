#include "tariff_server.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

namespace rvsim {

TariffServer::TariffServer(quint16 port, uint8_t plan, QByteArray text, QObject* parent)
    : QObject(parent), m_server(new QTcpServer(this)), m_plan(plan), m_text(std::move(text))
{
    m_server->listen(QHostAddress::LocalHost, port);
    connect(m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* c = m_server->nextPendingConnection()) {
            connect(c, &QTcpSocket::disconnected, c, &QObject::deleteLater);
            connect(c, &QTcpSocket::readyRead, c, [this, c] {
                // The request is 20 bytes; the answer goes out once all of them are in.
                if (c->bytesAvailable() < 20)
                    return;
                const QByteArray request = c->read(20);
                if (!request.startsWith(QByteArray("\xFF\x11\x00\x01", 4))) {
                    c->disconnectFromHost();
                    return;
                }
                ++m_requests;
                QByteArray answer("\xFF\x00\x00", 3);
                answer += m_text.isEmpty() ? '\x01' : '\x02';
                answer += static_cast<char>(m_plan);
                if (!m_text.isEmpty())
                    answer += m_text + '\0';
                c->write(answer);
                c->disconnectFromHost();
            });
        }
    });
}

bool TariffServer::listening() const
{
    return m_server->isListening();
}

} // namespace rvsim
