// rvctl serve: listening on loopback, the virtual unit calls in over TCP and rvctl reads its configuration
// into a file, writes a file to it, or tells who it is.

#include "core/config/fcg_file.h"
#include "support/rvsim_process.h"
#include "support/wait.h"
#include "support/files.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#if defined(RVCTL_PATH) && defined(RVSIM_PATH)

namespace {

// rvctl serve running in the background; the port it listens on is read from its first lines.
struct Serve {
    QProcess process;
    QString err;
    quint16 port = 0;

    explicit Serve(QStringList args)
    {
        process.start(QStringLiteral(RVCTL_PATH), QStringList{QStringLiteral("serve"), QStringLiteral("--listen"),
                                                               QStringLiteral("0"), QStringLiteral("--address"),
                                                               QStringLiteral("127.0.0.1"), QStringLiteral("--wait"),
                                                               QStringLiteral("60")} + args);
        process.setReadChannel(QProcess::StandardError); // the port is said on stderr
        const QRegularExpression listening(QStringLiteral("listening on 127\\.0\\.0\\.1:(\\d+)"));
        while (port == 0 && process.waitForReadyRead(rvtest::kPatienceMs)) {
            err += QString::fromLocal8Bit(process.readAllStandardError());
            if (const auto m = listening.match(err); m.hasMatch())
                port = static_cast<quint16>(m.captured(1).toUInt());
        }
    }
    int finish()
    {
        if (!process.waitForFinished(2 * rvtest::kPatienceMs))
            process.kill();
        err += QString::fromLocal8Bit(process.readAllStandardError());
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }
    QString tcp() const { return QStringLiteral("127.0.0.1:%1").arg(port); }
};

} // namespace

TEST(RvctlServe, InfoReadAndWriteOverTheNetwork)
{
    QTemporaryDir dir;
    {
        Serve info({QStringLiteral("info"), QStringLiteral("--json")});
        ASSERT_NE(info.port, 0) << qPrintable(info.err);
        rvtest::RvsimProcess unit(QStringLiteral(RVSIM_PATH), {QStringLiteral("--tcp"), info.tcp()});
        ASSERT_EQ(info.finish(), 0) << qPrintable(info.err);
        const QJsonObject o = QJsonDocument::fromJson(info.process.readAllStandardOutput()).object();
        EXPECT_EQ(o.value(QStringLiteral("id")).toInt(), 1234);
        EXPECT_EQ(o.value(QStringLiteral("imei")).toString(), QStringLiteral("861234567890123"));
        EXPECT_EQ(o.value(QStringLiteral("firmware")).toInt(), 28);
    }

    const QString file = dir.filePath(QStringLiteral("unit.fcg"));
    Serve read({QStringLiteral("read"), file});
    ASSERT_NE(read.port, 0) << qPrintable(read.err);
    rvtest::RvsimProcess unit(QStringLiteral(RVSIM_PATH), {QStringLiteral("--tcp"), read.tcp()});
    ASSERT_EQ(read.finish(), 0) << qPrintable(read.err);
    EXPECT_TRUE(read.err.contains(QStringLiteral("Конфигурация считана")));
    EXPECT_EQ(rvtest::fileBytes(file), rvtest::fileBytes(unit.statePath()));
    unit.stop();

    // Another configuration goes to the unit; it then holds the file's records.
    rv::ConfigRecords records;
    ASSERT_TRUE(rv::openFcg(file, records).ok());
    ASSERT_EQ(records.config.setNumber(u"ID_Device", 4321), rv::FieldError::None);
    QByteArray confSe = records.confSe.bytes();
    confSe[0] = static_cast<char>(confSe[0] ^ 0x5A);
    records.confSe.setBytes(confSe);
    ASSERT_EQ(rv::saveFcg(file, records), rv::FcgStatus::Ok);
    Serve write({QStringLiteral("write"), file});
    ASSERT_NE(write.port, 0) << qPrintable(write.err);
    rvtest::RvsimProcess second(QStringLiteral(RVSIM_PATH), {QStringLiteral("--tcp"), write.tcp()});
    ASSERT_EQ(write.finish(), 0) << qPrintable(write.err);
    rv::ConfigRecords held;
    ASSERT_TRUE(rv::openFcg(second.statePath(), held).ok());
    EXPECT_EQ(held.config.number(u"ID_Device").value, 4321);
    EXPECT_EQ(held.confSe.bytes(), confSe);
    EXPECT_EQ(second.count("R22/2"), 1);
}

