#pragma once

// The program's TCP server that units call over GPRS. It serves one unit at a time: a connection that
// arrives while another is active is closed at once and reported. Bytes of the active connection are
// handed on in pieces of at most kReadChunk as they arrive; frames are the protocol's business.

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QTcpServer>

class QTcpSocket;

namespace rv {

class TcpServer : public QObject {
    Q_OBJECT
public:
    static constexpr qsizetype kReadChunk = 1024;
    // What the socket may buffer before the program has read it.
    static constexpr qint64 kSocketBuffer = 16 * 1024;

    explicit TcpServer(QObject* parent = nullptr);
    ~TcpServer() override;

    // Listens on `address` (all interfaces by default) and `port` (0: any free port). False when the
    // address or port cannot be used; errorString() says why.
    bool start(quint16 port, const QHostAddress& address = QHostAddress::Any);
    // Closes the active connection and stops listening.
    void stop();
    bool isListening() const { return m_server.isListening(); }
    quint16 port() const { return m_server.serverPort(); }
    QString errorString() const { return m_server.errorString(); }
    bool hasConnection() const { return !m_client.isNull(); }
    QString peer() const { return m_peer; }

    // Sends on the active connection; bytes queued, or 0 when no unit is connected.
    qint64 Send_gprs_data(QByteArrayView data);

signals:
    void clientConnected(const QString& peer);
    // ServerClientRead: bytes of the active connection, at most kReadChunk at a time.
    void dataReceived(const QByteArray& bytes);
    // ServerClientDisconnect: the active connection has closed (by the unit or by an error).
    void clientDisconnected();
    // ServerClientError: the socket's error, for a log; the connection's end follows as a disconnect.
    void clientError(int code, const QString& text);
    // A second unit called while one is active; its connection has been closed.
    void connectionRefused(const QString& peer);

private:
    void acceptPending();
    void readClient();
    void clientGone();
    void dropClient();

    QTcpServer m_server;
    QPointer<QTcpSocket> m_client;
    QString m_peer;
};

} // namespace rv
