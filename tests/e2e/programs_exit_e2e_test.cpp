// The three programs as a user or a script runs them end cleanly: rvconf finds the virtual unit, reads it and
// closes on SIGTERM as "Выход" does; snap draws every picture; rvctl lists the ports. Each exits with status 0
// and leaves no sanitizer report on stderr (the test build is sanitized, and so are the programs it runs).

#include "core/link/port_list.h"
#include "support/rvsim_process.h"
#include "support/tool_run.h"
#include "support/wait.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using rvtest::waitUntil;

#if defined(RVCONF_PATH) && defined(RVSIM_PATH)
TEST(ProgramsExitE2E, RvconfReadsTheUnitAndEndsCleanlyOnSigterm)
{
    QTemporaryDir home;
    rvtest::RvsimProcess unit(QStringLiteral(RVSIM_PATH));
    ASSERT_TRUE(unit.started());
    QProcess rvconf;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("RVCONF_HOME"), home.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    rvconf.setProcessEnvironment(env);
    rvconf.start(QStringLiteral(RVCONF_PATH), {QStringLiteral("--port"), unit.pty()});
    ASSERT_TRUE(rvconf.waitForStarted(rvtest::kPatienceMs));
    // Found, read whole (the third record asked for), and polled after the read.
    ASSERT_TRUE(waitUntil([&] { return unit.count("CONFIGS") >= 1 && unit.count("CONFIGG") >= 1; }))
        << rvconf.readAllStandardError().toStdString();

    rvconf.terminate();
    ASSERT_TRUE(rvconf.waitForFinished(rvtest::kPatienceMs));
    const QString err = QString::fromLocal8Bit(rvconf.readAllStandardError());
    EXPECT_EQ(rvconf.exitStatus(), QProcess::NormalExit) << err.toStdString();
    EXPECT_EQ(rvconf.exitCode(), 0) << err.toStdString();
    EXPECT_EQ(rvtest::sanitizerReport(err), QString()) << err.toStdString();
    // It closed as "Выход" does: the unit was told, Config.ini written with the status window's place.
    EXPECT_TRUE(waitUntil([&] { return unit.count("CONFIGC") >= 1; }));
    QFile ini(home.filePath(QStringLiteral("Config.ini")));
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    const QByteArray text = ini.readAll();
    EXPECT_TRUE(text.contains("File conf=default.fcg")) << text.constData();
    EXPECT_TRUE(text.contains("[Status window]")) << text.constData();
}
#endif

#if defined(SNAP_PATH)
TEST(ProgramsExitE2E, SnapDrawsEveryPictureAndEndsCleanly)
{
    QTemporaryDir out;
    const rvtest::ToolRun r = rvtest::runTool(QStringLiteral(SNAP_PATH), {out.path()}, 10 * 60 * 1000);
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("pages written"))) << r.out.toStdString();
    for (const char* name : {"first-start.png", "port-dialog.png", "TForm11.png", "TForm2.png"})
        EXPECT_GT(QFile(out.filePath(QString::fromUtf8(name))).size(), 1000) << name;
    EXPECT_GE(QDir(out.path()).entryList({QStringLiteral("*.png")}).size(), 20);
}
#endif

#if defined(RVCTL_PATH)
TEST(ProgramsExitE2E, RvctlPortsListsWhatThePortDialogLists)
{
    const rvtest::ToolRun json = rvtest::runTool(QStringLiteral(RVCTL_PATH), {QStringLiteral("ports"), QStringLiteral("--json")});
    ASSERT_EQ(json.code, 0) << json.err.toStdString();
    const QJsonArray list = QJsonDocument::fromJson(json.out.toUtf8()).array();
    QStringList named;
    for (const QJsonValue& v : list) {
        named << v.toObject().value(QStringLiteral("name")).toString();
        EXPECT_TRUE(v.toObject().contains(QStringLiteral("description")));
        EXPECT_TRUE(QStringList({"free", "busy", "no-access"}).contains(v.toObject().value(QStringLiteral("state")).toString()));
    }
    QStringList expected;
    for (const rv::PortInfo& p : rv::listPorts())
        expected << p.name;
    EXPECT_EQ(named, expected);

    const rvtest::ToolRun text = rvtest::runTool(QStringLiteral(RVCTL_PATH), {QStringLiteral("ports")});
    ASSERT_EQ(text.code, 0) << text.err.toStdString();
    const QStringList lines = text.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), expected.size()) << text.out.toStdString();
    for (qsizetype i = 0; i < lines.size(); ++i)
        EXPECT_TRUE(lines[i].startsWith(expected[i] + u' ')) << lines[i].toStdString();
}
#endif
