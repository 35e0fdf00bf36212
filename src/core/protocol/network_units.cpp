#include "core/protocol/network_units.h"

#include "core/link/imei.h"
#include "core/protocol/session_texts.h"

#include <QDeadlineTimer>

#include <algorithm>

namespace rv {

NetworkUnits::NetworkUnits(QObject* parent) : QObject(parent)
{
    m_send = [this](ConnectionId id, const QByteArray& frame) { m_server.Send_gprs_data(id, frame); };
    m_clock = [] { return QDeadlineTimer::current().deadline(); };
    m_sweep.setInterval(kSweepMs);
    connect(&m_sweep, &QTimer::timeout, this, &NetworkUnits::sweep);

    connect(&m_server, &TcpServer::clientConnected, this, &NetworkUnits::connected);
    connect(&m_server, &TcpServer::dataReceived, this,
            [this](ConnectionId id, const QByteArray& b) { receive(id, b); });
    connect(&m_server, &TcpServer::clientDisconnected, this, &NetworkUnits::disconnected);
    connect(&m_server, &TcpServer::clientError, this, [this](ConnectionId id, const QString& text) {
        emit logLine(QStringLiteral("%1: ошибка соединения: %2").arg(who(id), text)); // absorbed: never a message box
    });
    connect(&m_server, &TcpServer::connectionRefused, this, [this](const QString& peer, const QString& why) {
        emit logLine(QStringLiteral("Отклонено подключение %1: %2").arg(peer, why));
    });
    // Queued: it is raised from within a send, whose caller still uses the connection.
    connect(&m_server, &TcpServer::sendOverflow, this, [this](ConnectionId id) {
        drop(id, QStringLiteral("не принимает данные (больше %1 КиБ ждут отправки)").arg(TcpServer::kMaxUnsent / 1024));
    }, Qt::QueuedConnection);
    m_server.setMakeRoom([this] { return makeRoom(); });
    // One address may not hold more places waiting for a greeting than its share; a unit that has greeted
    // no longer counts, so units behind one NAT address are not cut short.
    m_server.setRefusal([this](const QString& host) {
        return m_units.waitingFrom(host) >= m_maxPerAddress
                   ? QStringLiteral("с этого адреса уже ждут приветствия %1 (предел)").arg(m_maxPerAddress)
                   : QString();
    });
}

bool NetworkUnits::makeRoom()
{
    // Every place is taken: a caller that has not greeted gives its place up first.
    const std::optional<ConnectionId> oldest = m_units.oldestWaiting();
    if (!oldest)
        return false;
    drop(*oldest, QStringLiteral("нет приветствия, а места заняты: место отдано новому вызову"));
    return true;
}

NetworkUnits::~NetworkUnits() = default;

bool NetworkUnits::start(quint16 port, const QHostAddress& address)
{
    stop();
    if (!m_server.start(port, address))
        return false;
    m_sweep.start();
    return true;
}

void NetworkUnits::stop()
{
    m_sweep.stop();
    m_server.stop();
    const bool had = m_units.size() > 0;
    m_units.clear();
    m_input.clear();
    m_takeovers.clear();
    if (had)
        emit unitsChanged();
}

QString NetworkUnits::who(ConnectionId id) const
{
    const ConnectedUnit* u = m_units.find(id);
    if (!u)
        return QStringLiteral("Соединение %1").arg(id);
    if (!u->greeted)
        return u->peer;
    return QStringLiteral("Устройство %1 (IMEI %2, %3)").arg(u->unitId).arg(u->imei, u->peer);
}

void NetworkUnits::connected(ConnectionId id, const QString& peer)
{
    const QString host = m_server.host(id);
    m_units.add(id, peer, now(), host);
    Input input;
    input.reassembler.findGreetingAnywhere(true);
    m_input.insert(id, input);
    emit logLine(QStringLiteral("Подключение: %1").arg(peer));
    emit unitsChanged();
}

void NetworkUnits::disconnected(ConnectionId id)
{
    const ConnectedUnit* u = m_units.find(id);
    if (!u)
        return;
    emit logLine(u->greeted ? QStringLiteral("%1: соединение закрыто устройством").arg(who(id))
                            : QStringLiteral("%1: соединение закрыто до приветствия").arg(who(id)));
    forget(id, true);
}

void NetworkUnits::drop(ConnectionId id, const QString& reason)
{
    if (!m_units.find(id))
        return;
    emit logLine(QStringLiteral("%1: %2, соединение закрыто").arg(who(id), reason));
    m_server.closeConnection(id);
    forget(id, true);
}

void NetworkUnits::forget(ConnectionId id, bool tellGone)
{
    const ConnectedUnit* u = m_units.find(id);
    const bool greeted = u && u->greeted;
    m_units.remove(id);
    m_input.remove(id);
    emit unitsChanged();
    if (greeted && tellGone)
        emit unitGone(id);
}

void NetworkUnits::send(ConnectionId id, const QByteArray& frame)
{
    emit frameSent(id, frame);
    if (m_send)
        m_send(id, frame);
}

qsizetype NetworkUnits::pendingInput() const
{
    qsizetype n = 0;
    for (const Input& in : m_input)
        n += in.reassembler.pending();
    return n;
}

void NetworkUnits::fault(ConnectionId id, InputFault kind)
{
    auto it = m_input.find(id);
    if (it == m_input.end() || it->faultReported)
        return; // a caller that sends garbage would otherwise raise a report for every piece of it
    it->faultReported = true;
    const Notice said = kind == InputFault::Integrity ? Notice::IntegrityError : Notice::DataError;
    emit logLine(QStringLiteral("%1: %2").arg(who(id), sessionWording().notice({said})));
    emit inputFault(id, kind);
}

void NetworkUnits::faultCleared(ConnectionId id)
{
    if (auto it = m_input.find(id); it != m_input.end())
        it->faultReported = false;
}

void NetworkUnits::receive(ConnectionId id, QByteArrayView bytes)
{
    if (!m_units.find(id))
        connected(id, QStringLiteral("—"));
    if (bytes.isEmpty())
        return;
    m_units.touch(id, now());
    const remote::FrameReassembler::Result r = m_input[id].reassembler.feed(bytes, now());
    // What a modem says before the unit's greeting ("\r\nCONNECT\r\n") is no fault of the unit's.
    const bool greetingAfterNoise = !m_units.find(id)->greeted
        && std::any_of(r.frames.cbegin(), r.frames.cend(), [](const QByteArray& f) {
               return remote::checkFrame(f).type == remote::Greeting;
           });
    if (!greetingAfterNoise && r.badCrc)
        fault(id, InputFault::Integrity);
    else if (!greetingAfterNoise && (r.expiredBytes > 0 || r.skippedBytes > 0))
        fault(id, InputFault::Data);
    for (const QByteArray& f : r.frames) {
        if (!m_units.find(id))
            return; // a handler closed it
        handleFrame(id, f);
    }
}

void NetworkUnits::handleFrame(ConnectionId id, QByteArrayView bytes)
{
    if (!m_units.find(id))
        connected(id, QStringLiteral("—"));
    const remote::Frame f = remote::checkFrame(bytes);
    if (f.check != remote::Frame::Check::Ok) {
        fault(id, f.check == remote::Frame::Check::Short ? InputFault::Data : InputFault::Integrity);
        return;
    }
    const QByteArrayView whole = bytes.first(remote::kHeaderSize + f.body.size() + remote::kCrcSize);
    switch (f.type) {
    case remote::Greeting:
        greeting(id, f.body, whole);
        break;
    case remote::ToAcknowledge: {
        faultCleared(id);
        // Only a greeted unit is acknowledged: a stranger's frames cost the program nothing to send.
        const ConnectedUnit* u = m_units.find(id);
        if (u && u->greeted)
            send(id, remote::acknowledgement(whole));
        break;
    }
    case remote::Reply: {
        const ConnectedUnit* u = m_units.find(id);
        if (u && u->greeted)
            emit replyReceived(id, f.body.toByteArray()); // a caller that has not greeted is asked nothing
        break;
    }
    default:
        faultCleared(id); // ignored, but whole
        break;
    }
}

void NetworkUnits::greeting(ConnectionId id, QByteArrayView body, QByteArrayView frame)
{
    const std::optional<remote::GreetingInfo> g = remote::parseGreeting(body);
    // A greeting carries an IMEI: a frame of noise whose CRC happens to check must not become a unit, and a
    // unit the allow list and the jobs could not name is no unit either.
    if (!g || !isImei(g->imei)) {
        if (g)
            emit logLine(QStringLiteral("%1: в приветствии «%2» вместо IMEI из %3 цифр").arg(who(id), g->imei.left(20)).arg(kImeiDigits));
        fault(id, InputFault::Data);
        return;
    }
    faultCleared(id);
    const ConnectedUnit* self = m_units.find(id);
    if (self && self->greeted)
        return; // a connection greets once: a repeat is not acknowledged again
    const QString peer = self ? self->peer : QString();
    if (!m_allow.allows(g->imei)) {
        emit logLine(QStringLiteral("%1: IMEI %2 (ID %3) нет в списке разрешённых, соединение закрыто")
                         .arg(peer, g->imei).arg(g->unitId));
        m_server.closeConnection(id);
        forget(id, false);
        return;
    }
    // The same unit again on a new connection: its old link is dead even if nobody has noticed yet. But two
    // units with one IMEI would take it from each other for ever: after a few rounds the one that holds it
    // keeps it.
    if (const auto old = m_units.otherWithImei(g->imei, id)) {
        Takeovers& t = m_takeovers[g->imei];
        if (now() - t.sinceMs > kTakeoverWindowMs)
            t = {0, now()};
        if (t.count >= kTakeoversAllowed) {
            t.sinceMs = now(); // settled while the conflict goes on
            const ConnectedUnit* holder = m_units.find(*old);
            emit logLine(QStringLiteral("IMEI %1 уже подключён с %2; подключение с %3 отклонено: похоже, у двух "
                                        "устройств один IMEI").arg(g->imei, holder ? holder->peer : QString(), peer));
            m_server.closeConnection(id);
            forget(id, false);
            return;
        }
        ++t.count;
        drop(*old, QStringLiteral("устройство подключилось заново"));
    }
    m_units.greet(id, g->unitId, g->imei, g->firmware);
    if (auto it = m_input.find(id); it != m_input.end())
        it->reassembler.findGreetingAnywhere(false); // from now on a frame may hold anything
    emit logLine(QStringLiteral("Устройство %1, IMEI %2, прошивка %3 (%4)").arg(g->unitId).arg(g->imei).arg(g->firmware).arg(peer));
    emit unitsChanged();
    send(id, remote::acknowledgement(frame));
    emit unitGreeted(id, *g);
}

void NetworkUnits::sweep()
{
    const qint64 t = now();
    for (const ConnectedUnits::Overdue& o : m_units.overdue(t, m_timeouts)) {
        if (o.greeted)
            drop(o.id, QStringLiteral("ничего не получено дольше %1 с").arg(m_timeouts.silenceMs / 1000.0));
        else
            drop(o.id, QStringLiteral("нет приветствия за %1 с").arg(m_timeouts.greetMs / 1000.0));
    }
    for (auto it = m_takeovers.begin(); it != m_takeovers.end();) {
        if (t - it->sinceMs > kTakeoverWindowMs)
            it = m_takeovers.erase(it);
        else
            ++it;
    }
    QList<ConnectionId> stale;
    for (auto it = m_input.begin(); it != m_input.end(); ++it) {
        if (it->reassembler.expire(t) > 0)
            stale.append(it.key());
    }
    for (ConnectionId id : stale) {
        emit logLine(QStringLiteral("%1: неполный кадр отброшен").arg(who(id)));
        fault(id, InputFault::Data);
    }
}

} // namespace rv
