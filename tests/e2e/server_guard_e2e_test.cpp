// rvctl serve against the world on 127.0.0.1: a job folder's files that are no jobs are said and counted.

#include "core/config/fcg_file.h"
#include "support/rvsim_process.h"
#include "support/serve_process.h"
#include "support/tool_run.h"
#include "support/wait.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>

#if defined(RVCTL_PATH) && defined(RVSIM_PATH)

namespace {

void put(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// The JSON events rvctl serve --json printed so far.
QList<QJsonObject> events(rvtest::ServeProcess& serve, QByteArray& pending, QList<QJsonObject>& seen)
{
    pending += serve.process.readAllStandardOutput();
    for (qsizetype nl; (nl = pending.indexOf('\n')) >= 0; pending.remove(0, nl + 1))
        seen << QJsonDocument::fromJson(pending.first(nl)).object();
    return seen;
}

QStringList texts(const QList<QJsonObject>& all, const QString& kind, const char* key)
{
    QStringList out;
    for (const QJsonObject& o : all) {
        if (o.value(QStringLiteral("event")).toString() == kind)
            out << o.value(QLatin1String(key)).toString();
    }
    return out;
}

} // namespace

// Files in the job folder that are no jobs are said once at the start, a new one when it appears, and the
// count at the end says how many were ignored.
TEST(ServerGuardE2E, JobFilesThatAreNoJobsAreSaidAndCounted)
{
    QTemporaryDir dir;
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("861234567890123.fcg"))).constData(), 0600), 0);
    put(dir.filePath(QStringLiteral("notes.txt")), "fleet B next week");
    rvtest::ServeProcess serve(QStringLiteral(RVCTL_PATH), {QStringLiteral("--jobs"), dir.path(), QStringLiteral("--json")});
    ASSERT_NE(serve.port, 0) << qPrintable(serve.err);
    QByteArray pending;
    QList<QJsonObject> seen;
    ASSERT_TRUE(rvtest::waitUntil([&] { return texts(events(serve, pending, seen), QStringLiteral("job-ignored"), "file").size() == 2; }));
    EXPECT_EQ(texts(seen, QStringLiteral("job-ignored"), "file"),
              (QStringList{QStringLiteral("861234567890123.fcg"), QStringLiteral("notes.txt")}));

    ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("nowhere")), dir.filePath(QStringLiteral("861234567890124.read"))));
    ASSERT_TRUE(rvtest::waitUntil([&] { return texts(events(serve, pending, seen), QStringLiteral("job-ignored"), "file").size() == 3; }));
    EXPECT_EQ(texts(seen, QStringLiteral("job-ignored"), "file").last(), QStringLiteral("861234567890124.read"));
    serve.process.terminate();
    EXPECT_EQ(serve.finish(), 0);
    EXPECT_TRUE(serve.err.contains(QStringLiteral("0 job(s) left unfinished in the folder, 3 file(s) in it ignored")))
        << qPrintable(serve.err);
    events(serve, pending, seen);
    EXPECT_EQ(texts(seen, QStringLiteral("job-ignored"), "file").size(), 3); // each said once
}

#endif
