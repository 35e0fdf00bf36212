#pragma once

// Fleet jobs driven frame by frame, without sockets: the unit's frames and a fleet on a job folder of its own.

#include "core/config/fcg_file.h"
#include "core/fleet/fleet_server.h"
#include "core/base/bytes.h"
#include "core/base/checksum.h"

#include <QFile>
#include <QJsonObject>
#include <QTemporaryDir>

#include <memory>

namespace rv::fleettest {

inline QByteArray greeting(const QByteArray& imei)
{
    QByteArray body = le::bytes16(1234) + imei + QByteArray(1, 28);
    QByteArray f = le::bytes16(static_cast<uint16_t>(body.size())) + body;
    return f + le::bytes16(crc16Modbus(f));
}

inline QByteArray writeReply(uint8_t record)
{
    QByteArray f = le::bytes16(static_cast<uint16_t>(2 | (remote::Reply << 14))) + char(remote::id::kWriteRecord) + char(record);
    return f + le::bytes16(crc16Modbus(f));
}

inline QByteArray readReply(uint8_t record, const QByteArray& payload)
{
    const QByteArray body = QByteArray(1, char(remote::id::kReadRecord)) + char(record)
                            + le::bytes16(static_cast<uint16_t>(payload.size())) + payload;
    QByteArray f = le::bytes16(static_cast<uint16_t>(body.size() | (remote::Reply << 14))) + body;
    return f + le::bytes16(crc16Modbus(f));
}

inline QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

inline ConfigRecords withId(int id)
{
    ConfigRecords r;
    r.config.setNumber(u"ID_Device", id);
    return r;
}

// A fleet on a job folder of its own, frames going to a list instead of sockets.
struct Fleet {
    QTemporaryDir dir;
    JobQueue queue{dir.path()};
    NetworkUnits units;
    QList<QPair<ConnectionId, QByteArray>> sent;
    std::unique_ptr<FleetServer> fleet;
    QList<QJsonObject> events;

    Fleet()
    {
        queue.prepare(nullptr);
        units.setSender([this](ConnectionId id, const QByteArray& f) { sent.append({id, f}); });
        fleet = std::make_unique<FleetServer>(units, queue, FleetOptions{});
        QObject::connect(fleet.get(), &FleetServer::event, [this](const QJsonObject& e) {
            if (e.value(QStringLiteral("event")).toString() != QStringLiteral("log"))
                events << e;
        });
    }
    QString path(const QString& name) const { return dir.filePath(name); }
    QStringList kinds() const
    {
        QStringList k;
        for (const QJsonObject& e : events)
            k << e.value(QStringLiteral("event")).toString();
        return k;
    }
    // The three write replies of a write job.
    void writeReplies(ConnectionId id)
    {
        for (uint8_t r = 0; r < 3; ++r)
            units.receive(id, writeReply(r));
    }
    void readReplies(ConnectionId id, const ConfigRecords& unit)
    {
        units.receive(id, readReply(0, unit.config.bytes()));
        units.receive(id, readReply(1, unit.inpOut.bytes()));
        units.receive(id, readReply(2, unit.confSe.bytes()));
    }
};

} // namespace rv::fleettest