TEST(RvctlServe, NoCallerAndAUnitThatHangsUpFail)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("unit.fcg"));
    Serve nobody({QStringLiteral("read"), file, QStringLiteral("--wait"), QStringLiteral("1")});
    ASSERT_NE(nobody.port, 0) << qPrintable(nobody.err);
    EXPECT_EQ(nobody.finish(), 3);
    EXPECT_TRUE(nobody.err.contains(QStringLiteral("no unit called within 1 s"))) << qPrintable(nobody.err);
    EXPECT_FALSE(QFile::exists(file));

    // The unit hangs up mid-read: the server waits --wait for it to call again, then gives up.
    Serve dropped({QStringLiteral("read"), file, QStringLiteral("--wait"), QStringLiteral("2")});
    ASSERT_NE(dropped.port, 0) << qPrintable(dropped.err);
    rvtest::RvsimProcess unit(QStringLiteral(RVSIM_PATH), {QStringLiteral("--tcp"), dropped.tcp(),
                                                           QStringLiteral("--drop-on"), QStringLiteral("21/2")});
    EXPECT_EQ(dropped.finish(), 3);
    EXPECT_TRUE(dropped.err.contains(QStringLiteral("the unit closed the connection"))) << qPrintable(dropped.err);
    EXPECT_TRUE(dropped.err.contains(QStringLiteral("no unit called within 2 s"))) << qPrintable(dropped.err);
    EXPECT_FALSE(QFile::exists(file)); // no file from a read that did not end
}

// A scan first, then a unit whose IMEI is not on the list, then one that is: only the last is served;
// without a list rvctl warns once.
TEST(RvctlServe, OnlyUnitsOnTheAllowListAreServed_AScanDoesNotEndTheServer)
{
    QTemporaryDir dir;
    const QString list = dir.filePath(QStringLiteral("fleet.txt"));
    {
        QFile f(list);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("# the trucks of depot 2\n861234567890125\n");
    }
    Serve info({QStringLiteral("--allow-file"), list, QStringLiteral("info"), QStringLiteral("--json")});
    ASSERT_NE(info.port, 0) << qPrintable(info.err);
    {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, info.port);
        ASSERT_TRUE(probe.waitForConnected(60000));
        probe.disconnectFromHost();
    }
    rvtest::RvsimProcess stranger(QStringLiteral(RVSIM_PATH), {QStringLiteral("--tcp"), info.tcp()});
    // The stranger is turned away before the fleet's unit calls.
    for (QDeadlineTimer limit(60000); !info.err.contains(QStringLiteral("нет в списке")) && !limit.hasExpired();) {
        info.process.waitForReadyRead(1000);
        info.err += QString::fromLocal8Bit(info.process.readAllStandardError());
    }
    rvtest::RvsimProcess ours(QStringLiteral(RVSIM_PATH), {QStringLiteral("--tcp"), info.tcp(), QStringLiteral("--imei"),
                                                           QStringLiteral("861234567890125")});
    ASSERT_EQ(info.finish(), 0) << qPrintable(info.err);
    const QJsonObject o = QJsonDocument::fromJson(info.process.readAllStandardOutput()).object();
    EXPECT_EQ(o.value(QStringLiteral("imei")).toString(), QStringLiteral("861234567890125"));
    EXPECT_TRUE(info.err.contains(QStringLiteral("IMEI 861234567890123 (ID 1234) нет в списке разрешённых"))) << qPrintable(info.err);
    EXPECT_TRUE(info.err.contains(QStringLiteral("соединение закрыто до приветствия"))) << qPrintable(info.err);
    EXPECT_FALSE(info.err.contains(QStringLiteral("warning"))) << qPrintable(info.err);

    Serve open({QStringLiteral("info"), QStringLiteral("--wait"), QStringLiteral("1")});
    EXPECT_EQ(open.finish(), 3);
    EXPECT_EQ(open.err.count(QStringLiteral("warning: no --allow")), 1) << qPrintable(open.err);
}

