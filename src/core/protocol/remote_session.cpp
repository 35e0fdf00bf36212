#include "core/protocol/remote_session.h"

#include "core/config/records.h"
#include "core/monitor/monitor_blocks.h"
#include "core/protocol/device_session.h"

#include <QDeadlineTimer>

namespace rv {

namespace {

const QString kStopped = QStringLiteral("Сервер остановлен");
const QString kWaiting = QStringLiteral("Ожидается соединение...");
const QString kConnected = QStringLiteral("Соединение установлено");
const QString kDataError = QStringLiteral("Ошибка данных");
const QString kIntegrityError = QStringLiteral("Ошибка целостности данных");
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
    m_send = [this](const QByteArray& frame) { m_server.Send_gprs_data(frame); };
    m_clock = [] { return QDeadlineTimer::current().deadline(); };
    m_expiry.setSingleShot(true);
    connect(&m_expiry, &QTimer::timeout, this, &RemoteSession::expireInput);

    m_session.setRemote(this);
    m_session.setPeriodicHook(PeriodicHook::RemotePoll, [this] { pollTick(); });
    // The watchdog has ended an operation (and cleared the remote-operation flag): so is the cycle.
    connect(&m_session.progress(), &ProgressWatchdog::expired, this, [this] { m_cycle = Cycle::None; });

