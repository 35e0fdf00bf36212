#include "core/link/tcp_server.h"

#include <QTcpSocket>

namespace rv {

namespace {
QString peerText(const QTcpSocket* socket)
{
    QHostAddress a = socket->peerAddress();
    bool mapped = false;
    const quint32 v4 = a.toIPv4Address(&mapped);
    if (mapped)
        a = QHostAddress(v4);
    return QStringLiteral("%1:%2").arg(a.toString()).arg(socket->peerPort());
}
} // namespace

TcpServer::TcpServer(QObject* parent) : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, &TcpServer::acceptPending);
}

TcpServer::~TcpServer()
{
    stop();
}

bool TcpServer::start(quint16 port, const QHostAddress& address)
{
    stop();
    return m_server.listen(address, port);
}

void TcpServer::stop()
{
    dropClient();
    m_server.close();
}

void TcpServer::dropClient()
{
    if (QTcpSocket* c = m_client.data()) {
        c->disconnect(this); // closing it here is not the unit's disconnect
        c->abort();
        c->deleteLater();
    }
    m_client = nullptr;
    m_peer.clear();
}

qint64 TcpServer::Send_gprs_data(QByteArrayView data)
{
    if (!m_client || m_client->state() != QAbstractSocket::ConnectedState)
        return 0;
    return m_client->write(data.constData(), data.size());
}

void TcpServer::acceptPending()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        if (m_client) {
            // One unit at a time: another caller could otherwise slip frames into the unit's session.
            const QString who = peerText(socket);
            socket->abort();
            socket->deleteLater();
            emit connectionRefused(who);
            continue;
        }
        m_client = socket;
        m_peer = peerText(socket);
        socket->setParent(this);
        socket->setReadBufferSize(kSocketBuffer);
        connect(socket, &QTcpSocket::readyRead, this, &TcpServer::readClient);
        connect(socket, &QTcpSocket::disconnected, this, &TcpServer::clientGone);
        connect(socket, &QTcpSocket::errorOccurred, this, [this, socket](QAbstractSocket::SocketError e) {
            if (socket == m_client)
                emit clientError(static_cast<int>(e), socket->errorString());
        });
        emit clientConnected(m_peer);
        if (m_client == socket && socket->bytesAvailable() > 0)
            readClient(); // bytes that came with the connection
    }
}

void TcpServer::readClient()
{
    // A handler may stop the server while this runs: look at the connection again before each piece.
    while (m_client && m_client->bytesAvailable() > 0) {
        const QByteArray piece = m_client->read(kReadChunk);
        if (piece.isEmpty())
            break;
        emit dataReceived(piece);
    }
}

void TcpServer::clientGone()
{
    if (!m_client)
        return;
    readClient(); // what arrived before the close still counts
    if (!m_client)
        return;
    QTcpSocket* c = m_client.data();
    c->disconnect(this);
    c->deleteLater();
    m_client = nullptr;
    m_peer.clear();
    emit clientDisconnected();
}

} // namespace rv
