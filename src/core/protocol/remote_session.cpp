#include "core/protocol/remote_session.h"

#include "core/config/records.h"
#include "core/monitor/monitor_blocks.h"
#include "core/protocol/device_session.h"
#include "core/protocol/progress.h"

namespace rv {

namespace {

// The unit type given to every unit reached through the network.
constexpr uint8_t kRemoteDeviceType = 4;
// DeviceBlock offset of the firmware version that other parts compare with.
constexpr qsizetype kFirmwareAt = 32;

QByteArray monitorRequest(uint8_t block)
{
    return remote::command(remote::id::kReadMonitor, QByteArray(1, static_cast<char>(block)));
}

} // namespace

RemoteSession::RemoteSession(ConfigRecords& records, MonitorBlocks& monitor, QObject* parent)
    : RemoteSession(records, monitor, nullptr, parent)
{
}

RemoteSession::RemoteSession(SessionController& serial, QObject* parent)
    : RemoteSession(serial.records(), serial.monitor(), &serial.progress(), parent)
{
    m_serial = &serial;
    serial.attachNetwork(this);
}

RemoteSession::RemoteSession(ConfigRecords& records, MonitorBlocks& monitor, ProgressWatchdog* shared, QObject* parent)
    : UnitSession(parent),
      m_records(records),
      m_monitor(monitor),
      m_ownProgress(shared ? nullptr : std::make_unique<ProgressWatchdog>()),
      m_progress(shared ? shared : m_ownProgress.get()),
      m_poll(std::chrono::milliseconds(remote_timing::kPollTickMs),
             {[this] { return pollTicksDue(); }, [this](int n) { passPollTicks(n); }, [this] { pollTick(); }})
{
    // The watchdog has ended an operation (and says so itself).
    connect(m_progress, &ProgressWatchdog::expired, this, [this] {
        if (m_operation)
            end({*m_operation, Result::NoAnswer}, false);
    });

    connect(&m_units, &NetworkUnits::logLine, this, &RemoteSession::logLine);
    connect(&m_units, &NetworkUnits::unitsChanged, this, &RemoteSession::unitsChanged);
    connect(&m_units, &NetworkUnits::frameSent, this, [this](ConnectionId, const QByteArray& f) { emit frameSent(f); });
    connect(&m_units, &NetworkUnits::unitGreeted, this, [this](ConnectionId id, const remote::GreetingInfo& g) {
        // The first unit is attached as it greets, as with a single unit; later ones wait to be picked.
        if (m_selected == 0 || m_selected == id)
            attach(id, g);
        else
            emit logLine(QStringLiteral("Устройство %1 ожидает выбора в списке").arg(g.unitId));
    });
    connect(&m_units, &NetworkUnits::unitGone, this, &RemoteSession::unitGone);
    connect(&m_units, &NetworkUnits::replyReceived, this, [this](ConnectionId id, const QByteArray& body) {
        if (id == m_selected)
            reply(body);
    });
    connect(&m_units, &NetworkUnits::inputFault, this, &RemoteSession::inputFault);
}

RemoteSession::~RemoteSession()
{
    if (m_serial)
        m_serial->attachNetwork(nullptr);
}

void RemoteSession::setSender(std::function<void(const QByteArray&)> send)
{
    m_units.setSender([send = std::move(send)](ConnectionId, const QByteArray& frame) {
        if (send)
            send(frame);
    });
}

// ---- the server ----------------------------------------------------------------------------------

void RemoteSession::setServerSettings(const ServerSettings& settings)
{
    m_units.setAllowList(settings.allow);
    m_units.setAllowedNets(settings.nets);
    m_units.setMaxPerAddress(settings.maxPerAddress);
    m_units.setTimeouts(settings.timeouts);
}

bool RemoteSession::loadServerSettings(const QString& iniPath)
{
    QString why;
    const std::optional<ServerSettings> settings = readServerSettings(iniPath, &why);
    if (!settings) {
        tell(Notice::ServerSettingsBad, 0, why);
        return false;
    }
    setServerSettings(*settings);
    return true;
}

bool RemoteSession::startServer(const QString& portText, const QHostAddress& address)
{
    bool ok = false;
    const uint value = portText.toUInt(&ok);
    if (!ok) {
        tell(Notice::ServerPortMissing);
        return false;
    }
    const auto port = static_cast<quint16>(std::min<uint>(value, 65535));
    if (!m_units.start(port, address)) {
        emit serverStateChanged(ServerState::Stopped, false);
        tell(Notice::ServerStartFailed, 0, m_units.errorString());
        return false;
    }
    m_monitoring = true;
    m_callerFaultShown = false;
    emit logLine(QStringLiteral("Сервер запущен, порт %1").arg(m_units.server().port()));
    if (m_units.allowList().isEmpty())
        emit logLine(QStringLiteral("Подключиться может любое устройство"));
    else
        emit logLine(QStringLiteral("Разрешённых IMEI: %1").arg(m_units.allowList().size()));
    if (!m_units.allowedNets().isEmpty())
        emit logLine(QStringLiteral("Разрешённые сети: %1").arg(m_units.allowedNets().text()));
    emit serverStateChanged(ServerState::Waiting, true);
    return true;
}

void RemoteSession::stopServer()
{
    detach();
    m_selected = 0;
    m_units.stop();
    emit serverStateChanged(ServerState::Stopped, false);
    emit toolButtonsEnabled(false);
    emit unitsChanged();
}

void RemoteSession::serialChosen()
{
    if (m_units.isListening() || m_attached)
        stopServer();
    emit windowReleased();
}

bool RemoteSession::select(ConnectionId id)
{
    const ConnectedUnit* u = m_units.units().find(id);
    if (!u || !u->greeted || m_operation)
        return false;
    if (id == m_selected)
        return true;
    remote::GreetingInfo g;
    g.unitId = u->unitId;
    g.imei = u->imei;
    g.firmware = u->firmware;
    attach(id, g);
    emit logLine(QStringLiteral("Выбрано устройство %1, IMEI %2").arg(g.unitId).arg(g.imei));
    return true;
}

void RemoteSession::unitGone(ConnectionId id)
{
    if (id != m_selected)
        return;
    // ServerClientDisconnect of the unit worked with: it is let go and the user told; the server listens on.
    detach();
    m_selected = 0;
    emit toolButtonsEnabled(false);
    emit logLine(QStringLiteral("Соединение закрыто"));
    emit serverStateChanged(m_units.isListening() ? ServerState::Waiting : ServerState::Stopped, m_units.isListening());
    emit unitsChanged();
    tell(Notice::ConnectionClosed);
}

void RemoteSession::detach()
{
    // Nothing more can answer an operation that runs.
    if (m_operation)
        end({*m_operation, Result::Disconnected});
    m_attached = false;
    m_poll.stop();
}

// ---- frames in -----------------------------------------------------------------------------------

ConnectionId RemoteSession::inputConnection() const
{
    // Tests feed bytes with no socket: they come as from one connection of their own.
    constexpr ConnectionId kDirect = 0xFFFF'FFFF;
    return m_selected != 0 ? m_selected : kDirect;
}

void RemoteSession::receive(QByteArrayView bytes)
{
    m_units.receive(inputConnection(), bytes);
}

void RemoteSession::New_protocol(QByteArrayView frame)
{
    m_units.handleFrame(inputConnection(), frame);
}

void RemoteSession::expireInput()
{
    m_units.sweep();
}

void RemoteSession::attach(ConnectionId id, const remote::GreetingInfo& g)
{
    m_selected = id;
    m_callerFaultShown = false;
    m_greeting = g;
    emit serverStateChanged(ServerState::Connected, true);

    // The firmware version other parts compare with lives in DeviceBlock.
    QByteArray device = m_monitor.device.bytes();
    device[kFirmwareAt] = static_cast<char>(g.firmware);
    m_monitor.device.fillFrom(device);

    m_attached = true;
    if (m_pollTimer && !m_poll.isActive())
        m_poll.start(); // the monitor poll starts counting now
    emit toolButtonsEnabled(true);
    emit greeted(g);
    emit unitsChanged();
    emit deviceConnected(kRemoteDeviceType, 0); // type adaptation, Monitor page
}

void RemoteSession::inputFault(ConnectionId id, InputFault fault)
{
    // A read ends on damaged input from its unit, as on the serial line: the record it waits for may be
    // what was damaged. A write goes on: its acknowledgement may still come.
    if (id == m_selected && reading()) {
        end({*m_operation, fault == InputFault::Integrity ? Result::Damaged : Result::Malformed});
        return;
    }
    // A message for the unit the user works with. Before any unit is attached, the first caller's bad
    // input is said once (a unit with a broken line shows up), but a crowd of garbage callers only fills
    // the log, never the screen with message boxes.
    if (id == m_selected || (m_selected == 0 && !m_callerFaultShown)) {
        m_callerFaultShown = m_callerFaultShown || id != m_selected;
        tell(fault == InputFault::Integrity ? Notice::IntegrityError : Notice::DataError);
    }
}

void RemoteSession::reply(QByteArrayView body)
{
    const std::optional<remote::ReplyInfo> r = remote::parseReply(body);
    if (!r) {
        // A length that the frame cannot hold: nothing of it is taken. A read waiting for it ends.
        if (reading())
            end({*m_operation, Result::Malformed});
        else
            m_units.fault(m_selected, InputFault::Data);
        return;
    }
    m_units.faultCleared(m_selected);
    // The unit's reports end whatever runs, and are said even when nothing does.
    const Operation running = m_operation.value_or(Operation::Read);
    switch (r->identifier) {
    case remote::id::kReadRecord:
    case remote::id::kWriteRecord:
        if (m_transfer && m_transfer->running() && m_operation != Operation::EraseTrack)
            applyStep(m_transfer->remoteReply(*r));
        break;
    case remote::id::kReadMonitor:
        monitorReply(r->sub, r->payload);
        break;
    case remote::id::kUnknownCommand:
        if (r->sub == remote::id::kReadMonitor) {
            tell(Notice::NoRemoteMonitoring);
            m_monitoring = false;
        } else {
            end({running, Result::UnknownCommand, RecordKind::Config, 0, r->sub});
        }
        break;
    case remote::id::kDamagedCommand:
        end({running, Result::DamagedCommand, RecordKind::Config, 0, r->sub});
        break;
    case remote::id::kCommandDone:
        end({running, Result::CommandDone, RecordKind::Config, 0, r->sub});
        break;
    default:
        break;
    }
}

void RemoteSession::monitorReply(uint8_t block, QByteArrayView payload)
{
    if (block == remote::kMonitorGps) {
        m_monitor.gps.fillFrom(payload);
        emit gpsReceived();
    } else if (block == remote::kMonitorDevice) {
        m_monitor.device.fillFrom(payload);
        emit deviceReceived();
    }
}

// ---- operations ----------------------------------------------------------------------------------

void RemoteSession::send(const QByteArray& frame)
{
    m_units.send(m_selected, frame);
}

bool RemoteSession::readCopy(ConfigRecords& into)
{
    if (!m_attached || m_operation)
        return false;
    startCycle(Operation::Compare, RecordTransfer::Kind::Read, into);
    return true;
}

void RemoteSession::read()
{
    startCycle(Operation::Read, RecordTransfer::Kind::Read, m_records);
}

void RemoteSession::write()
{
    startCycle(Operation::Write, RecordTransfer::Kind::Write, m_records);
}

void RemoteSession::startCycle(Operation operation, RecordTransfer::Kind kind, ConfigRecords& records)
{
    // A comparison that another operation replaces has not ended whole.
    if (std::exchange(m_operation, operation) == Operation::Compare)
        emit copyReadFinished(false);
    m_transfer.emplace(kind, records);
    const RecordKind first = *m_transfer->start().next;
    if (kind == RecordTransfer::Kind::Write)
        sendRecord(first);
    else
        send(m_transfer->remoteFrame(first));
    m_progress->Progress_show(remote_timing::kProgressTicks, 0, sessionWording().running(operation));
}

void RemoteSession::sendRecord(RecordKind kind)
{
    // Each record is gathered from its pages just before it goes, as on the serial line, so both
    // channels write what the pages show.
    emit gatherRequested(kind);
    send(m_transfer->remoteFrame(kind));
}

void RemoteSession::applyStep(const RecordTransfer::Step& step)
{
    if (step.cut)
        tell(Notice::NotAllRead);
    if (step.taken && m_operation == Operation::Read)
        emit recordReceived(step.record); // a comparison's read fills its copy and tells no page
    if (step.next) {
        if (m_transfer->kind() == RecordTransfer::Kind::Write)
            sendRecord(*step.next);
        else
            send(m_transfer->remoteFrame(*step.next));
        m_progress->Progress_refresh();
        return;
    }
    if (step.end)
        end(RecordTransfer::outcome(*m_operation, step));
}

void RemoteSession::end(Outcome o, bool close)
{
    const std::optional<Operation> running = std::exchange(m_operation, std::nullopt);
    m_eraseWait = 0;
    if (m_transfer && m_transfer->running())
        m_transfer->fail(o.result);
    if (o.operation == Operation::Write && o.ok())
        o.unit = UnitIdentity{m_greeting.unitId, m_greeting.imei};
    if (close)
        closeProgress(o);
    if (running == Operation::Compare)
        emit copyReadFinished(o.ok());
    else if (o.ok() && o.operation == Operation::Read)
        emit readCycleFinished();
    else if (o.ok() && o.operation == Operation::Write)
        emit writeCycleFinished();
    emit operationEnded(o);
}

void RemoteSession::reset()
{
    send(remote::command(remote::id::kReset));
}

void RemoteSession::eraseTrack()
{
    m_poll.catchUp();
    if (std::exchange(m_operation, Operation::EraseTrack) == Operation::Compare)
        emit copyReadFinished(false);
    m_transfer.reset();
    m_eraseWait = 0;
    send(remote::command(remote::id::kEraseTrack));
    m_poll.reschedule();
}

// ---- the poll ------------------------------------------------------------------------------------

void RemoteSession::pollTick()
{
    // An erase has no progress window to end it: without an answer the monitor would stay paused.
    if (m_operation == Operation::EraseTrack && ++m_eraseWait > remote_timing::kEraseWaitTicks)
        end({Operation::EraseTrack, Result::NoAnswer}, false);
    const uint32_t count = m_pollCounter;
    m_pollCounter = count >= remote_timing::kPollCycle ? 0 : count + 1;
    if (!m_monitoring || m_operation)
        return;
    if (count == remote_timing::kPollGpsAt)
        send(monitorRequest(remote::kMonitorGps));
    else if (count == remote_timing::kPollDeviceAt)
        send(monitorRequest(remote::kMonitorDevice));
}

int RemoteSession::pollTicksDue() const
{
    // The poll sleeps until the tick that sends (or would send) a request, or that ends an erase's wait.
    const uint32_t c = m_pollCounter;
    const auto ticksTo = [c](uint32_t at) {
        return static_cast<int>(at >= c ? at - c + 1 : remote_timing::kPollCycle - c + 1 + at + 1);
    };
    int due = std::min(ticksTo(remote_timing::kPollGpsAt), ticksTo(remote_timing::kPollDeviceAt));
    if (m_operation == Operation::EraseTrack)
        due = std::min(due, static_cast<int>(std::max<int64_t>(1, int64_t(remote_timing::kEraseWaitTicks) + 1 - m_eraseWait)));
    return due;
}

void RemoteSession::passPollTicks(int n)
{
    m_pollCounter = (m_pollCounter + static_cast<uint32_t>(n)) % (remote_timing::kPollCycle + 1);
    if (m_operation == Operation::EraseTrack)
        m_eraseWait += static_cast<uint32_t>(n);
}

QList<LabelUpdate> greetingLabels(const remote::GreetingInfo& g)
{
    return {
        {QStringLiteral("LNumber"), QStringLiteral("ID устройства: %1").arg(g.unitId), LabelColor::Unchanged, {}},
        {QStringLiteral("LIMEI"), g.imei, LabelColor::Unchanged, {}},
        {QStringLiteral("LVer"), QStringLiteral("Прошивка: %1").arg(g.firmware), LabelColor::Unchanged, {}},
    };
}

} // namespace rv