    connect(&m_server, &TcpServer::clientConnected, this, [this](const QString& peer) {
        m_reassembler.clear();
        m_faultReported = false;
        emit logLine(QStringLiteral("Подключение: %1").arg(peer));
    });
    connect(&m_server, &TcpServer::dataReceived, this, [this](const QByteArray& b) { receive(b); });
    connect(&m_server, &TcpServer::clientDisconnected, this, &RemoteSession::connectionClosed);
    connect(&m_server, &TcpServer::clientError, this, [this](int, const QString& text) {
        emit logLine(QStringLiteral("Ошибка соединения: %1").arg(text)); // absorbed: never a message box
    });
    connect(&m_server, &TcpServer::connectionRefused, this, [this](const QString& peer) {
        emit logLine(QStringLiteral("Отклонено подключение %1: устройство уже подключено").arg(peer));
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

qint64 RemoteSession::now() const
{
    return m_clock();
}

// ---- the server ----------------------------------------------------------------------------------

bool RemoteSession::startServer(const QString& portText, const QHostAddress& address)
{
    bool ok = false;
    const uint value = portText.toUInt(&ok);
    if (!ok) {
        emit m_session.message(QStringLiteral("Введите порт сервера !"));
        return false;
    }
    const auto port = static_cast<quint16>(std::min<uint>(value, 65535));
    m_reassembler.clear();
    if (!m_server.start(port, address)) {
        emit serverStateChanged(kStopped, false);
        emit m_session.message(QStringLiteral("Не удалось запустить сервер: %1").arg(m_server.errorString()));
        return false;
    }
    m_monitoring = true;
    emit logLine(QStringLiteral("Сервер запущен, порт %1").arg(m_server.port()));
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
    m_server.stop();
    m_reassembler.clear();
    m_expiry.stop();
    emit serverStateChanged(kStopped, false);
    emit toolButtonsEnabled(false);
}

void RemoteSession::serialChosen()
{
    if (m_server.isListening() || s().remoteMode)
        stopServer();
    emit windowReleased();
}

void RemoteSession::connectionClosed()
{
    // ServerClientDisconnect: the server stops as by the button, then the user is told.
    emit logLine(QStringLiteral("Соединение закрыто"));
    if (m_server.isListening())
        stopServer();
    emit m_session.message(QStringLiteral("Соединение закрыто"));
}

// ---- frames in -----------------------------------------------------------------------------------

void RemoteSession::receive(QByteArrayView bytes)
{
    const remote::FrameReassembler::Result r = m_reassembler.feed(bytes, now());
    if (r.expiredBytes > 0)
        report(kDataError);
    for (const QByteArray& frame : r.frames)
        New_protocol(frame);
    armExpiry();
}

void RemoteSession::armExpiry()
{
    if (m_reassembler.pending() == 0) {
        m_expiry.stop();
        return;
    }
    m_expiry.start(static_cast<int>(std::max<qint64>(1, m_reassembler.deadline() - now() + 1)));
}

void RemoteSession::expireInput()
{
    if (m_reassembler.expire(now()) > 0) {
        emit logLine(QStringLiteral("Неполный кадр отброшен"));
        report(kDataError);
    }
    armExpiry();
}

void RemoteSession::report(const QString& text)
{
    // A unit or line that sends garbage would otherwise raise a message for every piece of it.
    if (m_faultReported)
        return;
    m_faultReported = true;
    emit m_session.message(text);
}

void RemoteSession::New_protocol(QByteArrayView frame)
{
    const remote::Frame f = remote::checkFrame(frame);
    if (f.check == remote::Frame::Check::Short) {
        report(kDataError);
        return;
    }
    if (f.check == remote::Frame::Check::BadCrc) {
        report(kIntegrityError); // no acknowledgement
        return;
    }
    switch (f.type) {
    case remote::Greeting:
        greeting(f.body, frame);
        break;
    case remote::ToAcknowledge:
        m_faultReported = false;
        send(remote::acknowledgement(frame.first(remote::kHeaderSize + f.body.size() + remote::kCrcSize)));
        break;
    case remote::Reply:
        reply(f.body);
        break;
    default:
        m_faultReported = false; // ignored, but whole
        break;
    }
}

void RemoteSession::greeting(QByteArrayView body, QByteArrayView frame)
{
    const std::optional<remote::GreetingInfo> g = remote::parseGreeting(body);
    if (!g) {
        report(kDataError);
        return;
    }
    m_faultReported = false;
    m_greeting = *g;
    emit serverStateChanged(kConnected, true);
    emit logLine(QStringLiteral("Устройство %1, IMEI %2, прошивка %3").arg(g->unitId).arg(g->imei).arg(g->firmware));

    // The firmware version other parts compare with lives in DeviceBlock.
    QByteArray device = m_session.monitor().device.bytes();
    device[kFirmwareAt] = static_cast<char>(g->firmware);
    m_session.monitor().device.fillFrom(device);

    s().remoteMode = true;
    emit toolButtonsEnabled(true);
    s().DeviceType = kRemoteDeviceType;
    emit greeted(*g);
    emit m_session.deviceConnected(kRemoteDeviceType, s().DeviceOptions); // type adaptation, Monitor page
    send(remote::acknowledgement(frame.first(remote::kHeaderSize + body.size() + remote::kCrcSize)));
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
            report(kDataError);
        }
        return;
    }
    m_faultReported = false;
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
    ConfigRecords& records = m_session.records();
    const QByteArrayView bytes = payload.first(size);
    switch (kind) {
    case RecordKind::Config: records.config.fillFrom(bytes); break;
    case RecordKind::InpOut: records.inpOut.fillFrom(bytes); break;
    case RecordKind::ConfSe: records.confSe.fillFrom(bytes); break;
    }
    emit m_session.recordReceived(kind);
    if (kind != RecordKind::ConfSe) {
        m_expected = record + 1;
        send(remote::command(remote::id::kReadRecord, QByteArray(1, static_cast<char>(m_expected))));
        m_session.progress().Progress_refresh();
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
        m_session.progress().Progress_close(QStringLiteral("Конфигурация записана"));
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
    emit frameSent(frame);
    if (m_send)
        m_send(frame);
}

void RemoteSession::endCycle()
{
    m_cycle = Cycle::None;
    m_eraseWait = 0;
    s().remoteOperation = false;
}

void RemoteSession::read()
{
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

QList<LabelUpdate> greetingLabels(const remote::GreetingInfo& g)
{
    return {
        {QStringLiteral("LNumber"), QStringLiteral("ID устройства: %1").arg(g.unitId), LabelColor::Unchanged, {}},
        {QStringLiteral("LIMEI"), g.imei, LabelColor::Unchanged, {}},
        {QStringLiteral("LVer"), QStringLiteral("Прошивка: %1").arg(g.firmware), LabelColor::Unchanged, {}},
    };
}

} // namespace rv
