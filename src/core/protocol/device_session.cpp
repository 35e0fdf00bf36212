#include "core/protocol/device_session.h"

#include "core/config/records.h"
#include "core/monitor/monitor_blocks.h"
#include "core/protocol/remote_session.h"

namespace rv {

namespace {
const QString kSearching = QStringLiteral("Настройка соединения...");
const QString kConnected = QStringLiteral("Соединение установлено");
const QString kRetry = QStringLiteral("Повторите попытку");
const QString kReading = QStringLiteral("Идет считывание конфигурации...");
const QString kWriting = QStringLiteral("Идет запись конфигурации...");
const QString kLinkLost = QStringLiteral("Потеряна связь с устройством");
const QString kReadCut = QStringLiteral("Считывание прервано: потеряна связь");
const QString kWriteCut = QStringLiteral("Запись прервана: потеряна связь");
const QString kTcpIp = QStringLiteral("TCP/IP");

// The read state each record reply answers; any other record reply is stale or unasked for.
uint8_t readStateOf(RecordKind kind)
{
    switch (kind) {
    case RecordKind::Config: return osReadConfig;
    case RecordKind::InpOut: return osReadInOut;
    case RecordKind::ConfSe: return osReadExtended;
    }
    return osIdle;
}
} // namespace

SessionController::SessionController(Link& link, ConfigRecords* records, MonitorBlocks* monitor, QObject* parent)
    : QObject(parent),
      m_link(link),
      m_channel(link),
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
    // Each arrival restarts the quiet-gap countdown.
    connect(&m_channel, &PortChannel::rxChar, this, &SessionController::onBytesArrived);
    connect(&m_link, &Link::hungUp, this, &SessionController::lineHungUp);
    connect(&m_progress, &ProgressWatchdog::expired, this, [this] {
        m_s.OperationState = osIdle;
        m_s.remoteOperation = false;
        dropClaimedStart();
        m_tailGaps = 0;
        endCopyRead(false);
    });
}

SessionController::~SessionController() = default;

void SessionController::start(bool runTimers)
{
    m_s.OperationState = osSearch;
    arm();
    m_progress.setTimerEnabled(runTimers);
    if (runTimers) {
        m_receiveTicker.start();
        m_stepTicker.start();
    }
}

void SessionController::shutdown()
{
    m_receiveTicker.stop();
    m_stepTicker.stop();
    disarm();
    if (m_link.isOpen())
        m_channel.SendStr(cmd::kClose);
    m_link.close();
}

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

void SessionController::setFrameClaim(FrameDetector detect, FrameTaker take)
{
    m_claimDetect = std::move(detect);
    m_claimTake = std::move(take);
    m_claimEndsWithBurst = false;
}

void SessionController::endFrameClaimWithBurst()
{
    m_claimDetect = [](QByteArrayView waiting) { return waiting.size(); };
    m_claimTake = [](QByteArrayView) {};
    m_claimEndsWithBurst = true;
}

void SessionController::clearFrameClaim()
{
    m_claimDetect = nullptr;
    m_claimTake = nullptr;
    m_claimEndsWithBurst = false;
    dropClaimedStart(); // the start of a frame nobody waits for any more must not lead a later reply
}

void SessionController::dropClaimedStart()
{
    if (std::exchange(m_pendingClaimed, false))
        m_s.receiveBuffer.clear();
}

void SessionController::onBytesArrived()
{
    enterTicks();
    // Every byte is taken as it comes, in order, and kept until an analysis has seen it. The count is what
    // the port's queue holds, so the read does not wait.
    const quint32 waiting = m_channel.bytesWaiting();
    m_channel.clearBytesWaiting();
    const QByteArray bytes = waiting > 0 ? m_link.read(static_cast<int>(std::min<quint32>(waiting, INT_MAX)))
                                         : QByteArray();
    if (m_s.receiveBuffer.isEmpty())
        m_burstStart = m_quietTicks >= timing::kQuietCountdown - 1;
    m_s.receiveBuffer += bytes;
    // Each arrival restarts the quiet-gap countdown.
    m_s.receiveCountdown = timing::kQuietCountdown;
    m_quietTicks = 0;
    // A claim is waiting for frames: each goes on the moment it is whole.
    if (m_claimDetect && m_earlyFrames) {
        takeClaimedFrames(m_s.receiveBuffer);
        if (m_s.receiveBuffer.isEmpty())
            m_s.receiveCountdown = 0; // nothing left to analyse
    }
    if (m_s.receiveBuffer.size() > kRunawayBytes)
        dropRunaway();
    leaveTicks();
}

