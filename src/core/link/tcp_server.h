#pragma once

// The program's TCP server that units call over GPRS. It keeps every accepted connection (up to a
// bound) under a number of its own and hands their bytes on in pieces of at most kReadChunk as they
// arrive; frames, greetings and time limits are the business of the layers above. It is bounded on every
// side: callers from outside the allowed networks are closed at once, a full house is refused (unless the
// layer above makes room), and a connection that does not take what is sent to it is cut off.

#include "core/link/allowed_nets.h"

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QSet>
#include <QTcpServer>

#include <functional>
#include <memory>

class QSocketNotifier;
class QTcpSocket;

namespace rv {

// A connection's number: never 0, never reused while the server object lives.
using ConnectionId = quint32;

// A socket error in our own words, for the connection log ("соединение сброшено" ...).
QString socketErrorText(QAbstractSocket::SocketError error);

class TcpServer : public QObject {
    Q_OBJECT
public:
    static constexpr qsizetype kReadChunk = 1024;
    // What the socket may buffer before the program has read it, and the system's send buffer.
    static constexpr qint64 kSocketBuffer = 16 * 1024;
    static constexpr int kDefaultMaxConnections = 1000;
    // What may wait unsent on one connection: a unit reads its acknowledgements and commands at once, so
    // more than this is a caller that does not read.
    static constexpr qint64 kMaxUnsent = 64 * 1024;

    explicit TcpServer(QObject* parent = nullptr);
    ~TcpServer() override;

    // Listens on `address` (all interfaces by default) and `port` (0: any free port). False when the
    // address or port cannot be used; errorString() says why.
    bool start(quint16 port, const QHostAddress& address = QHostAddress::Any);
    // Closes every connection and stops listening.
    void stop();
    bool isListening() const { return m_server.isListening(); }
    quint16 port() const { return m_server.serverPort(); }
    QString errorString() const { return socketErrorText(m_server.serverError()); }
    // Callers beyond this many open connections are refused.
    void setMaxConnections(int n) { m_maxConnections = std::max(1, n); }
    int maxConnections() const { return m_maxConnections; }
    int connectionCount() const { return static_cast<int>(m_clients.size()); }
    bool hasConnection() const { return !m_clients.isEmpty(); }
    bool hasConnection(ConnectionId id) const { return m_clients.contains(id); }
    QString peer(ConnectionId id) const;
    // The caller's address alone ("10.1.2.3"), for limits per address.
    QString host(ConnectionId id) const;
    // Callers from other addresses are closed as they come (empty: any address).
    void setAllowedNets(const AllowedNets& nets) { m_nets = nets; }
    const AllowedNets& allowedNets() const { return m_nets; }
    // Asked for every caller by its address: a reason to refuse it, or nothing to let it in.
    void setRefusal(std::function<QString(const QString& host)> refusal) { m_refusal = std::move(refusal); }
    // Asked when every place is taken: it may close a connection to make room (true), or leave the newcomer
    // to be refused (false).
    void setMakeRoom(std::function<bool()> makeRoom) { m_makeRoom = std::move(makeRoom); }

    // Sends on one connection; bytes queued, or 0 when it is not open or has more than kMaxUnsent waiting
    // (then nothing more goes to it and sendOverflow is emitted).
    qint64 Send_gprs_data(ConnectionId id, QByteArrayView data);
    // Closes a connection by the program's choice: no clientDisconnected follows.
    void closeConnection(ConnectionId id);

signals:
    void clientConnected(rv::ConnectionId id, const QString& peer);
    // ServerClientRead: bytes of a connection, at most kReadChunk at a time.
    void dataReceived(rv::ConnectionId id, const QByteArray& bytes);
    // ServerClientDisconnect: the connection has closed (by the caller or by an error).
    void clientDisconnected(rv::ConnectionId id);
    // ServerClientError: the socket's error in our words; the connection's end follows as a disconnect.
    // The caller's ordinary hang-up is not an error and is not reported here.
    void clientError(rv::ConnectionId id, const QString& text);
    // A caller refused (beyond the bound, or from a network not allowed), with the reason; its connection
    // has been closed.
    void connectionRefused(const QString& peer, const QString& reason);
    // A connection did not take what was sent to it; the layer above closes it (connect queued: it comes
    // from within a send).
    void sendOverflow(rv::ConnectionId id);

private:
    void acceptPending();
    void readClient(ConnectionId id);
    void clientGone(ConnectionId id);

    void forgetClient(ConnectionId id);

    QTcpServer m_server;
    std::unique_ptr<QSocketNotifier> m_accept; // our own accept, which learns the caller's address with it
    QHash<ConnectionId, QTcpSocket*> m_clients;
    QHash<ConnectionId, QString> m_peers;
    QHash<ConnectionId, QString> m_hosts;
    QSet<ConnectionId> m_overflowed;
    ConnectionId m_nextId = 1;
    int m_maxConnections = kDefaultMaxConnections;
    AllowedNets m_nets;
    std::function<QString(const QString&)> m_refusal;
    std::function<bool()> m_makeRoom;
};

} // namespace rv
