// rvctl serve: listening on loopback, the virtual unit calls in over TCP and rvctl reads its configuration
// into a file, writes a file to it, or tells who it is.

#include "core/config/fcg_file.h"
#include "support/rvsim_process.h"
#include "support/wait.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
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

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

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
    EXPECT_EQ(fileBytes(file), fileBytes(unit.statePath()));
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

    Serve dropped({QStringLiteral("read"), file});
    ASSERT_NE(dropped.port, 0) << qPrintable(dropped.err);
    rvtest::RvsimProcess unit(QStringLiteral(RVSIM_PATH), {QStringLiteral("--tcp"), dropped.tcp(),
                                                           QStringLiteral("--drop-on"), QStringLiteral("21/2")});
    EXPECT_EQ(dropped.finish(), 3);
    EXPECT_TRUE(dropped.err.contains(QStringLiteral("the unit closed the connection"))) << qPrintable(dropped.err);
    EXPECT_FALSE(QFile::exists(file)); // no file from a read that did not end
}

#endif