void SessionController::takeClaimedFrames(QByteArray& bytes)
{
    m_pendingClaimed = false;
    while (m_claimDetect && !bytes.isEmpty()) {
        const qsizetype n = m_claimDetect(bytes);
        if (n == kFrameIncomplete) {
            m_pendingClaimed = true;
            return;
        }
        if (n <= 0 || n > bytes.size())
            return;
        const QByteArray frame = bytes.left(n);
        bytes.remove(0, n);
        m_burstStart = false; // what follows a frame is the same burst
        // A copy: the taker may end or replace the claim while it runs.
        if (const FrameTaker take = m_claimTake)
            take(frame);
    }
}

void SessionController::dropRunaway()
{
    // A line that never pauses and never forms a frame of a claim: its bytes are no reply anybody waits
    // for, and keeping them all would let it fill the memory.
    const qsizetype dropped = m_s.receiveBuffer.size();
    m_s.receiveBuffer.clear();
    m_pendingClaimed = false;
    m_tailGaps = 0;
    if (!std::exchange(m_runawaySaid, true))
        emit message(QStringLiteral("Устройство передает данные без паузы, и они не складываются в ответ: "
                                    "%1 байт отброшено").arg(dropped));
}

// ---- the sparse timers ------------------------------------------------------------------------------

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
    if (m_s.receiveCountdown > 0)
        due = std::min(due, std::max(1, m_s.receiveCountdown - 1));
    if (m_claimEndsWithBurst)
        due = std::min(due, std::max(1, timing::kQuietCountdown - 1 - m_quietTicks));
    if (const uint32_t retry = m_s.memoryRetryCounter; retry != 0)
        due = std::min(due, retry > timing::kMemoryRetryAfter ? 1 : static_cast<int>(timing::kMemoryRetryAfter + 2 - retry));
    if (m_s.voiceWrite || m_s.voiceList || m_s.remoteMode)
        due = 1; // their hooks run every tick
    return due;
}

