#pragma once

// The units on the program's TCP server, each on its own connection: every connection's bytes are
// reassembled into frames of its own, a greeting is checked against the allow list and acknowledged once,
// a greeted unit's data frames are acknowledged, and callers are held to the time limits (greet in time,
// do not stay silent) and to their share of places (callers from one address waiting to greet, and the
// whole house, where un-greeted callers make room first). Two connections with one IMEI that keep
// knocking each other off are settled: the first stays. What a unit replies to a command goes on to
// whoever drives that unit (the window's session or a fleet job). Every event is said in one log line.

#include "core/link/allow_list.h"
#include "core/link/connected_units.h"
#include "core/link/tcp_server.h"
#include "core/protocol/remote_frames.h"

#include <QHash>
#include <QObject>
#include <QTimer>

#include <functional>

namespace rv {

// Bad input on a connection: bytes that make no frame, or a frame whose CRC does not hold.
enum class InputFault : uint8_t { Data, Integrity };

class NetworkUnits : public QObject {
    Q_OBJECT
public:
    // How often the time limits are looked at.
    static constexpr int kSweepMs = 500;
    // A unit that took over its IMEI's connection this many times within kTakeoverWindowMs is not let
    // take it again: two units with one IMEI would knock each other off for ever.
    static constexpr int kTakeoversAllowed = 3;
    static constexpr qint64 kTakeoverWindowMs = 60'000;

    explicit NetworkUnits(QObject* parent = nullptr);
    ~NetworkUnits() override;

    TcpServer& server() { return m_server; }
    const TcpServer& server() const { return m_server; }
    const ConnectedUnits& units() const { return m_units; }

    // False when the address or port cannot be used; errorString() says why in our words.
    bool start(quint16 port, const QHostAddress& address);
    // Closes every connection (no unitGone for them) and stops listening.
    void stop();
    bool isListening() const { return m_server.isListening(); }
    QString errorString() const { return m_server.errorString(); }

    void setAllowList(const AllowList& allow) { m_allow = allow; }
    const AllowList& allowList() const { return m_allow; }
    void setAllowedNets(const AllowedNets& nets) { m_server.setAllowedNets(nets); }
    const AllowedNets& allowedNets() const { return m_server.allowedNets(); }
    // Callers from one address that may wait for their greeting at once; a newcomer beyond it is refused.
    void setMaxPerAddress(int n) { m_maxPerAddress = std::max(1, n); }
    int maxPerAddress() const { return m_maxPerAddress; }
    void setTimeouts(const CallerTimeouts& t) { m_timeouts = t; }
    const CallerTimeouts& timeouts() const { return m_timeouts; }
    void setMaxUnits(int n) { m_server.setMaxConnections(n); }

    // A frame to a connection.
    void send(ConnectionId id, const QByteArray& frame);
    // Closes a connection by the program's choice, with the reason in the log; unitGone follows.
    void drop(ConnectionId id, const QString& reason);
    // Bytes from a connection (the socket's, or a test's: an unknown number is taken as a new caller).
    void receive(ConnectionId id, QByteArrayView bytes);
    // One whole frame from a connection.
    void handleFrame(ConnectionId id, QByteArrayView frame);
    // Time limits and stale partial frames; also run by a timer of its own while listening.
    void sweep();
    // Reports a fault in a connection's input, once per run of bad input (until a good frame).
    void fault(ConnectionId id, InputFault fault);
    void faultCleared(ConnectionId id);
    qsizetype pendingInput() const;

    // Tests: where frames go (default: the connection's socket), and the clock in ms.
    void setSender(std::function<void(ConnectionId, const QByteArray&)> send) { m_send = std::move(send); }
    void setClock(std::function<qint64()> clock) { m_clock = std::move(clock); }
    qint64 now() const { return m_clock(); }

signals:
    void logLine(const QString& text);
    // A greeting from a unit the allow list lets in; it has been acknowledged.
    void unitGreeted(rv::ConnectionId id, const rv::remote::GreetingInfo& greeting);
    // A type 2 frame (a reply to a command) from a greeted unit.
    void replyReceived(rv::ConnectionId id, const QByteArray& body);
    // A greeted unit's connection has ended: it hung up, failed, fell silent or was dropped.
    void unitGone(rv::ConnectionId id);
    // Bad input on a connection, once per run.
    void inputFault(rv::ConnectionId id, rv::InputFault fault);
    // The set of connections or what is known of one changed (for a list of units).
    void unitsChanged();
    void frameSent(rv::ConnectionId id, const QByteArray& frame);

private:
    struct Input {
        remote::FrameReassembler reassembler;
        bool faultReported = false;
    };
    struct Takeovers {
        int count = 0;
        qint64 sinceMs = 0;
    };
    void connected(ConnectionId id, const QString& peer);
    void disconnected(ConnectionId id);
    void greeting(ConnectionId id, QByteArrayView body, QByteArrayView frame);
    void forget(ConnectionId id, bool tellGone);
    bool makeRoom();
    QString who(ConnectionId id) const;

    TcpServer m_server;
    ConnectedUnits m_units;
    QHash<ConnectionId, Input> m_input;
    AllowList m_allow;
    CallerTimeouts m_timeouts;
    int m_maxPerAddress = kDefaultMaxPerAddress;
    QHash<QString, Takeovers> m_takeovers; // by IMEI
    QTimer m_sweep;
    std::function<void(ConnectionId, const QByteArray&)> m_send;
    std::function<qint64()> m_clock;
};

} // namespace rv
