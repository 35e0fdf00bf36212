#include "core/link/tcp_server.h"

#include "core/link/descriptor_limit.h"
#include "core/link/tcp_accept.h"

#include <QSocketNotifier>
#include <QTcpSocket>

namespace rv {

namespace {
QHostAddress plain(QHostAddress a)
{
    bool mapped = false;
    const quint32 v4 = a.toIPv4Address(&mapped);
    return mapped ? QHostAddress(v4) : a;
}

QString peerText(const QHostAddress& address, quint16 port)
{
    return QStringLiteral("%1:%2").arg(plain(address).toString()).arg(port);
}
} // namespace

QString socketErrorText(QAbstractSocket::SocketError error)
{
    using E = QAbstractSocket::SocketError;
    switch (error) {
    case E::ConnectionRefusedError: return QStringLiteral("в соединении отказано");
    case E::RemoteHostClosedError: return QStringLiteral("другая сторона закрыла соединение");
    case E::HostNotFoundError: return QStringLiteral("адрес не найден");
    case E::SocketAccessError: return QStringLiteral("нет прав на это действие с сокетом");
    case E::SocketResourceError: return QStringLiteral("не хватает системных ресурсов");
    case E::SocketTimeoutError: return QStringLiteral("истекло время ожидания");
    case E::DatagramTooLargeError: return QStringLiteral("слишком большой пакет");
    case E::NetworkError: return QStringLiteral("сбой сети");
    case E::AddressInUseError: return QStringLiteral("адрес или порт уже занят");
    case E::SocketAddressNotAvailableError: return QStringLiteral("этого адреса нет у компьютера");
    case E::UnsupportedSocketOperationError: return QStringLiteral("действие не поддерживается системой");
    case E::UnfinishedSocketOperationError: return QStringLiteral("прежнее действие ещё не закончено");
    case E::ProxyAuthenticationRequiredError:
    case E::ProxyConnectionRefusedError:
    case E::ProxyConnectionClosedError:
    case E::ProxyConnectionTimeoutError:
    case E::ProxyNotFoundError:
    case E::ProxyProtocolError: return QStringLiteral("ошибка прокси-сервера");
    case E::SslHandshakeFailedError:
    case E::SslInternalError:
    case E::SslInvalidUserDataError: return QStringLiteral("ошибка шифрования");
    case E::OperationError: return QStringLiteral("действие невозможно в этом состоянии сокета");
    case E::TemporaryError: return QStringLiteral("временная ошибка, можно повторить");
    case E::UnknownSocketError: break;
    }
    return QStringLiteral("неизвестная ошибка сокета");
}

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
    allowDescriptors(m_maxConnections);
    if (!m_server.listen(address, port))
        return false;
    // Qt's own accept does not keep the caller's address, and a caller that resets at once would be
    // logged without one; connections are taken here instead.
    m_server.pauseAccepting();
    m_accept = std::make_unique<QSocketNotifier>(m_server.socketDescriptor(), QSocketNotifier::Read);
    connect(m_accept.get(), &QSocketNotifier::activated, this, &TcpServer::acceptPending);
    return true;
}

void TcpServer::stop()
{
    const QList<ConnectionId> ids = m_clients.keys();
    for (ConnectionId id : ids)
        closeConnection(id);
    m_accept.reset();
    m_server.close();
}

QString TcpServer::peer(ConnectionId id) const
{
    return m_peers.value(id);
}

QString TcpServer::host(ConnectionId id) const
{
    return m_hosts.value(id);
}

void TcpServer::forgetClient(ConnectionId id)
{
    m_peers.remove(id);
    m_hosts.remove(id);
    m_overflowed.remove(id);
}

void TcpServer::closeConnection(ConnectionId id)
{
    QTcpSocket* c = m_clients.take(id);
    forgetClient(id);
    if (!c)
        return;
    c->disconnect(this); // closing it here is not the caller's disconnect
    c->abort();
    c->deleteLater();
}

qint64 TcpServer::Send_gprs_data(ConnectionId id, QByteArrayView data)
{
    QTcpSocket* c = m_clients.value(id);
    if (!c || c->state() != QAbstractSocket::ConnectedState || m_overflowed.contains(id))
        return 0;
    // Without this bound a caller that never reads would make the program hold all it is sent.
    if (c->bytesToWrite() + data.size() > kMaxUnsent) {
        m_overflowed.insert(id);
        emit sendOverflow(id);
        return 0;
    }
    return c->write(data.constData(), data.size());
}

void TcpServer::acceptPending()
{
    // A handler may stop the server while this runs.
    while (m_accept && m_server.isListening()) {
        const AcceptedSocket a = acceptWithPeer(m_server.socketDescriptor());
        if (a.descriptor < 0)
            break;
        const QString who = peerText(a.address, a.port);
        if (!m_nets.allows(a.address)) {
            closeAccepted(a.descriptor);
            emit connectionRefused(who, QStringLiteral("адрес не из разрешённых сетей"));
            continue;
        }
        const QString host = plain(a.address).toString();
        if (const QString why = m_refusal ? m_refusal(host) : QString(); !why.isEmpty()) {
            closeAccepted(a.descriptor);
            emit connectionRefused(who, why);
            continue;
        }
        if (m_clients.size() >= m_maxConnections && !(m_makeRoom && m_makeRoom())) {
            closeAccepted(a.descriptor);
            emit connectionRefused(who, QStringLiteral("уже подключено %1 (предел)").arg(m_maxConnections));
            continue;
        }
        auto* socket = new QTcpSocket(this);
        if (!socket->setSocketDescriptor(a.descriptor)) {
            closeAccepted(a.descriptor);
            emit connectionRefused(who, socketErrorText(socket->error()));
            delete socket;
            continue;
        }
        const ConnectionId id = m_nextId++;
        if (m_nextId == 0)
            m_nextId = 1;
        m_clients.insert(id, socket);
        m_peers.insert(id, who);
        m_hosts.insert(id, host);
        socket->setReadBufferSize(kSocketBuffer);
        // A unit's traffic is a few frames of at most 519 bytes: the system need not hold megabytes for it.
        socket->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, kSocketBuffer);
        connect(socket, &QTcpSocket::readyRead, this, [this, id] { readClient(id); });
        connect(socket, &QTcpSocket::disconnected, this, [this, id] { clientGone(id); });
        connect(socket, &QTcpSocket::errorOccurred, this, [this, id](QAbstractSocket::SocketError e) {
            if (e != QAbstractSocket::RemoteHostClosedError && m_clients.contains(id))
                emit clientError(id, socketErrorText(e));
        });
        emit clientConnected(id, m_peers.value(id));
        if (QTcpSocket* c = m_clients.value(id); c && c->bytesAvailable() > 0)
            readClient(id); // bytes that came with the connection
    }
}

void TcpServer::readClient(ConnectionId id)
{
    // A handler may close the connection or stop the server while this runs: look it up before each piece.
    while (QTcpSocket* c = m_clients.value(id)) {
        if (c->bytesAvailable() <= 0)
            break;
        const QByteArray piece = c->read(kReadChunk);
        if (piece.isEmpty())
            break;
        emit dataReceived(id, piece);
    }
}

void TcpServer::clientGone(ConnectionId id)
{
    if (!m_clients.contains(id))
        return;
    readClient(id); // what arrived before the close still counts
    QTcpSocket* c = m_clients.take(id);
    forgetClient(id);
    if (!c)
        return;
    c->disconnect(this);
    c->deleteLater();
    emit clientDisconnected(id);
}

} // namespace rv
