#include "core/link/connected_units.h"

namespace rv {

void ConnectedUnits::add(ConnectionId id, const QString& peer, qint64 nowMs, const QString& host)
{
    ConnectedUnit u;
    u.id = id;
    u.peer = peer;
    u.host = host;
    u.since = u.lastActivity = QDateTime::currentDateTime();
    u.connectedMs = u.lastActivityMs = nowMs;
    m_units.insert(id, u);
}

void ConnectedUnits::remove(ConnectionId id)
{
    m_units.remove(id);
}

void ConnectedUnits::touch(ConnectionId id, qint64 nowMs)
{
    if (auto it = m_units.find(id); it != m_units.end()) {
        it->lastActivityMs = nowMs;
        it->lastActivity = QDateTime::currentDateTime();
    }
}

void ConnectedUnits::greet(ConnectionId id, uint16_t unitId, const QString& imei, uint8_t firmware)
{
    if (auto it = m_units.find(id); it != m_units.end()) {
        it->greeted = true;
        it->unitId = unitId;
        it->imei = imei;
        it->firmware = firmware;
    }
}

const ConnectedUnit* ConnectedUnits::find(ConnectionId id) const
{
    const auto it = m_units.constFind(id);
    return it == m_units.cend() ? nullptr : &*it;
}

std::optional<ConnectionId> ConnectedUnits::otherWithImei(const QString& imei, ConnectionId except) const
{
    for (const ConnectedUnit& u : m_units) {
        if (u.greeted && u.id != except && u.imei == imei)
            return u.id;
    }
    return std::nullopt;
}

int ConnectedUnits::greetedCount() const
{
    int n = 0;
    for (const ConnectedUnit& u : m_units)
        n += u.greeted ? 1 : 0;
    return n;
}

int ConnectedUnits::waitingFrom(const QString& host) const
{
    int n = 0;
    for (const ConnectedUnit& u : m_units)
        n += !u.greeted && u.host == host ? 1 : 0;
    return n;
}

std::optional<ConnectionId> ConnectedUnits::oldestWaiting() const
{
    // Numbers grow with every connection: the map's order is the order they came in.
    for (const ConnectedUnit& u : m_units) {
        if (!u.greeted)
            return u.id;
    }
    return std::nullopt;
}

QList<ConnectedUnits::Overdue> ConnectedUnits::overdue(qint64 nowMs, const CallerTimeouts& limits) const
{
    QList<Overdue> out;
    for (const ConnectedUnit& u : m_units) {
        if (!u.greeted && nowMs - u.connectedMs > limits.greetMs)
            out.append({u.id, false});
        else if (u.greeted && nowMs - u.lastActivityMs > limits.silenceMs)
            out.append({u.id, true});
    }
    return out;
}

} // namespace rv
