#pragma once

// The units connected to the program's TCP server: who each connection is (once it has greeted), since
// when, and when it last sent anything. The time limits of callers are judged here: a caller must greet
// in time, and a greeted unit that stays silent too long is let go.

#include "core/link/tcp_server.h"

#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>

#include <cstdint>
#include <optional>

namespace rv {

// Callers from one address that may wait for their greeting at once: a unit that has greeted no longer
// counts, so a fleet behind one NAT address is not cut short, while a flood from one address is.
inline constexpr int kDefaultMaxPerAddress = 20;

struct CallerTimeouts {
    qint64 greetMs = 10'000;    // from connecting to the greeting
    qint64 silenceMs = 120'000; // a greeted unit with nothing received for longer is dropped
};

struct ConnectedUnit {
    ConnectionId id = 0;
    QString peer;
    QString host;          // the address alone (empty when unknown)
    QDateTime since;       // wall clock, for people
    qint64 connectedMs = 0; // the monotonic clock, for the limits
    qint64 lastActivityMs = 0;
    QDateTime lastActivity;
    bool greeted = false;
    uint16_t unitId = 0;
    QString imei;
    uint8_t firmware = 0;
};

class ConnectedUnits {
public:
    void add(ConnectionId id, const QString& peer, qint64 nowMs, const QString& host = {});
    void remove(ConnectionId id);
    void clear() { m_units.clear(); }
    // Bytes arrived from the connection.
    void touch(ConnectionId id, qint64 nowMs);
    void greet(ConnectionId id, uint16_t unitId, const QString& imei, uint8_t firmware);

    const ConnectedUnit* find(ConnectionId id) const;
    // Another greeted connection of the same IMEI (a unit that redialled before its old link was noticed dead).
    std::optional<ConnectionId> otherWithImei(const QString& imei, ConnectionId except) const;
    // In the order they connected.
    QList<ConnectedUnit> list() const { return m_units.values(); }
    int size() const { return static_cast<int>(m_units.size()); }
    int greetedCount() const;
    // Callers from `host` that have not greeted.
    int waitingFrom(const QString& host) const;
    // The caller that has waited longest without greeting.
    std::optional<ConnectionId> oldestWaiting() const;

    struct Overdue {
        ConnectionId id;
        bool greeted; // false: never greeted in time; true: silent for too long
    };
    QList<Overdue> overdue(qint64 nowMs, const CallerTimeouts& limits) const;

private:
    QMap<ConnectionId, ConnectedUnit> m_units;
};

} // namespace rv
