// The serial session's search for the unit and the link's life: the port opened and the greeting sent
// every two seconds until a unit answers, the keep-alive polls, and the ways a link ends (a poll that
// cannot go out, the port saying the line is gone, the user choosing another port or the network).

#include "core/protocol/device_session.h"
#include "core/protocol/remote_session.h"

namespace rv {

namespace {
const QString kTcpIp = QStringLiteral("TCP/IP");
} // namespace

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

void SessionController::searchStep()
{
    if (m_portName == kTcpIp)
        return; // the network channel is chosen: no serial search
    if (m_channel.Open_port(m_portName)) {
        m_lastOpenProblem.clear();
        emit linkChanged({LinkState::Searching, m_portName});
        m_channel.SendStr(cmd::kHandshake);
        m_s.OperationState = osIdle;
    } else {
        const QString why = m_link.lastOpenError();
        const OpenFailure failure = m_link.lastOpenFailure();
        emit linkChanged({LinkState::PortUnavailable, m_portName, failure});
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

void SessionController::notFoundStep()
{
    m_s.connected = false;
    emit buttonsEnabled(false);
    emit linkChanged({LinkState::NotFound, m_portName});
    m_s.autoReadPending = false;
    m_s.OperationState = osSearch;
    arm();
}

void SessionController::handshake(const Handshake& h)
{
    disarm();
    emit linkChanged({LinkState::Connected, m_portName});
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

void SessionController::newConf()
{
    // The unit waits to be configured: it answers, but tells nothing about itself.
    disarm();
    emit linkChanged({LinkState::Connected, m_portName});
    m_s.OperationState = osIdle;
    emit buttonsEnabled(true);
    tell(Notice::NeedsConfiguring);
}

void SessionController::Bootloader_version(uint8_t version, uint8_t type)
{
    disarm();
    LinkEvent e{LinkState::Bootloader, m_portName};
    e.version = version;
    emit linkChanged(e);
    m_s.DeviceType = type >= 3 ? type : 2;
    emit bootloaderMode(version, type);
}

void SessionController::keepAlive()
{
    if (m_s.keepAliveCounter++ <= timing::kKeepAliveAfter)
        return;
    m_s.keepAliveCounter = 0;
    if (!m_s.connected || m_s.OperationState != osIdle)
        return;
    // Either poll failing to go out is a lost link, so it is noticed within one poll period.
    const int sent = m_s.keepAliveToggle % 2 == 0 ? send(cmd::pollDevice(m_s.monitorFlags)) : send(cmd::word(cmd::kPollGps));
    ++m_s.keepAliveToggle;
    if (sent < 1)
        linkLost();
}

void SessionController::linkLost(bool say)
{
    // A read or write of the records that the loss cut short ends with the loss.
    const std::optional<Operation> running = runningOperation();
    endCopyRead(false);
    m_s.OperationState = osSearch;
    m_s.connected = false;
    m_s.writeAckAwaited = false;
    if (m_transfer)
        m_transfer->fail(Result::LinkLost);
    m_refused = osIdle;
    m_burst.dropClaimedStart();
    m_tailGaps = 0;
    arm();
    // The status bar and the device buttons change at once; the message comes once for each loss.
    emit buttonsEnabled(false);
    emit linkChanged({LinkState::Lost, m_portName});
    if (running)
        emit operationEnded({*running, Result::LinkLost});
    if (say && !std::exchange(m_lossReported, true))
        tell(Notice::LinkLost);
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
        emit linkChanged({LinkState::NetworkChosen, m_portName});
        emit tcpChosen();
        return;
    }
    if (m_remote)
        m_remote->serialChosen();
    m_channel.Open_port(name);
    m_channel.SendStr(cmd::kHandshake);
    m_s.OperationState = osIdle;
    arm();
    emit linkChanged({LinkState::PortChosen, m_portName});
}

void SessionController::attachNetwork(RemoteSession* remote)
{
    if (m_remote)
        disconnect(m_remote, nullptr, this, nullptr);
    m_remote = remote;
    if (!remote)
        return;
    // What the network session reports reaches the views through this session's signals, as after a serial
    // cycle; the unit type it gives is the one the views adapt to.
    connect(remote, &UnitSession::deviceConnected, this, [this](quint8 type, quint32) {
        m_s.DeviceType = type;
        emit deviceConnected(type, m_s.DeviceOptions);
    });
    connect(remote, &UnitSession::operationEnded, this, &UnitSession::operationEnded);
    connect(remote, &UnitSession::notice, this, &UnitSession::notice);
    connect(remote, &UnitSession::gatherRequested, this, &UnitSession::gatherRequested);
    connect(remote, &UnitSession::recordReceived, this, &UnitSession::recordReceived);
    connect(remote, &UnitSession::readCycleFinished, this, &UnitSession::readCycleFinished);
    connect(remote, &UnitSession::writeCycleFinished, this, &UnitSession::writeCycleFinished);
    connect(remote, &UnitSession::copyReadFinished, this, &UnitSession::copyReadFinished);
    connect(remote, &UnitSession::gpsReceived, this, &UnitSession::gpsReceived);
    connect(remote, &UnitSession::deviceReceived, this, &UnitSession::deviceReceived);
}

} // namespace rv