void SessionController::passReceiveTicks(int n)
{
    // Counting only: the tick that does something is never passed over.
    if (m_s.receiveCountdown > 0)
        m_s.receiveCountdown = static_cast<uint8_t>(m_s.receiveCountdown - n);
    m_quietTicks = static_cast<uint8_t>(std::min(0xFF, m_quietTicks + n));
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

bool SessionController::hook(ReplyHook kind, QByteArrayView burst, qsizetype pos)
{
    const auto it = m_replyHooks.constFind(static_cast<int>(kind));
    if (it == m_replyHooks.constEnd() || !*it)
        return false;
    (*it)(burst, pos);
    return true;
}

void SessionController::arm()
{
    enterTicks();
    m_s.stepCounter = 1;
    leaveTicks();
}

void SessionController::disarm()
{
    enterTicks();
    m_s.stepCounter = 0;
    leaveTicks();
}

void SessionController::closePort()
{
    m_link.close();
    m_s.connected = false;
}

void SessionController::setMonitorFlag(uint8_t bit, bool on)
{
    m_s.monitorFlags = on ? (m_s.monitorFlags | bit) : (m_s.monitorFlags & ~bit);
}

// ---- user operations --------------------------------------------------------------------------------

void SessionController::Download_deviceClick()
{
    if (m_s.remoteMode && m_remote)
        return m_remote->read();
    m_s.autoReadPending = false; // the user has taken charge
    endCopyRead(false);
    for (RecordArrival& a : m_arrivals)
        a = {};
    m_s.OperationState = osReadConfig;
    arm();
    m_progress.Progress_show(timing::kReadWriteProgressTicks, 0, kReading);
}

bool SessionController::readUnitCopy()
{
    if (m_s.remoteMode) {
        // A unit attached over the network is read the same way, by the remote session, into the copy.
        if (!m_remote || m_s.remoteOperation)
            return false;
        *m_copy = *m_records;
        return m_remote->readCopy(*m_copy);
    }
    if (!m_s.connected || m_s.OperationState != osIdle)
        return false;
    *m_copy = *m_records;
    Download_deviceClick();
    m_readingCopy = true;
    return true;
}

void SessionController::endCopyRead(bool ok)
{
    if (!std::exchange(m_readingCopy, false))
        return;
    emit copyReadFinished(ok);
}

void SessionController::Upload_deviceClick()
{
    if (m_s.remoteMode && m_remote)
        return m_remote->write();
    m_s.autoReadPending = false;
    endCopyRead(false);
    m_s.OperationState = osWriteConfig;
    arm();
    m_progress.Progress_show(timing::kReadWriteProgressTicks, 0, kWriting);
}

void SessionController::Reset_butClick()
{
    if (m_s.remoteMode && m_remote)
        return m_remote->reset();
    m_s.autoReadPending = false;
    m_s.OperationState = osReset;
    arm();
}

void SessionController::eraseTrackConfirmed()
{
    if (m_s.remoteMode && m_remote)
        return m_remote->eraseTrack();
    m_s.autoReadPending = false;
    m_s.OperationState = osEraseTrack;
    arm();
}

uint8_t SessionController::repeatableOperation(uint8_t state)
{
    switch (state) {
    case osReadConfig:
    case osReadInOut:
    case osReadExtended:
        return osReadConfig;
    case osWriteConfig:
    case osWriteInOut:
    case osWriteExtended:
        return osWriteConfig;
    case osReset:
    case osEraseTrack:
        return state;
    default:
        return osIdle;
    }
}

void SessionController::runAgain(uint8_t operation)
{
    // The whole operation from its start: a read or write the lock stopped midway is repeated whole.
    switch (operation) {
    case osReadConfig: return Download_deviceClick();
    case osWriteConfig: return Upload_deviceClick();
    case osReset: return Reset_butClick();
    case osEraseTrack: return eraseTrackConfirmed();
    default: return;
    }
}

void SessionController::cancelPassword()
{
    m_refused = osIdle;
}

void SessionController::submitPassword(uint16_t value)
{
    m_s.password = value;
    m_s.OperationState = osSendPassword;
    arm();
}

void SessionController::portDialogOpened()
{
    m_pausedStep = m_s.stepCounter;
    disarm();
}

void SessionController::portDialogLeft()
{
    // The dialog closed without a new port: whatever it paused goes on, and a search resumes.
    const uint8_t paused = std::exchange(m_pausedStep, 0);
    if (armed() || m_portName == kTcpIp)
        return;
    if (paused != 0) {
        m_s.stepCounter = paused;
    } else if (!m_s.connected && (m_s.OperationState == osIdle || m_s.OperationState == osSearch)) {
        m_s.OperationState = osSearch;
        arm();
    }
}

void SessionController::choosePort(const QString& name)
{
    m_portName = name;
    m_pausedStep = 0;
    if (name == kTcpIp) {
        // The network channel takes over: the serial side lets go of the unit and stops searching.
        m_link.close();
        disarm();
        m_s.connected = false;
        m_s.autoReadPending = false;
        m_s.OperationState = osIdle;
        m_progress.Progress_close();
        emit buttonsEnabled(false);
        emit statusText(2, QString());
        emit statusText(3, QStringLiteral("Выбран сетевой канал (TCP/IP)"));
        emit tcpChosen();
    } else {
        if (m_remote)
            m_remote->serialChosen();
        m_channel.Open_port(name);
        emit statusText(3, QStringLiteral("Настройка Com порта..."));
        m_channel.SendStr(cmd::kHandshake);
        m_s.OperationState = osIdle;
        arm();
    }
    emit statusText(1, m_portName);
}

// ---- timers -----------------------------------------------------------------------------------------

void SessionController::Receive_timerTimer()
{
    if (m_s.receiveCountdown > 0) {
        --m_s.receiveCountdown;
        if (m_s.receiveCountdown == 1)
            Receive_analyse();
    }
    if (m_quietTicks < 0xFF)
        ++m_quietTicks;
    if (m_claimEndsWithBurst && m_quietTicks >= timing::kQuietCountdown - 1)
        clearFrameClaim();

    if (m_s.keepAliveCounter++ > timing::kKeepAliveAfter) {
        m_s.keepAliveCounter = 0;
        if (m_s.connected && m_s.OperationState == osIdle) {
            // Either poll failing to go out is a lost link, so it is noticed within one poll period.
            const int sent = m_s.keepAliveToggle % 2 == 0 ? send(cmd::pollDevice(m_s.monitorFlags))
                                                           : send(cmd::word(cmd::kPollGps));
            ++m_s.keepAliveToggle;
            if (sent < 1)
                linkLost();
        }
    }

    if (m_s.voiceWrite)
        if (auto h = m_periodicHooks.value(static_cast<int>(PeriodicHook::VoiceWrite))) h();
    if (m_s.voiceList)
        if (auto h = m_periodicHooks.value(static_cast<int>(PeriodicHook::VoiceList))) h();
    if (m_s.remoteMode)
        if (auto h = m_periodicHooks.value(static_cast<int>(PeriodicHook::RemotePoll))) h();

    if (m_s.memoryRetryCounter != 0 && m_s.memoryRetryCounter++ > timing::kMemoryRetryAfter) {
        m_s.memoryRetryCounter = 0;
        send(cmd::memoryRepeat(m_dumpTypeIndex ? m_dumpTypeIndex() : 0));
    }
}

void SessionController::linkLost(bool say)
{
    // A read or write of the records that the loss cut short is said where the configuration's origin is.
    const uint8_t state = m_s.OperationState;
    const bool copy = m_readingCopy;
    endCopyRead(false);
    m_s.OperationState = osSearch;
    m_s.connected = false;
    m_s.writeAckAwaited = false;
    m_refused = osIdle;
    dropClaimedStart();
    m_tailGaps = 0;
    arm();
    // The status bar and the device buttons change at once; the message comes once for each loss.
    emit buttonsEnabled(false);
    emit statusText(2, QString());
    emit statusText(3, kLinkLost);
    if (!copy && (state == osReadConfig || state == osReadInOut || state == osReadExtended))
        emit statusText(0, kReadCut);
    else if (state == osWriteConfig || state == osWriteInOut || state == osWriteExtended)
        emit statusText(0, kWriteCut);
    if (say && !std::exchange(m_lossReported, true))
        emit message(kLinkLost);
}

void SessionController::lineHungUp()
{
    enterTicks();
    lineHungUpNow();
    leaveTicks();
}

void SessionController::lineHungUpNow()
{
    // The port says at once that the line is gone: an operation in progress ends now, not when the
    // watchdog runs out, and the search starts again.
    const uint8_t state = m_s.OperationState;
    const bool busy = state != osIdle && state != osSearch;
    // A firmware run (its bootloader is no connected unit) ends on this signal and says so itself.
    const bool programming = m_s.firmwareProgramming;
    emit lineDropped();
    if (!m_s.connected && !busy && !programming)
        return; // nothing was attached; the search notices on its own
    linkLost(!programming);
    if (busy)
        m_progress.Progress_close();
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
    case osIdle: // no handshake came after "CONFIGO"
        m_s.connected = false;
        emit buttonsEnabled(false);
        emit statusText(3, QStringLiteral("Устройство не обнаружено"));
        emit statusText(2, QString());
        m_s.autoReadPending = false;
        m_s.OperationState = osSearch;
        arm();
        return;
    case osSearch:
        searchStep();
        return;
    case osReadConfig:
        return sendStep(cmd::word(cmd::kReadConfig));
    case osReadInOut:
        return sendStep(cmd::word(cmd::kReadInpOut));
    case osReadExtended:
        return sendStep(cmd::readExtended());
    case osWriteConfig:
        emit gatherRequested(RecordKind::Config);
        m_s.writeAckAwaited = true;
        return sendStep(cmd::writeConfig(m_records->config.bytes()));
    case osWriteInOut:
        emit gatherRequested(RecordKind::InpOut);
        m_s.writeAckAwaited = true;
        return sendStep(cmd::writeInpOut(m_records->inpOut.bytes()));
    case osWriteExtended:
        emit gatherRequested(RecordKind::ConfSe);
        m_s.writeAckAwaited = true;
        return sendStep(cmd::writeExtended(m_records->confSe.bytes()));
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

void SessionController::sendStep(const Writes& writes)
{
    // A request of a read or write that cannot go out ends the operation now, not when the watchdog runs out.
    if (send(writes) < 1 && m_s.connected) {
        linkLost();
        m_progress.Progress_close();
    }
}

void SessionController::searchStep()
{
    if (m_portName == kTcpIp)
        return; // the network channel is chosen: no serial search
    if (m_channel.Open_port(m_portName)) {
        m_lastOpenProblem.clear();
        emit statusText(1, m_portName);
        emit statusText(3, kSearching);
        m_channel.SendStr(cmd::kHandshake);
        m_s.OperationState = osIdle;
    } else {
        const QString why = m_link.lastOpenError();
        const OpenFailure failure = m_link.lastOpenFailure();
        emit statusText(1, QStringLiteral("NC"));
        // A port that is there but taken is not "not found": the status bar says what it is from the first.
        emit statusText(3, m_portName + (failure == OpenFailure::Busy     ? QStringLiteral(" занят другой программой")
                                         : failure == OpenFailure::Denied ? QStringLiteral(": нет доступа")
                                                                          : QStringLiteral(" не найден")));
        m_s.autoReadPending = false;
        // Say once why the port cannot be opened (no access, busy ...), not every two seconds; a port that
        // is simply not there is already said by the status bar.
        if (failure != OpenFailure::Missing && failure != OpenFailure::None && why != m_lastOpenProblem) {
            m_lastOpenProblem = why;
            emit portOpenProblem(why);
        }
    }
    arm();
}

// ---- the dispatcher ---------------------------------------------------------------------------------

void SessionController::Receive_analyse()
{
    m_runawaySaid = false; // the line went quiet
    // This analysis owns its bytes, all of them: whatever a handler starts cannot make another analysis
    // see them, and bytes arriving meanwhile wait for the next one.
    QByteArray burst = std::exchange(m_s.receiveBuffer, QByteArray());
    m_pendingClaimed = false;
    if (burst.isEmpty())
        return;
    // A frame somebody claimed is data: its bytes are never searched for replies.
    takeClaimedFrames(burst);
    if (m_pendingClaimed) {
        m_s.receiveBuffer = burst + m_s.receiveBuffer; // the frame's rest is still to come
        return;
    }
    if (burst.isEmpty())
        return;
    // A record reply whose length says more is due waits a little for its tail: a loaded PC or adapter
    // can stall a reply for longer than the quiet gap. A reply still short after that is analysed as is.
    const uint8_t state = m_s.OperationState;
    if (state == osReadConfig || state == osReadInOut || state == osReadExtended) {
        const auto end = recordReplyEnd(burst);
        if (end && *end > burst.size() && m_tailGaps < timing::kRecordTailGaps) {
            ++m_tailGaps;
            m_s.receiveBuffer = burst + m_s.receiveBuffer;
            m_s.receiveCountdown = timing::kQuietCountdown;
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

void SessionController::dispatch(const QByteArray& burst)
{
    const auto at = [&burst](const char* marker) { return findMarker(burst, marker); };

    if (m_s.firmwareProgramming) {
        static constexpr std::pair<const char*, ReplyHook> firmware[] = {
            {"BL_OK", ReplyHook::FirmwareOk}, {"BL_ER", ReplyHook::FirmwareError},
            {"BL_EP", ReplyHook::FirmwareResend}, {"BL_BL", ReplyHook::FirmwareRefused}};
        for (const auto& [marker, kind] : firmware)
            if (auto p = at(marker))
                hook(kind, burst, *p);
    }
    if (auto p = at("BOOTLOADER"))
        if (auto b = parseBootloader(burst, *p))
            Bootloader_version(b->version, b->deviceType);
    if (auto p = at("+PASS="))
        if (auto c = parsePasswordReply(burst, *p)) {
            const uint8_t repeat = *c == '1' ? std::exchange(m_refused, uint8_t(osIdle)) : uint8_t(osIdle);
            if (*c == '0') {
                m_refused = osIdle;
                emit message(QStringLiteral("Пароль не верный :)"));
            } else if (*c == '1') {
                emit message(repeat != osIdle ? QStringLiteral("Пароль принят")
                                              : QStringLiteral("Пароль принят.\rПовторите операцию"));
            } else if (*c == '?') {
                m_refused = m_repeatAfterPassword && !m_readingCopy ? repeatableOperation(m_s.OperationState)
                                                                   : uint8_t(osIdle);
                emit passwordWanted();
            }
            emit passwordReply(*c);
            m_progress.Progress_close();
            m_s.OperationState = osIdle;
            if (repeat != osIdle)
                runAgain(repeat);
        }
    if (auto p = at("QD-SSMT"))
        if (auto h = parseQdSsmt(burst, *p))
            handshake(*h);
    if (auto p = at("RV-TR"))
        if (auto h = parseRvTr(burst, *p))
            handshake(*h);
    if (at("NEWCONF")) {
        disarm();
        emit statusText(3, kConnected);
        m_s.OperationState = osIdle;
        emit buttonsEnabled(true);
        emit message(QStringLiteral("Необходимо сконфигурировать устройство"));
    }
    if (auto p = at("GPS")) {
        const MonitorReply r = parseGpsReply(burst, *p);
        if (r.valid) {
            m_monitor->gps.fillFrom(r.payload);
            emit gpsReceived();
        }
    }
    if (auto p = at("DEVICE")) {
        const MonitorReply r = parseDeviceReply(burst, *p);
        if (r.logTrailer)
            emit logEvents(*r.logTrailer);
        if (r.valid) {
            m_monitor->device.fillFrom(r.payload);
            emit deviceReceived();
            // The automatic read starts only from rest: a write or read the user started meanwhile wins.
            if (m_s.autoReadPending && m_s.OperationState == osIdle) {
                m_s.autoReadPending = false;
                Download_deviceClick();
            }
        }
    }
    if (auto p = at("CONFIG"))
        handleRecord(burst, *p, RecordKind::Config);
    if (auto p = at("INPOUT"))
        handleRecord(burst, *p, RecordKind::InpOut);
    if (auto p = at("CONFSE"))
        handleRecord(burst, *p, RecordKind::ConfSe);
    if (at("WRITE"))
        handleWrite();
    if (at("LOWD")) {
        m_s.OperationState = osIdle;
        m_progress.Progress_close(QStringLiteral("Конфигурация не записана\rнеобходимо обновить конфигуратор"));
    }
    if (at("TRACKDEL"))
        emit message(QStringLiteral("Трек удален из памяти"));
    if (at("FAIL")) {
        m_s.OperationState = osIdle;
        m_progress.Progress_close(QStringLiteral("Не удалось обновить конфигурацию"));
    }
    if (auto p = at("CANMES"))
        if (auto m = parseCanMes(burst, *p))
            emit canMessage(*m);
    if (auto p = at("CANBUF"))
        if (auto b = parseCanBuf(burst, *p))
            emit canBuffer(*b);
    if (auto p = at("FLRW")) {
        m_progress.Progress_refresh();
        hook(ReplyHook::FileTransfer, burst, *p);
    }
    if (auto p = at("+MEM"))
        hook(ReplyHook::Memory, burst, *p);
    static constexpr std::pair<const char*, ReplyHook> voice[] = {
        {"+VMS", ReplyHook::VoiceCapacity}, {"+VWP", ReplyHook::VoicePage},
        {"+VFS", ReplyHook::VoiceSize}, {"+VWF", ReplyHook::VoiceFile}};
    for (const auto& [marker, kind] : voice)
        if (auto p = at(marker))
            hook(kind, burst, *p);
    if (m_s.cameraTransfer)
        hook(ReplyHook::Camera, burst, -1); // header, "IMFL", "IMBUSY" or raw picture bytes
}

void SessionController::handshake(const Handshake& h)
{
    disarm();
    emit statusText(3, kConnected);
    m_s.OperationState = osIdle;
    m_s.connected = true;
    m_lossReported = false;
    m_s.handshakeByte = h.handshakeByte;
    m_s.DeviceOptions = h.options;
    emit buttonsEnabled(true);
    emit configurate(static_cast<quint8>(h.options & 0xFF));
    m_s.DeviceType = h.deviceType;
    emit deviceConnected(h.deviceType, h.options);
}

void SessionController::Bootloader_version(uint8_t version, uint8_t type)
{
    disarm();
    emit statusText(2, QString());
    emit statusText(3, QStringLiteral("Режим загрузчика v%1.%2").arg(version / 10).arg(version % 10));
    m_s.DeviceType = type >= 3 ? type : 2;
    emit bootloaderMode(version, type);
}

void SessionController::failOperation(const QString& text)
{
    m_progress.Progress_close(text);
    m_s.OperationState = osIdle;
    endCopyRead(false);
}

void SessionController::handleRecord(QByteArrayView burst, qsizetype pos, RecordKind kind)
{
    // Only the reply the running read is waiting for moves it on; a late or unasked record changes
    // nothing and says nothing.
    if (m_s.OperationState != readStateOf(kind))
        return;
    const RecordReply r = parseRecordReply(burst, pos, kind);
    if (r.check != RecordReply::Check::Ok) {
        failOperation(kRetry); // the record keeps its earlier bytes
        return;
    }
    m_arrivals[int(kind)] = {true, r.length, r.status};
    if (r.overlong && r.present())
        emit message(QStringLiteral("Не все данные считаны\rобновите конфигуратор"));
    // A read for a comparison fills the copy and tells no page.
    ConfigRecords& into = m_readingCopy ? *m_copy : *m_records;
    const bool tell = !m_readingCopy;
    switch (kind) {
    case RecordKind::Config:
        into.config.fillFrom(r.payload);
        if (tell)
            emit recordReceived(kind);
        m_s.OperationState = osReadInOut;
        arm();
        m_progress.Progress_refresh();
        if (tell)
            emit configurate(static_cast<quint8>(m_s.DeviceOptions & 0xFF));
        break;
    case RecordKind::InpOut:
        into.inpOut.fillFrom(r.payload);
        if (tell)
            emit recordReceived(kind);
        m_s.OperationState = osReadExtended;
        arm();
        m_progress.Progress_refresh();
        break;
    case RecordKind::ConfSe:
        if (r.present()) {
            into.confSe.fillFrom(r.payload);
            if (tell)
                emit recordReceived(kind);
        }
        if (!tell) {
            m_s.OperationState = osIdle;
            m_progress.Progress_close();
            endCopyRead(true);
            break;
        }
        m_progress.Progress_close(QStringLiteral("Конфигурация считана"));
        emit readCycleFinished();
        emit statusText(0, QStringLiteral("Считано с устройства"));
        m_s.OperationState = osIdle;
        break;
    }
}

void SessionController::handleWrite()
{
    // One acknowledgement per record sent: a repeated "WRITE" must not skip a record.
    if (!m_s.writeAckAwaited)
        return;
    m_s.writeAckAwaited = false;
    m_s.connected = true;
    switch (m_s.OperationState) {
    case osWriteConfig:
        m_s.OperationState = osWriteInOut;
        arm();
        m_progress.Progress_refresh();
        break;
    case osWriteInOut:
        m_s.OperationState = osWriteExtended;
        arm();
        m_progress.Progress_refresh();
        break;
    case osWriteExtended:
        m_s.OperationState = osIdle;
        m_progress.Progress_close(QStringLiteral("Конфигурация устройства обновлена"));
        emit writeCycleFinished();
        break;
    default:
        break;
    }
}

} // namespace rv
