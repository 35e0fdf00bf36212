#pragma once

// The network session: units that called the program's TCP server. It runs the server (which stays up
// through callers that come and go), answers the units' frames, and carries out the operations as remote
// commands on the one unit attached: the first that greets, or the one the user picks among those
// connected; the others wait connected. Its record cycle is a RecordTransfer of its own, and it polls the
// attached unit's monitor blocks on a timer of its own. It stands alone (rvctl serve) or, in the window,
// beside the serial session, whose records, monitor blocks and progress display it shares and which
// hands it the tool-bar operations while a unit is attached.

#include "core/monitor/monitor_labels.h"
#include "core/protocol/network_units.h"
#include "core/protocol/record_transfer.h"
#include "core/protocol/session_texts.h"
#include "core/protocol/sparse_ticker.h"
#include "core/protocol/unit_session.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

namespace rv {

class SessionController;

namespace remote_timing {
inline constexpr int kPollTickMs = 10;
inline constexpr uint32_t kPollCycle = 500;       // the poll counter runs 0..500: one cycle of 501 ticks
inline constexpr uint32_t kPollGpsAt = 100;
inline constexpr uint32_t kPollDeviceAt = 150;
inline constexpr int kProgressTicks = 100;        // watchdog of the remote read and write: 20 s
inline constexpr uint32_t kEraseWaitTicks = 2000; // poll ticks an erase waits for its answer: 20 s
} // namespace remote_timing

class RemoteSession : public UnitSession {
    Q_OBJECT
public:
    // A session of its own: the records and monitor blocks given, a progress watchdog of its own.
    RemoteSession(ConfigRecords& records, MonitorBlocks& monitor, QObject* parent = nullptr);
    // The window's network side, attached to the serial session `serial`.
    explicit RemoteSession(SessionController& serial, QObject* parent = nullptr);
    ~RemoteSession() override;

    ConfigRecords& records() override { return m_records; }
    MonitorBlocks& monitor() override { return m_monitor; }
    ProgressWatchdog& progress() override { return *m_progress; }

    TcpServer& server() { return m_units.server(); }
    const TcpServer& server() const { return m_units.server(); }
    NetworkUnits& units() { return m_units; }
    const NetworkUnits& units() const { return m_units; }

    // Start_serverClick. An empty port is refused (Notice::ServerPortMissing); a value above 65535 is taken
    // as 65535. False when the server does not run afterwards.
    bool startServer(const QString& portText, const QHostAddress& address = QHostAddress::Any);
    // Stop as by the button: every unit is let go, the remote tool-bar buttons are disabled.
    void stopServer();
    bool serverRunning() const { return m_units.isListening(); }
    // A serial port was chosen again: the server stops and its window goes away.
    void serialChosen();
    // The allow list and time limits for the next start (Config.ini's [Server] for the window).
    void setServerSettings(const ServerSettings& settings);
    // Reads them from the [Server] section of `iniPath`; false (Notice::ServerSettingsBad) when it holds a
    // bad entry.
    bool loadServerSettings(const QString& iniPath);

    // The unit the pages, the monitor, read and write act on. False (nothing changes) while an operation
    // runs or when the connection has not greeted.
    bool select(ConnectionId id);
    ConnectionId selected() const { return m_selected; }

    // The operations on the attached unit.
    void read() override;
    bool readCopy(ConfigRecords& into) override;
    void write() override;
    void reset() override;
    void eraseTrack() override;
    bool operationRunning() const override { return m_operation.has_value(); }

    // Bytes from the attached unit's connection (tests: from a connection of their own before a greeting).
    void receive(QByteArrayView bytes);
    // One whole frame (header, body, CRC) from that connection.
    void New_protocol(QByteArrayView frame);
    // The monitor poll, one tick of 10 ms while a unit is attached (and an erase's wait for its answer).
    void pollTick();
    // Tests: no poll timer; they tick the poll themselves.
    void setPollTimer(bool on) { m_pollTimer = on; }
    uint32_t pollCounter() const { return m_pollCounter; }
    // Time limits and partial frames that waited too long (also run by a timer of their own).
    void expireInput();

    bool monitoring() const { return m_monitoring; }
    bool unitAttached() const { return m_attached; }
    qsizetype pendingInput() const { return m_units.pendingInput(); }
    const remote::GreetingInfo& greetingInfo() const { return m_greeting; }

    // Tests: where frames go (default: the unit's connection), and the clock in ms.
    void setSender(std::function<void(const QByteArray&)> send);
    void setClock(std::function<qint64()> clock) { m_units.setClock(std::move(clock)); }

signals:
    // Label2 of the server window, and whether the server runs (the button's caption follows).
    void serverStateChanged(rv::ServerState state, bool running);
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
    RemoteSession(ConfigRecords& records, MonitorBlocks& monitor, ProgressWatchdog* shared, QObject* parent);
    void send(const QByteArray& frame);
    void attach(ConnectionId id, const remote::GreetingInfo& greeting);
    void detach();
    void unitGone(ConnectionId id);
    void inputFault(ConnectionId id, InputFault fault);
    void reply(QByteArrayView body);
    void monitorReply(uint8_t block, QByteArrayView payload);
    void startCycle(Operation operation, RecordTransfer::Kind kind, ConfigRecords& records);
    void applyStep(const RecordTransfer::Step& step);
    void sendRecord(RecordKind kind);
    // Ends the running operation; `close`: the progress display closes with its words.
    void end(Outcome outcome, bool close = true);
    bool reading() const { return m_operation == Operation::Read || m_operation == Operation::Compare; }
    ConnectionId inputConnection() const;
    int pollTicksDue() const;
    void passPollTicks(int n);

    ConfigRecords& m_records;
    MonitorBlocks& m_monitor;
    std::unique_ptr<ProgressWatchdog> m_ownProgress;
    ProgressWatchdog* m_progress;
    SessionController* m_serial = nullptr;
    NetworkUnits m_units;
    remote::GreetingInfo m_greeting;
    ConnectionId m_selected = 0;
    bool m_attached = false;
    std::optional<Operation> m_operation;
    std::optional<RecordTransfer> m_transfer;
    uint32_t m_eraseWait = 0;         // poll ticks the erase has waited
    uint32_t m_pollCounter = 0;
    bool m_monitoring = false;
    bool m_callerFaultShown = false; // bad input of a caller not yet attached has been said
    bool m_pollTimer = true;
    SparseTicker m_poll;
};

// LNumber, LIMEI and LVer of the Monitor page from a greeting.
QList<LabelUpdate> greetingLabels(const remote::GreetingInfo& greeting);

} // namespace rv