// A dispatcher's night: five units call, each with a job in the folder. Three succeed (a write, a read, and
// a write then a read on one call); a silent unit and one that refuses the write fail, and their reasons
// land in failed/. SIGTERM then ends the server cleanly.
TEST(RvctlServe, AJobFolderForFiveUnits_TwoFailWithTheirReasons)
{
    QTemporaryDir dir;
    const QString jobs = dir.filePath(QStringLiteral("jobs"));
    ASSERT_TRUE(QDir().mkpath(jobs));
    const auto job = [&](const QString& name) { return QDir(jobs).filePath(name); };
    rv::ConfigRecords base;
    {
        rvtest::RvsimProcess source(QStringLiteral(RVSIM_PATH)); // a believable configuration to start from
        ASSERT_TRUE(rv::openFcg(source.statePath(), base).ok());
    }
    const auto writeJob = [&](const QString& imei, int id) {
        rv::ConfigRecords r = base;
        ASSERT_EQ(r.config.setNumber(u"ID_Device", id), rv::FieldError::None);
        ASSERT_EQ(rv::saveFcg(job(imei + QStringLiteral(".fcg")), r), rv::FcgStatus::Ok);
    };
    const auto readJob = [&](const QString& imei) {
        QFile f(job(imei + QStringLiteral(".read")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    };
    writeJob(QStringLiteral("861234567890123"), 601);
    readJob(QStringLiteral("861234567890124"));
    writeJob(QStringLiteral("861234567890125"), 603);
    readJob(QStringLiteral("861234567890125"));
    writeJob(QStringLiteral("861234567890130"), 630); // the silent unit
    writeJob(QStringLiteral("861234567890131"), 631); // the unit that refuses writes

    QProcess serve;
    serve.start(QStringLiteral(RVCTL_PATH), {QStringLiteral("serve"), QStringLiteral("--listen"), QStringLiteral("0"),
                                             QStringLiteral("--address"), QStringLiteral("127.0.0.1"), QStringLiteral("--jobs"),
                                             jobs, QStringLiteral("--job-timeout"), QStringLiteral("2"), QStringLiteral("--json")});
    QString err;
    quint16 port = 0;
    const QRegularExpression listening(QStringLiteral("listening on 127\\.0\\.0\\.1:(\\d+)"));
    for (QDeadlineTimer limit(60000); port == 0 && !limit.hasExpired();) {
        serve.waitForReadyRead(1000);
        err += QString::fromLocal8Bit(serve.readAllStandardError());
        if (const auto m = listening.match(err); m.hasMatch())
            port = static_cast<quint16>(m.captured(1).toUInt());
    }
    ASSERT_NE(port, 0) << qPrintable(err);
    const QString where = QStringLiteral("127.0.0.1:%1").arg(port);
    rvtest::RvsimProcess three(QStringLiteral(RVSIM_PATH), {QStringLiteral("--tcp"), where, QStringLiteral("--units"), QStringLiteral("3")});
    rvtest::RvsimProcess silent(QStringLiteral(RVSIM_PATH), {QStringLiteral("--tcp"), where, QStringLiteral("--silent"),
                                                             QStringLiteral("--imei"), QStringLiteral("861234567890130")});
    rvtest::RvsimProcess refusing(QStringLiteral(RVSIM_PATH), {QStringLiteral("--tcp"), where, QStringLiteral("--lowd"),
                                                               QStringLiteral("--imei"), QStringLiteral("861234567890131")});
    QList<QJsonObject> events;
    QByteArray pending;
    const auto count = [&](const QString& kind) {
        return std::count_if(events.cbegin(), events.cend(), [&](const QJsonObject& o) {
            return o.value(QStringLiteral("event")).toString() == kind;
        });
    };
    ASSERT_TRUE(rvtest::waitUntil([&] {
        pending += serve.readAllStandardOutput();
        for (qsizetype nl; (nl = pending.indexOf('\n')) >= 0; pending.remove(0, nl + 1))
            events << QJsonDocument::fromJson(pending.first(nl)).object();
        return count(QStringLiteral("job-done")) + count(QStringLiteral("job-failed")) == 6;
    }, 120000)) << qPrintable(err);
    serve.terminate(); // SIGTERM
    ASSERT_TRUE(serve.waitForFinished(60000));
    EXPECT_EQ(serve.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(serve.exitCode(), 0);
    EXPECT_EQ(count(QStringLiteral("job-done")), 4);
    EXPECT_EQ(count(QStringLiteral("job-failed")), 2);

    QDir done(job(QStringLiteral("done"))), failed(job(QStringLiteral("failed")));
    EXPECT_EQ(done.entryList(QDir::Files, QDir::Name),
              (QStringList{QStringLiteral("861234567890123.fcg"), QStringLiteral("861234567890124.read"),
                           QStringLiteral("861234567890125.fcg"), QStringLiteral("861234567890125.read")}));
    const auto text = [](const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    };
    EXPECT_TRUE(QFile::exists(failed.filePath(QStringLiteral("861234567890130.fcg"))));
    EXPECT_TRUE(text(failed.filePath(QStringLiteral("861234567890130.log"))).contains(QStringLiteral("Нет ответа за 2 с")));
    EXPECT_TRUE(text(failed.filePath(QStringLiteral("861234567890131.log"))).contains(QStringLiteral("Мало данных")));
    EXPECT_EQ(QDir(jobs).entryList(QDir::Files).filter(QStringLiteral(".read")).size(), 0); // every job has left

    // The units hold what was written; the reads saved what the units hold.
    rv::ConfigRecords held;
    ASSERT_TRUE(rv::openFcg(three.statePath(), held).ok());
    EXPECT_EQ(held.config.number(u"ID_Device").value, 601);
    const QStringList reads = QDir(jobs).entryList({QStringLiteral("861234567890125-*.fcg")});
    ASSERT_EQ(reads.size(), 1);
    ASSERT_TRUE(rv::openFcg(QDir(jobs).filePath(reads[0]), held).ok());
    EXPECT_EQ(held.config.number(u"ID_Device").value, 603);
    EXPECT_EQ(QDir(jobs).entryList({QStringLiteral("861234567890124-*.fcg")}).size(), 1);
    ASSERT_TRUE(rv::openFcg(refusing.statePath(), held).ok());
    EXPECT_NE(held.config.number(u"ID_Device").value, 631);
}

#endif
