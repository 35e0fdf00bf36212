#pragma once

// The serial session: discovers the unit and keeps the link alive (unit_search.cpp), runs every operation
// as a sequence of timed steps (this file's ticks), reads and writes the records through its RecordTransfer
// (record_cycle.cpp), and hands each burst the BurstReader collects to the handlers of its markers. It never
// touches a widget and says nothing in words: views, a command-line front end or a test connect to its
// signals, and session_texts.h has the words.

#include "core/link/port_channel.h"
#include "core/protocol/burst_reader.h"
#include "core/protocol/commands.h"
#include "core/protocol/progress.h"
#include "core/protocol/record_transfer.h"
#include "core/protocol/reply_blocks.h"
#include "core/protocol/sparse_ticker.h"
#include "core/protocol/unit_session.h"

#include <QHash>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace rv {

struct ConfigRecords;
struct MonitorBlocks;
class RemoteSession;

enum OperationState : uint8_t {
    osIdle = 0,
    osReadConfig = 1,
    osWriteConfig = 2,
    osWriteInOut = 3,
    osReadInOut = 4,
    osCameraShot1 = 5,
    osReset = 6,
    osBootloader = 7,
    osReadLog = 8,
    osWriteVoice = 9,
    osReadRoute = 10,
    osWriteRoute = 11,
    osListVoice = 12,
    osCameraShot2 = 15,
    osWriteVoiceArchive = 20,
    osReadExtended = 30,
    osWriteExtended = 40,
    osReadMemory = 50,
    osEraseTrack = 250,
    osSendPassword = 251,
    osSearch = 255,
};

// The program-wide session state.
struct DeviceSession {
    bool connected = false;
    uint8_t OperationState = osIdle;
    uint8_t DeviceType = 2;
    uint32_t DeviceOptions = 0;
    uint8_t handshakeByte = 0;       // kept, not interpreted
    uint8_t stepCounter = 0;         // 0 = Find_device disarmed
    uint32_t keepAliveCounter = 0;
    uint8_t keepAliveToggle = 0;
    uint8_t monitorFlags = 0;        // sent after "CONFIGD": bit 0 log trailer, bit 1 CAN scanner
    bool autoReadPending = true;
    bool writeAckAwaited = false;    // a record went out and its "WRITE" has not come yet
    uint16_t password = 0;
    // Periodic duties of other subsystems.
    bool voiceWrite = false;
    bool voiceList = false;
    uint32_t memoryRetryCounter = 0;
    bool cameraTransfer = false;
    bool firmwareProgramming = false;
};

// Timing of the wire behaviour.
namespace timing {
inline constexpr uint32_t kKeepAliveAfter = 25;    // a poll when the old counter value exceeds this: 27 ticks
inline constexpr int kStepTickMs = 100;
inline constexpr uint8_t kStepDelayTicks = 10;     // from arming to the step: ~1 s
inline constexpr uint32_t kMemoryRetryAfter = 50;  // receive ticks without "+MEM" before the repeat
inline constexpr int kRecordTailGaps = 12;         // quiet gaps a record reply may wait for its tail: ~0.5 s
inline constexpr int kReadWriteProgressTicks = 50; // watchdog of the configuration read and write: 10 s
} // namespace timing

// Replies and steps that belong to other subsystems are handed to hooks those subsystems install.
enum class ReplyHook {
    FirmwareOk, FirmwareError, FirmwareResend, FirmwareRefused, // "BL_OK" ... while programming
    FileTransfer,                                               // "FLRW"
    Memory,                                                     // "+MEM"
    VoiceCapacity, VoicePage, VoiceSize, VoiceFile,             // "+VMS", "+VWP", "+VFS", "+VWF"
    Camera,                                                     // while a camera transfer runs
};
enum class PeriodicHook { VoiceWrite, VoiceList };

class SessionController : public UnitSession {
    Q_OBJECT
public:
    // `records` and `monitor` default to the program-wide instances.
    explicit SessionController(Link& link, ConfigRecords* records = nullptr, MonitorBlocks* monitor = nullptr,
                               QObject* parent = nullptr);
    ~SessionController() override;

    DeviceSession& session() { return m_s; }
    const DeviceSession& session() const { return m_s; }
    PortChannel& channel() { return m_channel; }
    ProgressWatchdog& progress() override { return m_progress; }
    ConfigRecords& records() override { return *m_records; }
    MonitorBlocks& monitor() override { return *m_monitor; }
    BurstReader& burst() { return m_burst; }

