// Fleet jobs driven frame by frame, without sockets: a short job file fails without a byte sent to the unit,
// a unit that hangs up mid-job keeps its job for its next call, and a unit without a job is closed when asked.

#include "fleet_test_support.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <gtest/gtest.h>

using namespace rv;
using namespace rv::fleettest;


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

// Two reads of one unit in one second get two files, and the second never replaces the first. (A name taken
// in advance by a link: fleet_server_posix_test.cpp.)
TEST(FleetServer, ReadOutputsNeverCollide)
{
    Fleet f;
    const QDateTime when(QDate(2026, 1, 2), QTime(3, 4, 5));
    QString first, second;
    ASSERT_TRUE(f.queue.saveReadOutput(QStringLiteral("861234567890123"), when, "A", &first).ok());
    ASSERT_TRUE(f.queue.saveReadOutput(QStringLiteral("861234567890123"), when, "B", &second).ok());
    EXPECT_EQ(QFileInfo(first).fileName(), QStringLiteral("861234567890123-20260102-030405.fcg"));
    EXPECT_EQ(QFileInfo(second).fileName(), QStringLiteral("861234567890123-20260102-030405-2.fcg"));
    EXPECT_EQ(readAll(first), QByteArray("A"));
    EXPECT_EQ(readAll(second), QByteArray("B"));

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
