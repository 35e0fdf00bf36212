// rvctl serve against the world on 127.0.0.1: an allow list that was given must hold someone, the allow
// file obeys the input-file rules, only the allowed networks get in, a modem's greeting is found in its
// noise, two units with one IMEI settle, and a job folder's files that are no jobs are said and counted.

#include "core/config/fcg_file.h"
#include "support/rvsim_process.h"
#include "support/serve_process.h"
#include "support/tool_run.h"
#include "support/wait.h"
#include "support/files.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>

#if defined(RVCTL_PATH) && defined(RVSIM_PATH)

namespace {

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

// A list given but holding no IMEI is no "anyone may connect": rvctl refuses to start (exit 2) and says why.
// The allow file is read by the input-file rules: a FIFO or a device is refused at once, never waited on.
TEST(ServerGuardE2E, AnAllowListGivenEmptyOrUnreadableRefusesToStart)
{
    QTemporaryDir dir;
    rvtest::putFile(dir.filePath(QStringLiteral("empty.txt")), "");
    rvtest::putFile(dir.filePath(QStringLiteral("comments.txt")), "# fleet B, to be filled in\n\n");
    const QString fifo = dir.filePath(QStringLiteral("fifo"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    struct Case {
        QStringList options;
        QString said;
    };
    const Case cases[] = {
        {{QStringLiteral("--allow"), QString()}, QStringLiteral("нет ни одного IMEI")},
        {{QStringLiteral("--allow-file"), dir.filePath(QStringLiteral("empty.txt"))}, QStringLiteral("нет ни одного IMEI")},
        {{QStringLiteral("--allow-file"), dir.filePath(QStringLiteral("comments.txt"))}, QStringLiteral("нет ни одного IMEI")},
        {{QStringLiteral("--allow-file"), QStringLiteral("/dev/null")}, QStringLiteral("не является обычным файлом")},
        {{QStringLiteral("--allow-file"), QStringLiteral("/dev/zero")}, QStringLiteral("не является обычным файлом")},
        {{QStringLiteral("--allow-file"), fifo}, QStringLiteral("не является обычным файлом")},
        {{QStringLiteral("--allow-net"), QString()}, QStringLiteral("no network")},
        {{QStringLiteral("--allow-net"), QStringLiteral("10.0.0.0/33")}, QStringLiteral("не адрес")},
    };
    for (const Case& c : cases) {
        for (const QStringList& form : {QStringList{QStringLiteral("info")}, QStringList{QStringLiteral("--jobs"), dir.path()}}) {
            SCOPED_TRACE(qPrintable((c.options + form).join(u' ')));
            const rvtest::ToolRun run = rvtest::runTool(QStringLiteral(RVCTL_PATH),
                QStringList{QStringLiteral("serve"), QStringLiteral("--listen"), QStringLiteral("0"), QStringLiteral("--address"),
                            QStringLiteral("127.0.0.1")} + c.options + form);
            EXPECT_EQ(run.code, 2) << qPrintable(run.err);
            EXPECT_TRUE(run.err.contains(c.said)) << qPrintable(run.err);
            EXPECT_FALSE(run.err.contains(QStringLiteral("listening"))) << qPrintable(run.err);
        }
    }
}

// Only the networks allowed get in: a unit from 127.0.0.1 is closed at once when only 10.0.0.0/8 may call,
// and served when 127.0.0.0/8 may.
TEST(ServerGuardE2E, OnlyTheAllowedNetworksGetIn)
{
    {
        rvtest::ServeProcess serve(QStringLiteral(RVCTL_PATH), {QStringLiteral("--allow-net"), QStringLiteral("10.0.0.0/8"),
                                                                QStringLiteral("--wait"), QStringLiteral("3"), QStringLiteral("info")});
        ASSERT_NE(serve.port, 0) << qPrintable(serve.err);
        rvtest::RvsimProcess unit(QStringLiteral(RVSIM_PATH), {QStringLiteral("--tcp"), serve.tcp()});
        EXPECT_EQ(serve.finish(), 3);
        EXPECT_TRUE(serve.err.contains(QStringLiteral("адрес не из разрешённых сетей"))) << qPrintable(serve.err);
        EXPECT_TRUE(serve.err.contains(QStringLiteral("Отклонено подключение 127.0.0.1:"))) << qPrintable(serve.err);
    }
    rvtest::ServeProcess serve(QStringLiteral(RVCTL_PATH), {QStringLiteral("--allow-net"), QStringLiteral("127.0.0.0/8"),
                                                            QStringLiteral("--wait"), QStringLiteral("60"), QStringLiteral("info")});
    ASSERT_NE(serve.port, 0) << qPrintable(serve.err);
    rvtest::RvsimProcess unit(QStringLiteral(RVSIM_PATH), {QStringLiteral("--tcp"), serve.tcp()});
    EXPECT_EQ(serve.finish(), 0) << qPrintable(serve.err);
    EXPECT_TRUE(serve.process.readAllStandardOutput().contains("IMEI: 861234567890123"));
}

// A unit behind a modem: "\r\nCONNECT\r\n", the greeting and "\r\n" in one burst. It is served, its
// configuration read, and no fault is said about the modem's words.
TEST(ServerGuardE2E, AGreetingInAModemsWordsIsServed)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("unit.fcg"));
    rvtest::ServeProcess serve(QStringLiteral(RVCTL_PATH), {QStringLiteral("--wait"), QStringLiteral("60"),
                                                            QStringLiteral("read"), file});
    ASSERT_NE(serve.port, 0) << qPrintable(serve.err);
    rvtest::RvsimProcess unit(QStringLiteral(RVSIM_PATH), {QStringLiteral("--tcp"), serve.tcp(), QStringLiteral("--modem-noise")});
    EXPECT_EQ(serve.finish(), 0) << qPrintable(serve.err);
    rv::ConfigRecords read, held;
    ASSERT_TRUE(rv::openFcg(file, read).ok());
    ASSERT_TRUE(rv::openFcg(unit.statePath(), held).ok());
    EXPECT_EQ(rv::fcgBytes(read), rv::fcgBytes(held));
    EXPECT_FALSE(serve.err.contains(QStringLiteral("Ошибка"))) << qPrintable(serve.err);
    EXPECT_FALSE(serve.err.contains(QStringLiteral("нет приветствия"))) << qPrintable(serve.err);
}

// Two units with one IMEI call and redial at once: after a few rounds the one connected keeps the place and
// the other is refused, with both addresses named.
TEST(ServerGuardE2E, TwoUnitsWithOneImeiSettle)
{
    QTemporaryDir dir;
    rvtest::ServeProcess serve(QStringLiteral(RVCTL_PATH), {QStringLiteral("--jobs"), dir.path(), QStringLiteral("--json")});
    ASSERT_NE(serve.port, 0) << qPrintable(serve.err);
    const QStringList args{QStringLiteral("--tcp"), serve.tcp(), QStringLiteral("--imei"), QStringLiteral("861234567890150"),
                           QStringLiteral("--redial-ms"), QStringLiteral("50")};
    rvtest::RvsimProcess first(QStringLiteral(RVSIM_PATH), args);
    rvtest::RvsimProcess second(QStringLiteral(RVSIM_PATH), args);
    QByteArray pending;
    QList<QJsonObject> seen;
    ASSERT_TRUE(rvtest::waitUntil([&] {
        return !texts(events(serve, pending, seen), QStringLiteral("log"), "text").filter(QStringLiteral("один IMEI")).isEmpty();
    })) << qPrintable(texts(seen, QStringLiteral("log"), "text").join(u'\n'));
    const QString settled = texts(seen, QStringLiteral("log"), "text").filter(QStringLiteral("один IMEI")).first();
    const QRegularExpression addresses(QStringLiteral("с (127\\.0\\.0\\.1:\\d+); подключение с (127\\.0\\.0\\.1:\\d+)"));
    const auto m = addresses.match(settled);
    ASSERT_TRUE(m.hasMatch()) << qPrintable(settled);
    EXPECT_NE(m.captured(1), m.captured(2));
    // Settled: the takeovers stop at the few allowed, while the refused one keeps calling.
    const int takeovers = static_cast<int>(texts(seen, QStringLiteral("log"), "text").filter(QStringLiteral("подключилось заново")).size());
    ASSERT_TRUE(rvtest::waitUntil([&] {
        return texts(events(serve, pending, seen), QStringLiteral("log"), "text").filter(QStringLiteral("один IMEI")).size() >= 3;
    }));
    EXPECT_EQ(texts(seen, QStringLiteral("log"), "text").filter(QStringLiteral("подключилось заново")).size(), takeovers);
    EXPECT_LE(takeovers, 3);
    serve.process.terminate();
    EXPECT_EQ(serve.finish(), 0);
}

// Files in the job folder that are no jobs are said once at the start, a new one when it appears, and the
// count at the end says how many were ignored.
TEST(ServerGuardE2E, JobFilesThatAreNoJobsAreSaidAndCounted)
{
    QTemporaryDir dir;
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("861234567890123.fcg"))).constData(), 0600), 0);
    rvtest::putFile(dir.filePath(QStringLiteral("notes.txt")), "fleet B next week");
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
