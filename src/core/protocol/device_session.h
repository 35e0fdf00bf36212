#pragma once

// The session controller: discovers the unit, runs every operation as a sequence of timed steps, keeps
// the link alive with monitor polls, and dispatches each reply burst by its markers. It never touches a
// widget: views, a command-line front end or a test connect to its signals.

#include "core/link/port_channel.h"
#include "core/protocol/commands.h"
#include "core/protocol/progress.h"
#include "core/protocol/reply_blocks.h"
#include "core/protocol/sparse_ticker.h"

#include <QHash>

#include <cstdint>
#include <functional>
#include <memory>

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
    uint8_t receiveCountdown = 0;    // ticks of quiet left before the analysis
    QByteArray receiveBuffer;        // every byte received and not yet analysed, in order
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
    bool remoteMode = false;
    bool remoteOperation = false;
    uint32_t remotePollCounter = 0;
};

// Timing of the wire behaviour.
namespace timing {
inline constexpr int kReceiveTickMs = 10;
inline constexpr uint8_t kQuietCountdown = 5;      // analysis runs when the countdown reaches 1: ~40 ms
inline constexpr uint32_t kKeepAliveAfter = 25;    // a poll when the old counter value exceeds this: 27 ticks
inline constexpr int kStepTickMs = 100;
inline constexpr uint8_t kStepDelayTicks = 10;     // from arming to the step: ~1 s
inline constexpr uint32_t kMemoryRetryAfter = 50;  // receive ticks without "+MEM" before the repeat
inline constexpr int kRecordTailGaps = 12;         // quiet gaps a record reply may wait for its tail: ~0.5 s
inline constexpr int kReadWriteProgressTicks = 50; // watchdog of the configuration read and write: 10 s
} // namespace timing

// The unit's own receive buffer is 1024 bytes, but the PC keeps every byte that arrives until an analysis
// has seen it, however many bursts come together. Only a line that runs on without a quiet gap and without
// forming anything a claim takes is cut at this size, and the user is told.
inline constexpr qsizetype kRunawayBytes = 1 << 20;

// Replies and steps that belong to other subsystems are handed to hooks those subsystems install.
enum class ReplyHook {
    FirmwareOk, FirmwareError, FirmwareResend, FirmwareRefused, // "BL_OK" ... while programming
    FileTransfer,                                               // "FLRW"
    Memory,                                                     // "+MEM"
    VoiceCapacity, VoicePage, VoiceSize, VoiceFile,             // "+VMS", "+VWP", "+VFS", "+VWF"
    Camera,                                                     // while a camera transfer runs
};
enum class PeriodicHook { VoiceWrite, VoiceList, RemotePoll };

inline constexpr qsizetype kFrameIncomplete = -1;

// What the running (or last) configuration read took of one record: whether a reply with a good
// checksum came, the length the unit gave and, for the extended record, its status ('0': present).
struct RecordArrival {
    bool received = false;
    uint16_t length = 0;
    char status = '0';
    bool whole(RecordKind kind) const { return received && status == '0' && length >= recordSize(kind); }
};

class SessionController : public QObject {
    Q_OBJECT
public:
    // `records` and `monitor` default to the program-wide instances.
    explicit SessionController(Link& link, ConfigRecords* records = nullptr, MonitorBlocks* monitor = nullptr,
                               QObject* parent = nullptr);
    ~SessionController() override;

    DeviceSession& session() { return m_s; }
    const DeviceSession& session() const { return m_s; }
    PortChannel& channel() { return m_channel; }
    ProgressWatchdog& progress() { return m_progress; }
    ConfigRecords& records() { return *m_records; }
    MonitorBlocks& monitor() { return *m_monitor; }

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

    // User operations (tool bar, dialogs).
    void Download_deviceClick();     // read the configuration
    void Upload_deviceClick();       // write it
    // Reads the unit's three records with the usual read steps into a copy of its own, for a comparison:
    // the program's records stay as they are and no record signal goes out (nothing refreshes a page).
    // The copy starts as the program's records, so a record the unit does not send compares equal. Ends
    // with copyReadFinished. Refused (false) while another operation runs. Over the network the remote
    // session reads the attached unit into the copy.
    bool readUnitCopy();
    const ConfigRecords& unitCopy() const { return *m_copy; }
    // Of the read now running or the last one; cleared when a read starts.
    const RecordArrival& recordArrival(RecordKind kind) const { return m_arrivals[int(kind)]; }
    void Reset_butClick();
    void eraseTrackConfirmed();
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
    // own handlers that starts a periodic duty (the remote monitor poll) says so here.
    void dutiesChanged();

    int send(const Writes& writes); // each piece in its own write; the smallest result
    void setReplyHook(ReplyHook kind, std::function<void(QByteArrayView burst, qsizetype markerPos)> hook);
    void setStepHook(uint8_t state, std::function<void()> hook);
    void setPeriodicHook(PeriodicHook kind, std::function<void()> hook);
    void setDumpTypeIndex(std::function<int()> index) { m_dumpTypeIndex = std::move(index); }
    // The network side: while a unit is attached to it, the tool-bar operations go there.
    void setRemote(RemoteSession* remote) { m_remote = remote; }

