#pragma once

// The remote side of the session: units that called the program's TCP server. It runs the server (which
// stays up through callers that come and go), answers the units' frames, and carries out the tool-bar
// operations as remote commands on the one unit attached: the first that greets, or the one the user
// picks among those connected; the others wait connected. The session controller hands it read, write, reset and
// erase in remote mode and ticks its monitor poll; the records, the monitor blocks and the views'
// signals are the controller's, so the pages refresh exactly as after a serial cycle.

#include "core/monitor/monitor_labels.h"
#include "core/protocol/network_units.h"

#include <QObject>
#include <QTimer>

#include <functional>

namespace rv {

class SessionController;
struct ConfigRecords;
struct DeviceSession;

namespace remote_timing {
inline constexpr uint32_t kPollCycle = 500;       // the poll counter runs 0..500: one cycle of 501 ticks
inline constexpr uint32_t kPollGpsAt = 100;
inline constexpr uint32_t kPollDeviceAt = 150;
inline constexpr int kProgressTicks = 100;        // watchdog of the remote read and write: 20 s
inline constexpr uint32_t kEraseWaitTicks = 2000; // receive ticks an erase waits for its answer: 20 s
} // namespace remote_timing

class RemoteSession : public QObject {
    Q_OBJECT
public:
    // Plugs itself into `session` (tool-bar operations in remote mode, the periodic poll).
    explicit RemoteSession(SessionController& session, QObject* parent = nullptr);
    ~RemoteSession() override;

    TcpServer& server() { return m_units.server(); }
    const TcpServer& server() const { return m_units.server(); }
    NetworkUnits& units() { return m_units; }
    const NetworkUnits& units() const { return m_units; }

    // Start_serverClick. An empty port is refused with "Введите порт сервера !"; a value above 65535
    // is taken as 65535. False when the server does not run afterwards.
    bool startServer(const QString& portText, const QHostAddress& address = QHostAddress::Any);
    // Stop as by the button: every unit is let go, the remote tool-bar buttons are disabled.
    void stopServer();
    bool serverRunning() const { return m_units.isListening(); }
    // A serial port was chosen again: the server stops and its window goes away.
    void serialChosen();
    // The allow list and time limits for the next start (Config.ini's [Server] for the window).
    void setServerSettings(const ServerSettings& settings);
    // Reads them from the [Server] section of `iniPath`; false (the reason said as a message) when it
    // holds a bad entry.
    bool loadServerSettings(const QString& iniPath);

    // The unit the pages, the monitor, read and write act on. False (nothing changes) while an operation
    // runs or when the connection has not greeted.
    bool select(ConnectionId id);
    ConnectionId selected() const { return m_selected; }

    // The tool-bar operations in remote mode.
    void read();
    // "Сравнить": the attached unit's three records are read as by read(), but into `into`; the program's
    // records stay as they are and no page hears of it. Ends with the session's copyReadFinished. False
    // (nothing sent) while an operation runs or no unit is attached.
    bool readCopy(ConfigRecords& into);
    void write();
    void reset();
    void eraseTrack();

    // Bytes from the attached unit's connection (tests: from a connection of their own before a greeting).
    void receive(QByteArrayView bytes);
    // One whole frame (header, body, CRC) from that connection.
    void New_protocol(QByteArrayView frame);
    // The monitor poll, run by the session's receive timer while a unit is attached.
    void pollTick();
    // Time limits and partial frames that waited too long (also run by a timer of their own).
    void expireInput();

    bool monitoring() const { return m_monitoring; }
    bool unitAttached() const;
    qsizetype pendingInput() const { return m_units.pendingInput(); }
    const remote::GreetingInfo& greetingInfo() const { return m_greeting; }

    // Tests: where frames go (default: the unit's connection), and the clock in ms.
    void setSender(std::function<void(const QByteArray&)> send);
    void setClock(std::function<qint64()> clock) { m_units.setClock(std::move(clock)); }

signals:
    // Label2 of the server window and whether the server runs (the button's caption follows).
    void serverStateChanged(const QString& label, bool running);
    void greeted(const rv::remote::GreetingInfo& greeting);
    // Download_device, Upload_device, Reset_but and Erase_track: usable while a unit is attached.
    void toolButtonsEnabled(bool on);
    // Lines for the server window's log.
    void logLine(const QString& text);
    // The server window closes (a serial port has been chosen).
    void windowReleased();
    // Every frame the program sends, as sent (for logs and tests).
    void frameSent(const QByteArray& frame);
    // The set of connected units or what is known of one changed, or another one was attached.
    void unitsChanged();

private:
    enum class Cycle { None, Reading, Writing, Erasing };

    DeviceSession& s();
    void send(const QByteArray& frame);
    void attach(ConnectionId id, const remote::GreetingInfo& greeting);
    void unitGone(ConnectionId id);
    void reply(QByteArrayView body);
    void recordReply(uint8_t record, QByteArrayView payload);
    void writeReply(uint8_t sub);
    void monitorReply(uint8_t block, QByteArrayView payload);
    void sendRecord(uint8_t record);
    void endCycle();
    ConnectionId inputConnection() const;

    SessionController& m_session;
    NetworkUnits m_units;
    remote::GreetingInfo m_greeting;
    ConnectionId m_selected = 0;
    Cycle m_cycle = Cycle::None;
    uint8_t m_expected = 0;         // the record whose reply the cycle waits for
    uint32_t m_eraseWait = 0;       // receive ticks the erase has waited
    bool m_monitoring = false;
    bool m_callerFaultShown = false; // bad input of a caller not yet attached has been said
    ConfigRecords* m_copy = nullptr; // the read running is readCopy's, into this
};

// The confirmation of a remote write: "Конфигурация записана" and the unit's ID and IMEI.
QString remoteWriteDoneText(const remote::GreetingInfo& greeting);

// LNumber, LIMEI and LVer of the Monitor page from a greeting.
QList<LabelUpdate> greetingLabels(const remote::GreetingInfo& greeting);

} // namespace rv
