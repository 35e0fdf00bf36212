// Fleet jobs beside what only POSIX makes easy to plant in a job folder: links and FIFOs.

#include "fleet_test_support.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace rv;
using namespace rv::fleettest;

// A read output's name taken in advance by a link that points elsewhere is never replaced nor written through.
TEST(FleetServerPosix, ReadOutputsNeverGoThroughAPlantedLink)
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
}

// Files that cannot be jobs are said once, each for what it is, and again only when a new one appears.
TEST(FleetServerPosix, FilesThatAreNoJobsAreReportedOnce)
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
