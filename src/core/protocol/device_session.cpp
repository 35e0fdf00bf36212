#include "core/protocol/device_session.h"

#include "core/config/records.h"
#include "core/monitor/monitor_blocks.h"

namespace rv {

SessionController::SessionController(Link& link, ConfigRecords* records, MonitorBlocks* monitor, QObject* parent)
    : UnitSession(parent),
      m_link(link),
      m_channel(link),
      m_burst([this](qsizetype dropped, bool say) {
          m_tailGaps = 0;
          if (say)
              tell(Notice::RunawayDropped, dropped);
      }),
      m_records(records ? records : &programRecords()),
      m_monitor(monitor ? monitor : &programMonitorBlocks()),
      m_receiveTicker(std::chrono::milliseconds(timing::kReceiveTickMs),
                      {[this] { return receiveTicksDue(); }, [this](int n) { passReceiveTicks(n); },
                       [this] {
                           enterTicks();
                           Receive_timerTimer();
                           leaveTicks();
                       }}),
      m_stepTicker(std::chrono::milliseconds(timing::kStepTickMs),
                   {[this] { return stepTicksDue(); },
                    [this](int n) {
                        if (m_s.stepCounter != 0)
                            m_s.stepCounter = static_cast<uint8_t>(m_s.stepCounter + n);
                    },
                    [this] {
                        enterTicks();
                        Find_deviceTimer();
                        leaveTicks();
                    }}),
      m_copy(std::make_unique<ConfigRecords>())
{
    connect(&m_channel, &PortChannel::rxChar, this, &SessionController::onBytesArrived);
    connect(&m_link, &Link::hungUp, this, &SessionController::lineHungUp);
    connect(&m_progress, &ProgressWatchdog::expired, this, [this] {
        const std::optional<Operation> running = runningOperation();
        m_s.OperationState = osIdle;
        m_burst.dropClaimedStart();
        m_tailGaps = 0;
        if (m_transfer)
            m_transfer->fail(Result::NoAnswer);
        endCopyRead(false);
        if (running)
            emit operationEnded({*running, Result::NoAnswer});
    });
}

SessionController::~SessionController() = default;

int SessionController::send(const Writes& writes)
{
    int result = writes.isEmpty() ? 0 : INT_MAX;
    for (const QByteArray& piece : writes)
        result = std::min(result, m_channel.Send(piece));
    return result;
}

void SessionController::setReplyHook(ReplyHook kind, std::function<void(QByteArrayView, qsizetype)> hook)
{
    m_replyHooks.insert(static_cast<int>(kind), std::move(hook));
}

void SessionController::setStepHook(uint8_t state, std::function<void()> hook)
{
    m_stepHooks.insert(state, std::move(hook));
}

void SessionController::setPeriodicHook(PeriodicHook kind, std::function<void()> hook)
{
    m_periodicHooks.insert(static_cast<int>(kind), std::move(hook));
}

bool SessionController::handOn(ReplyHook kind, QByteArrayView burst, qsizetype pos)
{
    const auto it = m_replyHooks.constFind(static_cast<int>(kind));
    if (it == m_replyHooks.constEnd() || !*it)
        return false;
    (*it)(burst, pos);
    return true;
}

void SessionController::setMonitorFlag(uint8_t bit, bool on)
{
    m_s.monitorFlags = on ? (m_s.monitorFlags | bit) : (m_s.monitorFlags & ~bit);
}

// ---- the sparse timers ------------------------------------------------------------------------------

void SessionController::onBytesArrived()
{
    enterTicks();
    // Every byte is taken as it comes, in order, and kept until an analysis has seen it. The count is what
    // the port's queue holds, so the read does not wait.
    const quint32 waiting = m_channel.bytesWaiting();
    m_channel.clearBytesWaiting();
    m_burst.arrived(waiting > 0 ? m_link.read(static_cast<int>(std::min<quint32>(waiting, INT_MAX))) : QByteArray());
    leaveTicks();
}

void SessionController::enterTicks()
{
    m_receiveTicker.catchUp();
    m_stepTicker.catchUp();
}

void SessionController::leaveTicks()
{
    m_receiveTicker.reschedule();
    m_stepTicker.reschedule();
}

void SessionController::dutiesChanged()
{
    enterTicks();
    leaveTicks();
}

int SessionController::receiveTicksDue() const
{
    // The keep-alive tick comes every 27 ticks whether or not a poll goes out then: its count is the one
    // a periodic timer keeps.
    const uint32_t keepAlive = m_s.keepAliveCounter;
    int due = keepAlive > timing::kKeepAliveAfter ? 1 : static_cast<int>(timing::kKeepAliveAfter + 2 - keepAlive);
    if (const int burst = m_burst.ticksDue(); burst > 0)
        due = std::min(due, burst);
    if (const uint32_t retry = m_s.memoryRetryCounter; retry != 0)
        due = std::min(due, retry > timing::kMemoryRetryAfter ? 1 : static_cast<int>(timing::kMemoryRetryAfter + 2 - retry));
    if (m_s.voiceWrite || m_s.voiceList)
        due = 1; // their hooks run every tick
    return due;
}

void SessionController::passReceiveTicks(int n)
{
    // Counting only: the tick that does something is never passed over.
    m_burst.pass(n);
    m_s.keepAliveCounter += static_cast<uint32_t>(n);
    if (m_s.memoryRetryCounter != 0)
        m_s.memoryRetryCounter += static_cast<uint32_t>(n);
}

int SessionController::stepTicksDue() const
{
    const uint8_t counter = m_s.stepCounter;
    if (counter == 0)
        return 0; // disarmed: the step timer sleeps
    return counter > timing::kStepDelayTicks ? 1 : timing::kStepDelayTicks + 1 - counter;
}

// ---- the ticks and the steps ------------------------------------------------------------------------

void SessionController::Receive_timerTimer()
{
    if (m_burst.tick())
        Receive_analyse();
    m_burst.tickDone();
    keepAlive();
    if (m_s.voiceWrite)
        if (auto h = m_periodicHooks.value(static_cast<int>(PeriodicHook::VoiceWrite))) h();
    if (m_s.voiceList)
        if (auto h = m_periodicHooks.value(static_cast<int>(PeriodicHook::VoiceList))) h();
    if (m_s.memoryRetryCounter != 0 && m_s.memoryRetryCounter++ > timing::kMemoryRetryAfter) {
        m_s.memoryRetryCounter = 0;
        send(cmd::memoryRepeat(m_dumpTypeIndex ? m_dumpTypeIndex() : 0));
    }
}

void SessionController::Find_deviceTimer()
{
    if (m_s.stepCounter == 0)
        return;
    if (++m_s.stepCounter < timing::kStepDelayTicks + 1)
        return;
    disarm();
    runStep();
}

void SessionController::runStep()
{
    const uint8_t state = m_s.OperationState;
    switch (state) {
    case osIdle: return notFoundStep(); // no handshake came after "CONFIGO"
    case osSearch: return searchStep();
    case osReadConfig:
    case osReadInOut:
    case osReadExtended:
    case osWriteConfig:
    case osWriteInOut:
    case osWriteExtended: return recordStep(state);
    case osReset:
    case osBootloader:
        send(cmd::word(state == osReset ? cmd::kReset : cmd::kBootloader));
        emit buttonsEnabled(false);
        arm();
        m_s.OperationState = osSearch;
        m_s.connected = false;
        return;
    case osEraseTrack:
        send(cmd::word(cmd::kEraseTrack));
        m_s.OperationState = osIdle;
        return;
    case osSendPassword:
        send(cmd::password(m_s.password));
        m_s.OperationState = osIdle;
        return;
    case osWriteVoice:
        m_s.voiceWrite = true;
        return;
    case osListVoice:
        m_s.voiceList = true;
        return;
    default:
        // Steps of other subsystems (log, route, camera, memory, voice archive) run their own hooks;
        // any other value does nothing.
        if (auto h = m_stepHooks.value(state))
            h();
        return;
    }
}

// ---- the analysis and the dispatch by marker ---------------------------------------------------------

void SessionController::Receive_analyse()
{
    // This analysis owns its bytes, all of them: whatever a handler starts cannot make another analysis
    // see them, and bytes arriving meanwhile wait for the next one.
    const QByteArray burst = m_burst.takeBurst();
    if (burst.isEmpty())
        return;
    // A record reply whose length says more is due waits a little for its tail: a loaded PC or adapter
    // can stall a reply for longer than the quiet gap. A reply still short after that is analysed as is.
    const uint8_t state = m_s.OperationState;
    if (state == osReadConfig || state == osReadInOut || state == osReadExtended) {
        const auto end = recordReplyEnd(burst);
        if (end && *end > burst.size() && m_tailGaps < timing::kRecordTailGaps) {
            ++m_tailGaps;
            m_burst.putBack(burst);
            return;
        }
    }
    m_tailGaps = 0;
    dispatch(burst);
    // A reply that ended the read for a comparison some other way (a password asked) ends the comparison.
    const uint8_t now = m_s.OperationState;
    if (m_readingCopy && now != osReadConfig && now != osReadInOut && now != osReadExtended)
        endCopyRead(false);
}

namespace {
using S = SessionController;
} // namespace

// Every marker found in a burst is handled, in this order: one analysis can handle several replies.
const SessionController::MarkerHandler SessionController::kMarkerHandlers[] = {
    {"BL_OK", &S::toHook<ReplyHook::FirmwareOk>, true},
    {"BL_ER", &S::toHook<ReplyHook::FirmwareError>, true},
    {"BL_EP", &S::toHook<ReplyHook::FirmwareResend>, true},
    {"BL_BL", &S::toHook<ReplyHook::FirmwareRefused>, true},
    {"BOOTLOADER", [](S& s, QByteArrayView b, qsizetype p) {
         if (auto r = parseBootloader(b, p)) s.Bootloader_version(r->version, r->deviceType);
     }},
    {"+PASS=", [](S& s, QByteArrayView b, qsizetype p) { s.onPassword(b, p); }},
    {"QD-SSMT", [](S& s, QByteArrayView b, qsizetype p) { if (auto h = parseQdSsmt(b, p)) s.handshake(*h); }},
    {"RV-TR", [](S& s, QByteArrayView b, qsizetype p) { if (auto h = parseRvTr(b, p)) s.handshake(*h); }},
    {"NEWCONF", [](S& s, QByteArrayView, qsizetype) { s.newConf(); }},
    {"GPS", [](S& s, QByteArrayView b, qsizetype p) { s.onGps(b, p); }},
    {"DEVICE", [](S& s, QByteArrayView b, qsizetype p) { s.onDevice(b, p); }},
    {"CONFIG", [](S& s, QByteArrayView b, qsizetype p) { s.onRecord(b, p, RecordKind::Config); }},
    {"INPOUT", [](S& s, QByteArrayView b, qsizetype p) { s.onRecord(b, p, RecordKind::InpOut); }},
    {"CONFSE", [](S& s, QByteArrayView b, qsizetype p) { s.onRecord(b, p, RecordKind::ConfSe); }},
    {"WRITE", [](S& s, QByteArrayView, qsizetype) { s.onWrite(); }},
    {"LOWD", [](S& s, QByteArrayView, qsizetype) { s.endByUnit(Result::UnitRefused); }},
    {"TRACKDEL", [](S& s, QByteArrayView, qsizetype) { s.tell(Notice::TrackErased); }},
    {"FAIL", [](S& s, QByteArrayView, qsizetype) { s.endByUnit(Result::UnitFailed); }},
    {"CANMES", [](S& s, QByteArrayView b, qsizetype p) { if (auto m = parseCanMes(b, p)) emit s.canMessage(*m); }},
    {"CANBUF", [](S& s, QByteArrayView b, qsizetype p) { if (auto r = parseCanBuf(b, p)) emit s.canBuffer(*r); }},
    {"FLRW", [](S& s, QByteArrayView b, qsizetype p) {
         s.m_progress.Progress_refresh();
         s.handOn(ReplyHook::FileTransfer, b, p);
     }},
    {"+MEM", &S::toHook<ReplyHook::Memory>},
    {"+VMS", &S::toHook<ReplyHook::VoiceCapacity>},
    {"+VWP", &S::toHook<ReplyHook::VoicePage>},
    {"+VFS", &S::toHook<ReplyHook::VoiceSize>},
    {"+VWF", &S::toHook<ReplyHook::VoiceFile>},
};

void SessionController::dispatch(const QByteArray& burst)
{
    const bool programming = m_s.firmwareProgramming;
    for (const MarkerHandler& h : kMarkerHandlers) {
        if (h.whileProgramming && !programming)
            continue;
        if (const auto pos = findMarker(burst, h.marker))
            h.handle(*this, burst, *pos);
    }
    if (m_s.cameraTransfer)
        handOn(ReplyHook::Camera, burst, -1); // header, "IMFL", "IMBUSY" or raw picture bytes
}

void SessionController::onGps(QByteArrayView burst, qsizetype pos)
{
    const MonitorReply r = parseGpsReply(burst, pos);
    if (!r.valid)
        return;
    m_monitor->gps.fillFrom(r.payload);
    emit gpsReceived();
}

void SessionController::onDevice(QByteArrayView burst, qsizetype pos)
{
    const MonitorReply r = parseDeviceReply(burst, pos);
    if (r.logTrailer)
        emit logEvents(*r.logTrailer);
    if (!r.valid)
        return;
    m_monitor->device.fillFrom(r.payload);
    emit deviceReceived();
    // The automatic read starts only from rest: a write or read the user started meanwhile wins.
    if (m_s.autoReadPending && m_s.OperationState == osIdle) {
        m_s.autoReadPending = false;
        Download_deviceClick();
    }
}

} // namespace rv
