// Fleet jobs driven frame by frame, without sockets: a short job file fails without a byte sent to the unit,
// a unit that hangs up mid-job keeps its job for its next call, and a unit without a job is closed when asked.

#include "core/config/fcg_file.h"
#include "core/fleet/fleet_server.h"
#include "core/protocol/bytes.h"
#include "core/protocol/checksum.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>
#include <sys/stat.h>

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

QByteArray readReply(uint8_t record, const QByteArray& payload)
{
    const QByteArray body = QByteArray(1, char(remote::id::kReadRecord)) + char(record)
                            + le::bytes16(static_cast<uint16_t>(payload.size())) + payload;
    QByteArray f = le::bytes16(static_cast<uint16_t>(body.size() | (remote::Reply << 14))) + body;
    return f + le::bytes16(crc16Modbus(f));
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

ConfigRecords withId(int id)
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

// The file sent is the file filed: a job file replaced while its write runs (a new file under the name), or
// rewritten in place, is left as the next job and runs on the same call; done/ gets only what was sent.
TEST(FleetServer, AJobFileReplacedWhileItRunsStaysAsTheNextJob)
{
    Fleet f;
    const QString job = f.path(QStringLiteral("861234567890123.fcg"));
    ASSERT_EQ(saveFcg(job, withId(1)), FcgStatus::Ok);
    f.units.receive(1, greeting("861234567890123"));
    ASSERT_EQ(f.sent.size(), 2); // the acknowledgement and record 0 of the first file
    EXPECT_EQ(f.sent[1].second.mid(remote::kWriteAreaAt, 512), withId(1).config.bytes());

    ASSERT_EQ(saveFcg(job, withId(2)), FcgStatus::Ok); // a new file under the same name
    f.writeReplies(1);
    ASSERT_EQ(f.kinds(), (QStringList{"job-started", "job-done", "job-started"}));
    EXPECT_TRUE(f.events[1].value(QStringLiteral("text")).toString().contains(QStringLiteral("заменён")));
    EXPECT_TRUE(QDir(f.path(QStringLiteral("done"))).isEmpty()); // the file sent is gone; the new one is not filed
    EXPECT_EQ(readAll(job), fcgBytes(withId(2)));
    EXPECT_EQ(f.sent.last().second.mid(remote::kWriteAreaAt, 512), withId(2).config.bytes()); // the new one goes out

    // Rewritten in place while it runs: the same file, other bytes.
    {
        QFile same(job);
        ASSERT_TRUE(same.open(QIODevice::ReadWrite));
        ASSERT_EQ(same.write(fcgBytes(withId(3))), kFcgSize);
    }
    f.writeReplies(1);
    ASSERT_EQ(f.kinds().size(), 5);
    EXPECT_EQ(f.kinds()[3], QStringLiteral("job-done"));
    EXPECT_TRUE(f.events[3].value(QStringLiteral("text")).toString().contains(QStringLiteral("заменён")));
    EXPECT_EQ(readAll(job), fcgBytes(withId(3)));
    EXPECT_EQ(f.sent.last().second.mid(remote::kWriteAreaAt, 512), withId(3).config.bytes());

    // Left alone while it runs, it is filed.
    f.writeReplies(1);
    ASSERT_EQ(f.kinds().size(), 7);
    EXPECT_EQ(f.kinds()[5], QStringLiteral("job-done"));
    EXPECT_FALSE(f.events[5].contains(QStringLiteral("text")));
    EXPECT_EQ(f.kinds()[6], QStringLiteral("no-job"));
    EXPECT_FALSE(QFile::exists(job));
    EXPECT_EQ(QDir(f.path(QStringLiteral("done"))).entryList(QDir::Files), QStringList{"861234567890123.fcg"});
    EXPECT_EQ(readAll(f.path(QStringLiteral("done/861234567890123.fcg"))), fcgBytes(withId(3)));
}

// Two reads of one unit in one second get two files; a name taken in advance, even by a link that points
// elsewhere, is never replaced nor written through.
TEST(FleetServer, ReadOutputsNeverCollideNorGoThroughAPlantedLink)
{
    Fleet f;
    const QDateTime when(QDate(2026, 1, 2), QTime(3, 4, 5));
    const QString victim = f.path(QStringLiteral("victim"));
    {
        QFile v(victim);
        ASSERT_TRUE(v.open(QIODevice::WriteOnly));
        v.write("keep");
    }
    ASSERT_TRUE(QFile::link(victim, f.path(QStringLiteral("861234567890123-20260102-030405.fcg"))));
    QString first, second;
    ASSERT_TRUE(f.queue.saveReadOutput(QStringLiteral("861234567890123"), when, "A", &first).ok());
    ASSERT_TRUE(f.queue.saveReadOutput(QStringLiteral("861234567890123"), when, "B", &second).ok());
    EXPECT_EQ(QFileInfo(first).fileName(), QStringLiteral("861234567890123-20260102-030405-2.fcg"));
    EXPECT_EQ(QFileInfo(second).fileName(), QStringLiteral("861234567890123-20260102-030405-3.fcg"));
    EXPECT_EQ(readAll(first), QByteArray("A"));
    EXPECT_EQ(readAll(second), QByteArray("B"));
    EXPECT_EQ(readAll(victim), QByteArray("keep"));

    // Through the fleet: two read jobs one after the other, at once; each output holds its unit's records.
    for (int id : {7, 8}) {
        QFile read(f.path(QStringLiteral("861234567890124.read")));
        ASSERT_TRUE(read.open(QIODevice::WriteOnly));
        read.close();
        const auto connection = static_cast<ConnectionId>(id);
        f.units.receive(connection, greeting("861234567890124"));
        f.readReplies(connection, withId(id));
    }
    EXPECT_EQ(f.kinds().count(QStringLiteral("job-done")), 2);
    const QStringList outputs = QDir(f.dir.path()).entryList({QStringLiteral("861234567890124-*.fcg")}, QDir::Files, QDir::Name);
    ASSERT_EQ(outputs.size(), 2);
    QSet<int> ids;
    for (const QString& name : outputs) {
        ConfigRecords r;
        ASSERT_TRUE(openFcg(f.path(name), r).ok());
        ids.insert(r.config.number(u"ID_Device").value);
    }
    EXPECT_EQ(ids, (QSet<int>{7, 8}));
}

// Files that cannot be jobs are said once, each for what it is, and again only when a new one appears.
TEST(FleetServer, FilesThatAreNoJobsAreReportedOnce)
{
    Fleet f;
    ASSERT_EQ(::mkfifo(QFile::encodeName(f.path(QStringLiteral("861234567890123.fcg"))).constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(f.path(QStringLiteral("gone")), f.path(QStringLiteral("861234567890124.read"))));
    ASSERT_TRUE(QDir(f.dir.path()).mkdir(QStringLiteral("861234567890125.fcg")));
    for (const char* name : {"notes.txt", "86123.fcg", "861234567890126.fcg", "861234567890126-20260102-030405.fcg", ".hidden"}) {
        QFile file(f.path(QString::fromLatin1(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    f.fleet->scanFolder();
    QMap<QString, QString> reported;
    for (const QJsonObject& e : f.events) {
        EXPECT_EQ(e.value(QStringLiteral("event")).toString(), QStringLiteral("job-ignored"));
        reported.insert(e.value(QStringLiteral("file")).toString(), e.value(QStringLiteral("reason")).toString());
    }
    EXPECT_EQ(reported.keys(), (QStringList{"86123.fcg", "861234567890123.fcg", "861234567890124.read",
                                            "861234567890125.fcg", "notes.txt"}));
    EXPECT_TRUE(reported.value(QStringLiteral("861234567890123.fcg")).contains(QStringLiteral("FIFO")));
    EXPECT_TRUE(reported.value(QStringLiteral("861234567890124.read")).contains(QStringLiteral("ссылка")));
    EXPECT_TRUE(reported.value(QStringLiteral("861234567890125.fcg")).contains(QStringLiteral("папка")));
    EXPECT_EQ(f.fleet->ignoredCount(), 5);

    f.events.clear();
    f.fleet->scanFolder();
    EXPECT_TRUE(f.events.isEmpty());
    ASSERT_TRUE(QFile::remove(f.path(QStringLiteral("notes.txt"))));
    {
        QFile file(f.path(QStringLiteral("861234567890127.txt")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    f.fleet->scanFolder();
    ASSERT_EQ(f.events.size(), 1);
    EXPECT_EQ(f.events[0].value(QStringLiteral("file")).toString(), QStringLiteral("861234567890127.txt"));
    EXPECT_EQ(f.fleet->ignoredCount(), 5);

    // The FIFO is no job: a unit of that IMEI is told it has none, and nothing hangs on it.
    f.events.clear();
    f.units.receive(1, greeting("861234567890123"));
    EXPECT_EQ(f.kinds(), QStringList{"no-job"});
}
