#include "core/protocol/remote_session.h"

#include "core/config/records.h"
#include "core/monitor/monitor_blocks.h"
#include "core/protocol/device_session.h"


namespace rv {

namespace {

const QString kStopped = QStringLiteral("Сервер остановлен");
const QString kWaiting = QStringLiteral("Ожидается соединение...");
const QString kConnected = QStringLiteral("Соединение установлено");
const QString kDataError = QString::fromUtf16(kDataErrorText);
const QString kOverlong = QStringLiteral("Не все данные считаны\rобновите конфигуратор");

// The unit type given to every unit reached through the network.
constexpr uint8_t kRemoteDeviceType = 4;
// DeviceBlock offset of the firmware version that other parts compare with.
constexpr qsizetype kFirmwareAt = 32;

RecordKind kindOf(uint8_t record)
{
    switch (record) {
    case remote::kRecordInpOut: return RecordKind::InpOut;
    case remote::kRecordConfSe: return RecordKind::ConfSe;
    default: return RecordKind::Config;
    }
}

} // namespace

RemoteSession::RemoteSession(SessionController& session, QObject* parent) : QObject(parent), m_session(session)
{
    m_session.setRemote(this);
    m_session.setPeriodicHook(PeriodicHook::RemotePoll, [this] { pollTick(); });
    // The watchdog has ended an operation (and cleared the remote-operation flag): so is the cycle.
    connect(&m_session.progress(), &ProgressWatchdog::expired, this, [this] {
        m_cycle = Cycle::None;
        if (std::exchange(m_copy, nullptr))
            emit m_session.copyReadFinished(false);
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
    connect(&m_units, &NetworkUnits::inputFault, this, [this](ConnectionId id, const QString& text) {
        // A message for the unit the user works with. Before any unit is attached, the first caller's bad
        // input is said once (a unit with a broken line shows up), but a crowd of garbage callers only
        // fills the log, never the screen with message boxes.
        if (id == m_selected || (m_selected == 0 && !m_callerFaultShown)) {
            m_callerFaultShown = m_callerFaultShown || id != m_selected;
            emit m_session.message(text);
        }
    });
}

RemoteSession::~RemoteSession()
{
    m_session.setRemote(nullptr);
    m_session.setPeriodicHook(PeriodicHook::RemotePoll, {});
}

DeviceSession& RemoteSession::s()
{
    return m_session.session();
}

bool RemoteSession::unitAttached() const
{
    return m_session.session().remoteMode;
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
        emit m_session.message(QStringLiteral("Сервер не запущен: %1").arg(why));
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
        emit m_session.message(QStringLiteral("Введите порт сервера !"));
        return false;
    }
    const auto port = static_cast<quint16>(std::min<uint>(value, 65535));
    if (!m_units.start(port, address)) {
        emit serverStateChanged(kStopped, false);
        emit m_session.message(QStringLiteral("Не удалось запустить сервер: %1").arg(m_units.errorString()));
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
    emit serverStateChanged(kWaiting, true);
    return true;
}

void RemoteSession::stopServer()
{
    const bool busy = m_cycle != Cycle::None;
    s().remoteMode = false;
    endCycle();
    if (busy)
        m_session.progress().Progress_close(); // nothing more can answer it
    m_selected = 0;
    m_units.stop();
    emit serverStateChanged(kStopped, false);
    emit toolButtonsEnabled(false);
    emit unitsChanged();
}

void RemoteSession::serialChosen()
{
    if (m_units.isListening() || s().remoteMode)
        stopServer();
    emit windowReleased();
}

bool RemoteSession::select(ConnectionId id)
{
    const ConnectedUnit* u = m_units.units().find(id);
    if (!u || !u->greeted || m_cycle != Cycle::None)
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
    const bool busy = m_cycle != Cycle::None;
    s().remoteMode = false;
    endCycle();
    if (busy)
        m_session.progress().Progress_close();
    m_selected = 0;
    emit toolButtonsEnabled(false);
    emit logLine(QStringLiteral("Соединение закрыто"));
    emit serverStateChanged(m_units.isListening() ? kWaiting : kStopped, m_units.isListening());
    emit unitsChanged();
    emit m_session.message(QStringLiteral("Соединение закрыто"));
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
    emit serverStateChanged(kConnected, true);

    // The firmware version other parts compare with lives in DeviceBlock.
    QByteArray device = m_session.monitor().device.bytes();
    device[kFirmwareAt] = static_cast<char>(g.firmware);
    m_session.monitor().device.fillFrom(device);

    s().remoteMode = true;
    m_session.dutiesChanged(); // the remote monitor poll starts counting now
    emit toolButtonsEnabled(true);
    s().DeviceType = kRemoteDeviceType;
    emit greeted(g);
    emit unitsChanged();
    emit m_session.deviceConnected(kRemoteDeviceType, s().DeviceOptions); // type adaptation, Monitor page
}

void RemoteSession::reply(QByteArrayView body)
{
    const std::optional<remote::ReplyInfo> r = remote::parseReply(body);
    if (!r) {
        // A length that the frame cannot hold: nothing of it is taken. A read waiting for it ends.
        if (m_cycle == Cycle::Reading) {
            endCycle();
            m_session.progress().Progress_close(kDataError);
        } else {
            m_units.fault(m_selected, kDataError);
        }
        return;
    }
    m_units.faultCleared(m_selected);
    switch (r->identifier) {
    case remote::id::kReadRecord:
        recordReply(r->sub, r->payload);
        break;
    case remote::id::kWriteRecord:
        writeReply(r->sub);
        break;
    case remote::id::kReadMonitor:
        monitorReply(r->sub, r->payload);
        break;
    case remote::id::kUnknownCommand:
        if (r->sub == remote::id::kReadMonitor) {
            emit m_session.message(QStringLiteral("Версия прошивки в приборе не поддерживает\r\n"
                                                  "удаленное чтение мониторинговой информации!"));
            m_monitoring = false;
        } else {
            endCycle();
            m_session.progress().Progress_close(QStringLiteral("Идентификатор %1 не известен").arg(r->sub));
        }
        break;
    case remote::id::kDamagedCommand:
        endCycle();
        m_session.progress().Progress_close(QStringLiteral("Ошибка целостности данных %1").arg(r->sub));
        break;
    case remote::id::kCommandDone:
        endCycle();
        m_session.progress().Progress_close(QStringLiteral("Команда %1 выполнена").arg(r->sub));
        break;
    default:
        break;
    }
}

void RemoteSession::recordReply(uint8_t record, QByteArrayView payload)
{
    // Only the record the running read asked for moves it on; anything else changes nothing.
    if (m_cycle != Cycle::Reading || record != m_expected)
        return;
    const RecordKind kind = kindOf(record);
    const qsizetype size = recordSize(kind);
    if (payload.size() < size) {
        // A shorter record would leave the record half replaced: refuse it whole.
        endCycle();
        m_session.progress().Progress_close(kDataError);
        return;
    }
    if (payload.size() > size)
        emit m_session.message(kOverlong);
    // A comparison's read fills its copy and tells no page.
    ConfigRecords& records = m_copy ? *m_copy : m_session.records();
    const QByteArrayView bytes = payload.first(size);
    switch (kind) {
    case RecordKind::Config: records.config.fillFrom(bytes); break;
    case RecordKind::InpOut: records.inpOut.fillFrom(bytes); break;
    case RecordKind::ConfSe: records.confSe.fillFrom(bytes); break;
    }
    if (!m_copy)
        emit m_session.recordReceived(kind);
    if (kind != RecordKind::ConfSe) {
        m_expected = record + 1;
        send(remote::command(remote::id::kReadRecord, QByteArray(1, static_cast<char>(m_expected))));
        m_session.progress().Progress_refresh();
        return;
    }
    if (std::exchange(m_copy, nullptr)) {
        endCycle();
        m_session.progress().Progress_close();
        emit m_session.copyReadFinished(true);
        return;
    }
    endCycle();
    m_session.progress().Progress_close(QStringLiteral("Конфигурация считана"));
    emit m_session.readCycleFinished();
    emit m_session.statusText(0, QStringLiteral("Считано с устройства"));
}

void RemoteSession::writeReply(uint8_t sub)
{
    if (m_cycle != Cycle::Writing)
        return;
    if (sub == remote::kWriteTooShort) {
        endCycle();
        m_session.progress().Progress_close(QStringLiteral("Мало данных"));
        return;
    }
    if (sub != m_expected)
        return; // not the record just sent
    if (sub == remote::kRecordConfSe) {
        endCycle();
        // Which unit now holds the configuration: with several connected, the user must be able to tell.
        m_session.progress().Progress_close(remoteWriteDoneText(m_greeting));
        emit m_session.writeCycleFinished();
        return;
    }
    sendRecord(sub + 1);
    m_session.progress().Progress_refresh();
}

void RemoteSession::monitorReply(uint8_t block, QByteArrayView payload)
{
    MonitorBlocks& m = m_session.monitor();
    if (block == remote::kMonitorGps) {
        m.gps.fillFrom(payload);
        emit m_session.gpsReceived();
    } else if (block == remote::kMonitorDevice) {
        m.device.fillFrom(payload);
        emit m_session.deviceReceived();
    }
}

// ---- operations ----------------------------------------------------------------------------------

void RemoteSession::send(const QByteArray& frame)
{
    m_units.send(m_selected, frame);
}

void RemoteSession::endCycle()
{
    if (std::exchange(m_copy, nullptr))
        emit m_session.copyReadFinished(false); // a comparison's read that did not end whole
    m_cycle = Cycle::None;
    m_eraseWait = 0;
    s().remoteOperation = false;
}

bool RemoteSession::readCopy(ConfigRecords& into)
{
    if (!unitAttached() || m_cycle != Cycle::None || s().remoteOperation)
        return false;
    read();
    m_copy = &into;
    return true;
}

void RemoteSession::read()
{
    if (std::exchange(m_copy, nullptr))
        emit m_session.copyReadFinished(false);
    s().autoReadPending = false;
    m_cycle = Cycle::Reading;
    m_expected = remote::kRecordConfig;
    s().remoteOperation = true;
    send(remote::command(remote::id::kReadRecord, QByteArray(1, static_cast<char>(remote::kRecordConfig))));
    m_session.progress().Progress_show(remote_timing::kProgressTicks, 0, QStringLiteral("Идет считывание конфигурации..."));
}

void RemoteSession::write()
{
    s().autoReadPending = false;
    m_cycle = Cycle::Writing;
    s().remoteOperation = true;
    sendRecord(remote::kRecordConfig);
    m_session.progress().Progress_show(remote_timing::kProgressTicks, 0, QStringLiteral("Идет запись конфигурации..."));
}

void RemoteSession::sendRecord(uint8_t record)
{
    // Each record is gathered from its pages just before it goes, as on the serial line, so both
    // channels write what the pages show.
    const RecordKind kind = kindOf(record);
    emit m_session.gatherRequested(kind);
    const ConfigRecords& r = m_session.records();
    const QByteArray& bytes = kind == RecordKind::Config   ? r.config.bytes()
                              : kind == RecordKind::InpOut ? r.inpOut.bytes()
                                                           : r.confSe.bytes();
    m_expected = record;
    send(remote::recordWrite(record, bytes));
}

void RemoteSession::reset()
{
    send(remote::command(remote::id::kReset));
}

void RemoteSession::eraseTrack()
{
    s().autoReadPending = false;
    m_cycle = Cycle::Erasing;
    m_eraseWait = 0;
    s().remoteOperation = true;
    send(remote::command(remote::id::kEraseTrack));
}

void RemoteSession::pollTick()
{
    DeviceSession& d = s();
    // An erase has no progress window to end it: without an answer the monitor would stay paused.
    if (m_cycle == Cycle::Erasing && ++m_eraseWait > remote_timing::kEraseWaitTicks)
        endCycle();
    const uint32_t count = d.remotePollCounter;
    d.remotePollCounter = count >= remote_timing::kPollCycle ? 0 : count + 1;
    if (!m_monitoring || d.remoteOperation)
        return;
    if (count == remote_timing::kPollGpsAt)
        send(remote::command(remote::id::kReadMonitor, QByteArray(1, static_cast<char>(remote::kMonitorGps))));
    else if (count == remote_timing::kPollDeviceAt)
        send(remote::command(remote::id::kReadMonitor, QByteArray(1, static_cast<char>(remote::kMonitorDevice))));
}

QString remoteWriteDoneText(const remote::GreetingInfo& g)
{
    return QStringLiteral("Конфигурация записана\nID устройства: %1, IMEI %2").arg(g.unitId).arg(g.imei);
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