    QString portName() const { return m_portName; }
    void setPortName(const QString& name) { m_portName = name; }

    // Start-up: searching begins one step later. `runTimers` false leaves the ticks to the caller.
    void start(bool runTimers = true);
    // Closing: "CONFIGC" to an open port, then the port is closed and the timers stop.
    void shutdown();

    // The step timer.
    void arm();
    void disarm();
    bool armed() const { return m_s.stepCounter != 0; }
    void setState(uint8_t state) { m_s.OperationState = state; }

    // User operations (tool bar, dialogs). While a network unit is attached, they go to it.
    void Download_deviceClick();     // read the configuration
    void Upload_deviceClick();       // write it
    void Reset_butClick();
    void eraseTrackConfirmed();
    void read() override { Download_deviceClick(); }
    void write() override { Upload_deviceClick(); }
    void reset() override { Reset_butClick(); }
    void eraseTrack() override { eraseTrackConfirmed(); }
    bool readCopy(ConfigRecords& into) override;
    bool operationRunning() const override;
    // Reads the unit's three records with the usual read steps into a copy of its own, for a comparison:
    // the program's records stay as they are and no record signal goes out (nothing refreshes a page).
    // The copy starts as the program's records, so a record the unit does not send compares equal. Ends
    // with copyReadFinished. Refused (false) while another operation runs.
    bool readUnitCopy();
    const ConfigRecords& unitCopy() const { return *m_copy; }
    // Of the read now running or the last one; cleared when a read starts.
    const RecordArrival& recordArrival(RecordKind kind) const;
    void submitPassword(uint16_t value); // the password dialog's OK
    // On: the operation the unit refused for want of its password runs again by itself once the unit
    // accepts it ("Пароль принят"). Off (a front end that repeats on its own): the user is told to repeat it.
    void setRepeatAfterPassword(bool on) { m_repeatAfterPassword = on; }
    // The operation the unit refused, awaiting the password: osReadConfig, osWriteConfig, osReset,
    // osEraseTrack, or osIdle for none (or repeats off).
    uint8_t refusedOperation() const { return m_refused; }
    void cancelPassword();                // the password dialog's "Отмена": the refused operation is dropped
    void portDialogOpened();              // discovery pauses while the dialog is up
    void portDialogLeft();                // closed without a new port: discovery goes on
    void choosePort(const QString& name); // OK on another port (or "TCP/IP")
    void setMonitorFlag(uint8_t bit, bool on);
    // The port is let go (the unit restarts behind it); the search of the step timer opens it again.
    void closePort();

    // Ticks, called by the timers (and directly by tests).
    void Receive_timerTimer();
    void Find_deviceTimer();
    void Receive_analyse();
    // The timers wake the program only for ticks that have something to do. Code outside the session's
    // own handlers that starts a periodic duty says so here.
    void dutiesChanged();

    int send(const Writes& writes); // each piece in its own write; the smallest result
    void setReplyHook(ReplyHook kind, std::function<void(QByteArrayView burst, qsizetype markerPos)> hook);
    void setStepHook(uint8_t state, std::function<void()> hook);
    void setPeriodicHook(PeriodicHook kind, std::function<void()> hook);
    void setDumpTypeIndex(std::function<int()> index) { m_dumpTypeIndex = std::move(index); }
    // The network side: while a unit is attached to it, the tool-bar operations go there, and what it
    // reports reaches the views through this session's signals.
    void attachNetwork(RemoteSession* remote);

