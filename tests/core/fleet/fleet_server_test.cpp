// Fleet jobs driven frame by frame, without sockets: a short job file fails without a byte sent to the unit,
// a unit that hangs up mid-job keeps its job for its next call, and a unit without a job is closed when asked.

#include "core/config/fcg_file.h"
#include "core/fleet/fleet_server.h"
#include "core/protocol/bytes.h"
#include "core/protocol/checksum.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace rv;

namespace {

QByteArray greeting(const QByteArray& imei)
{
    QByteArray body = le::bytes16(1234) + imei + QByteArray(1, 28);
    QByteArray f = le::bytes16(static_cast<uint16_t>(body.size())) + body;
    return f + le::bytes16(crc16Modbus(f));
}

QByteArray writeReply(uint8_t record)
{
    QByteArray f = le::bytes16(static_cast<uint16_t>(2 | (remote::Reply << 14))) + char(remote::id::kWriteRecord) + char(record);
    return f + le::bytes16(crc16Modbus(f));
}

} // namespace

TEST(FleetServer, ShortFileFailsUnsent_HangUpKeepsTheJob_IdleUnitsClosedWhenAsked)
{
    QTemporaryDir dir;
    JobQueue queue(dir.path());
    ASSERT_TRUE(queue.prepare(nullptr));
    NetworkUnits units;
    QList<QPair<ConnectionId, QByteArray>> sent;
    units.setSender([&](ConnectionId id, const QByteArray& f) { sent.append({id, f}); });
    FleetServer fleet(units, queue, {true, 20000});
    QStringList events;
    QObject::connect(&fleet, &FleetServer::event, [&](const QJsonObject& e) {
        if (const QString kind = e.value(QStringLiteral("event")).toString(); kind != QStringLiteral("log"))
            events << kind; // the server's own log lines are not looked at here
    });

    // A file shorter than a configuration: failed at once, the reason logged, nothing but the acknowledgement sent.
    {
        QFile f(dir.filePath(QStringLiteral("861234567890123.fcg")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(100, 'x'));
    }
    units.receive(1, greeting("861234567890123"));
    ASSERT_EQ(sent.size(), 1);
    EXPECT_EQ(events, QStringList{QStringLiteral("job-failed")});
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("failed/861234567890123.fcg"))));
    QFile log(dir.filePath(QStringLiteral("failed/861234567890123.log")));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(log.readAll().contains("100"));

    // A whole file: the write starts; the unit hangs up after record 0, and the job stays for its next call.
    ASSERT_EQ(saveFcg(dir.filePath(QStringLiteral("861234567890124.fcg")), ConfigRecords{}), FcgStatus::Ok);
    events.clear();
    sent.clear();
    units.receive(2, greeting("861234567890124"));
    ASSERT_EQ(sent.size(), 2); // the acknowledgement, then record 0
    EXPECT_EQ(sent[1].second.size(), remote::kWriteFrameSize);
    units.receive(2, writeReply(0));
    EXPECT_EQ(sent.size(), 3);
    units.drop(2, QStringLiteral("тест"));
    EXPECT_EQ(events, (QStringList{QStringLiteral("job-started"), QStringLiteral("job-interrupted")}));
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("861234567890124.fcg"))));

    // A unit without a job, with --close-idle: logged and closed.
    units.receive(3, greeting("861234567890125"));
    EXPECT_EQ(events.last(), QStringLiteral("no-job"));
    EXPECT_EQ(units.units().find(3), nullptr);
}