    // A subsystem that expects length-framed data (file chunks and the like) claims the waiting bytes:
    // `detect` returns the length of a complete frame at their start, kFrameIncomplete while a frame has
    // begun but is not whole, 0 for anything else. Each claimed frame goes to `take` as soon as it is
    // whole, without waiting for the quiet gap, and no other marker is searched in it; several frames that
    // arrive together are taken one after the other. A frame still incomplete when the line goes quiet is
    // kept for its rest (a stalled line; the watchdog ends a dead one); bytes that make no frame are
    // analysed as usual after the gap. Clearing the claim drops the start of a frame it was waiting for.
    using FrameDetector = std::function<qsizetype(QByteArrayView waiting)>;
    using FrameTaker = std::function<void(QByteArrayView frame)>;
    void setFrameClaim(FrameDetector detect, FrameTaker take);
    void clearFrameClaim();
    // Off: claimed frames are still taken whole, but only after the quiet gap (for measurements).
    void setEarlyFrames(bool on) { m_earlyFrames = on; }
    // For a detector: whether the bytes it is shown begin a burst, that is the line was quiet before them
    // (a reply can stand only there; the middle of a burst of data is data).
    bool atBurstStart() const { return m_burstStart; }
    // The claim ends with the burst now arriving: its remaining bytes are swallowed unread, and the claim
    // lifts once the line goes quiet (a claim set meanwhile stays).
    void endFrameClaimWithBurst();

signals:
    void statusText(int panel, const QString& text);
    void message(const QString& text);          // for a message box that does not block
    void buttonsEnabled(bool on);               // Button_Enabled
    void configurate(quint8 optionsLow);        // Configurate
    void deviceConnected(quint8 type, quint32 options); // after a handshake: adapt, show the monitor page
    void bootloaderMode(quint8 version, quint8 type);
    void passwordWanted();
    void passwordReply(char answer);            // '0' wrong, '1' accepted, '?' required
    void gatherRequested(rv::RecordKind kind);  // pages into the record, just before it is written
    void recordReceived(rv::RecordKind kind);   // the record now holds the unit's bytes
    void readCycleFinished();
    void writeCycleFinished();
    void copyReadFinished(bool ok);             // readUnitCopy is over; unitCopy() holds the unit's records
    void gpsReceived();
    void deviceReceived();
    void logEvents(const QByteArray& events);
    void canMessage(const rv::CanMessage& message);
    void canBuffer(const QList<rv::CanRecord>& records);
    void portOpenProblem(const QString& explanation); // why the port cannot be opened, once per cause
    void lineDropped();                         // the port reported the line gone (unplugged)
    void tcpChosen();                           // "TCP/IP" chosen in the port dialog

private:
    void runStep();
    void searchStep();
    void handshake(const Handshake& h);
    void Bootloader_version(uint8_t version, uint8_t type);
    void linkLost(bool say = true);
    void sendStep(const Writes& writes);
    static uint8_t repeatableOperation(uint8_t state);
    void runAgain(uint8_t operation);
    void lineHungUp();
    void lineHungUpNow();
    void failOperation(const QString& message);
    void handleRecord(QByteArrayView burst, qsizetype pos, RecordKind kind);
    void handleWrite();
    bool hook(ReplyHook kind, QByteArrayView burst, qsizetype pos);
    void onBytesArrived();
    void takeClaimedFrames(QByteArray& bytes);
    void dropRunaway();
    void dropClaimedStart();
    void enterTicks();
    void leaveTicks();
    int receiveTicksDue() const;
    void passReceiveTicks(int n);
    int stepTicksDue() const;
    void dispatch(const QByteArray& burst);
    void endCopyRead(bool ok);

    Link& m_link;
    PortChannel m_channel;
    ProgressWatchdog m_progress;
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
    FrameDetector m_claimDetect;
    FrameTaker m_claimTake;
    bool m_pendingClaimed = false; // the bytes waiting begin a frame the claim waits to be whole
    bool m_runawaySaid = false;    // the runaway line was said; again only after it went quiet
    bool m_earlyFrames = true;
    uint8_t m_quietTicks = 0xFF;    // receive ticks since bytes last arrived (saturating)
    bool m_burstStart = true;       // see atBurstStart()
    bool m_claimEndsWithBurst = false;
    int m_tailGaps = 0; // quiet gaps the record reply now waiting has waited for its tail
    RemoteSession* m_remote = nullptr;
    std::unique_ptr<ConfigRecords> m_copy;
    bool m_readingCopy = false;
    RecordArrival m_arrivals[3];
    bool m_lossReported = false; // the lost-link message of this loss is out
    bool m_repeatAfterPassword = false;
    uint8_t m_refused = osIdle;  // see refusedOperation()
};

} // namespace rv