    // A subsystem that expects length-framed data (file chunks and the like) claims the waiting bytes:
    // each claimed frame goes to `take` as soon as it is whole, without waiting for the quiet gap, and no
    // other marker is searched in it; several frames that arrive together are taken one after the other. A
    // frame still incomplete when the line goes quiet is kept for its rest (a stalled line; the watchdog
    // ends a dead one); bytes that make no frame are analysed as usual after the gap. Clearing the claim
    // drops the start of a frame it was waiting for.
    using FrameDetector = BurstReader::FrameDetector;
    using FrameTaker = BurstReader::FrameTaker;
    void setFrameClaim(FrameDetector detect, FrameTaker take) { m_burst.setFrameClaim(std::move(detect), std::move(take)); }
    void clearFrameClaim() { m_burst.clearFrameClaim(); }
    // Off: claimed frames are still taken whole, but only after the quiet gap (for measurements).
    void setEarlyFrames(bool on) { m_burst.setEarlyFrames(on); }
    // For a detector: whether the bytes it is shown begin a burst, that is the line was quiet before them
    // (a reply can stand only there; the middle of a burst of data is data).
    bool atBurstStart() const { return m_burst.atBurstStart(); }
    // The claim ends with the burst now arriving: its remaining bytes are swallowed unread, and the claim
    // lifts once the line goes quiet (a claim set meanwhile stays).
    void endFrameClaimWithBurst() { m_burst.endFrameClaimWithBurst(); }

signals:
    void buttonsEnabled(bool on);               // Button_Enabled
    void configurate(quint8 optionsLow);        // Configurate
    void bootloaderMode(quint8 version, quint8 type);
    void passwordWanted();
    void passwordReply(char answer);            // '0' wrong, '1' accepted, '?' required
    void logEvents(const QByteArray& events);
    void canMessage(const rv::CanMessage& message);
    void canBuffer(const QList<rv::CanRecord>& records);
    void portOpenProblem(const QString& explanation); // why the port cannot be opened, once per cause
    void lineDropped();                         // the port reported the line gone (unplugged)
    void tcpChosen();                           // "TCP/IP" chosen in the port dialog

private:
    // ---- unit_search.cpp: discovery and the link's life
    void searchStep();
    void notFoundStep();
    void handshake(const Handshake& h);
    void Bootloader_version(uint8_t version, uint8_t type);
    void linkLost(bool say = true);
    void lineHungUp();
    void lineHungUpNow();
    void keepAlive();
    // ---- record_cycle.cpp: the read and write cycles and the password
    bool networkAttached() const;
    void startRead(ConfigRecords& into);
    void recordStep(uint8_t state);
    void sendStep(const Writes& writes);
    void applyStep(const RecordTransfer::Step& step);
    void endCopyRead(bool ok);
    void endByUnit(Result result);
    std::optional<Operation> runningOperation() const;
    static uint8_t repeatableOperation(uint8_t state);
    void runAgain(uint8_t operation);
    // ---- device_session.cpp: ticks, steps and the dispatch by marker
    void runStep();
    void onBytesArrived();
    void enterTicks();
    void leaveTicks();
    int receiveTicksDue() const;
    void passReceiveTicks(int n);
    int stepTicksDue() const;
    void dispatch(const QByteArray& burst);
    bool handOn(ReplyHook kind, QByteArrayView burst, qsizetype pos);
    template <ReplyHook kind>
    static void toHook(SessionController& s, QByteArrayView burst, qsizetype pos) { s.handOn(kind, burst, pos); }
    void onGps(QByteArrayView burst, qsizetype pos);
    void onDevice(QByteArrayView burst, qsizetype pos);
    void newConf();
    void onPassword(QByteArrayView burst, qsizetype pos);
    void onRecord(QByteArrayView burst, qsizetype pos, RecordKind kind);
    void onWrite();
    // One row per marker, in the order the markers are tried in every burst.
    struct MarkerHandler {
        const char* marker;
        void (*handle)(SessionController& s, QByteArrayView burst, qsizetype pos);
        bool whileProgramming = false; // only while the firmware is being programmed
    };
    static const MarkerHandler kMarkerHandlers[];

    Link& m_link;
    PortChannel m_channel;
    ProgressWatchdog m_progress;
    BurstReader m_burst;
    ConfigRecords* m_records;
    MonitorBlocks* m_monitor;
    DeviceSession m_s;
    QString m_portName = QStringLiteral("/dev/ttyUSB0");
    QString m_lastOpenProblem;
    uint8_t m_pausedStep = 0; // the step counter the port dialog paused
    SparseTicker m_receiveTicker;
    SparseTicker m_stepTicker;
    QHash<int, std::function<void(QByteArrayView, qsizetype)>> m_replyHooks;
    QHash<int, std::function<void()>> m_stepHooks;
    QHash<int, std::function<void()>> m_periodicHooks;
    std::function<int()> m_dumpTypeIndex;
    int m_tailGaps = 0; // quiet gaps the record reply now waiting has waited for its tail
    RemoteSession* m_remote = nullptr;
    std::unique_ptr<ConfigRecords> m_copy;
    std::optional<RecordTransfer> m_transfer; // the read or write running, or the last one
    bool m_readingCopy = false;
    bool m_lossReported = false; // the lost-link message of this loss is out
    bool m_repeatAfterPassword = false;
    uint8_t m_refused = osIdle;  // see refusedOperation()
};

} // namespace rv
