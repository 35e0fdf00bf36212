// rvctl's unit commands against the virtual unit on a pseudo-terminal: the real serial component and the
// real pacing, so each scenario takes a few seconds; they are few and each proves a whole user action.

#include "core/config/fcg_file.h"
#include "support/rvsim_process.h"
#include "support/tool_run.h"
#include "support/files.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#if defined(RVCTL_PATH) && defined(RVSIM_PATH)

namespace {

using rvtest::ToolRun;

ToolRun rvctl(const QStringList& args)
{
    const ToolRun r = rvtest::runTool(QStringLiteral(RVCTL_PATH), args, 60000);
    std::printf("[ timing ] rvctl %s: %lld ms, exit %d\n", qPrintable(args.join(u' ')), r.elapsedMs, r.code);
    return r;
}

} // namespace

TEST(RvctlUnit, InfoReadDiffWrite_UnitHoldsTheFileExactly)
{
    QTemporaryDir dir;
    rvtest::RvsimProcess unit(QStringLiteral(RVSIM_PATH));
    ASSERT_TRUE(unit.started());
    const QString port = QStringLiteral("--port=") + unit.pty();

    ToolRun r = rvctl({port, QStringLiteral("info"), QStringLiteral("--json")});
    ASSERT_EQ(r.code, 0) << qPrintable(r.err);
    const QJsonObject info = QJsonDocument::fromJson(r.out.toUtf8()).object();
    EXPECT_EQ(info.value(QStringLiteral("type")).toString(), QStringLiteral("RV-2 v2"));
    EXPECT_EQ(info.value(QStringLiteral("options")).toString(), QStringLiteral("0x00000001"));
    EXPECT_EQ(info.value(QStringLiteral("build")).toString(), QStringLiteral("0700.1203.15"));
    EXPECT_EQ(info.value(QStringLiteral("id")).toInt(), 1234);
    EXPECT_EQ(info.value(QStringLiteral("imei")).toString().size(), 15);

    // Read: the file holds exactly the unit's records.
    const QString a = dir.filePath(QStringLiteral("a.fcg"));
    r = rvctl({port, QStringLiteral("read"), a});
    ASSERT_EQ(r.code, 0) << qPrintable(r.err);
    EXPECT_TRUE(r.err.contains(QStringLiteral("Конфигурация считана")));
    const QByteArray unitBytes = rvtest::fileBytes(unit.statePath());
    ASSERT_EQ(unitBytes.size(), rv::kFcgSize);
    EXPECT_EQ(rvtest::fileBytes(a), unitBytes);

    // An edit shows up as exactly that field.
    const QString b = dir.filePath(QStringLiteral("b.fcg"));
    ASSERT_TRUE(QFile::copy(a, b));
    ASSERT_EQ(rvctl({QStringLiteral("set"), b, QStringLiteral("ID_Device=77")}).code, 0);
    r = rvctl({QStringLiteral("diff"), a, b});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, QStringLiteral("Настройки соединения › ID устройства: 1234 -> 77\n"));

    // Write, with a change in each of the three records: the unit then holds the file's bytes.
    QByteArray edited = rvtest::fileBytes(b);
    edited[rv::kFcgInpOutOffset + 7] = static_cast<char>(edited[rv::kFcgInpOutOffset + 7] ^ 0x5A);
    edited[rv::kFcgConfSeOffset + 3] = static_cast<char>(edited[rv::kFcgConfSeOffset + 3] ^ 0x5A);
    {
        QFile f(b);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(edited);
    }
    r = rvctl({QStringLiteral("--port"), unit.pty(), QStringLiteral("write"), b});
    ASSERT_EQ(r.code, 0) << qPrintable(r.err);
    EXPECT_TRUE(r.err.contains(QStringLiteral("Конфигурация устройства обновлена")));
    EXPECT_EQ(rvtest::fileBytes(unit.statePath()), edited);
}

TEST(RvctlUnit, PasswordLockedUnit_NeedsPasswordAndRepeatsOnce)
{
    QTemporaryDir dir;
    rvtest::RvsimProcess unit(QStringLiteral(RVSIM_PATH), {QStringLiteral("--password"), QStringLiteral("4321")});
    ASSERT_TRUE(unit.started());
    const QString out = dir.filePath(QStringLiteral("out.fcg"));

    ToolRun r = rvctl({QStringLiteral("--port"), unit.pty(), QStringLiteral("read"), out});
    EXPECT_EQ(r.code, 3);
    EXPECT_TRUE(r.err.contains(QStringLiteral("--password"))) << qPrintable(r.err);
    EXPECT_FALSE(QFile::exists(out));

    r = rvctl({QStringLiteral("--port"), unit.pty(), QStringLiteral("--password"), QStringLiteral("4321"),
               QStringLiteral("read"), out});
    ASSERT_EQ(r.code, 0) << qPrintable(r.err);
    EXPECT_EQ(rvtest::fileBytes(out), rvtest::fileBytes(unit.statePath()));
    // One password, and the read asked once locked and once repeated (after the first, refused run).
    EXPECT_EQ(unit.count("RV+PASS="), 1);
    EXPECT_EQ(unit.count("CONFIGR"), 3);
}

TEST(RvctlUnit, Failures_ExitThreeAndKeepTheFiles)
{
    QTemporaryDir dir;
    // A record with a wrong checksum: the controller's message, and the old file stays as it was.
    {
        rvtest::RvsimProcess unit(QStringLiteral(RVSIM_PATH), {QStringLiteral("--bad-checksum")});
        ASSERT_TRUE(unit.started());
        const QString keep = dir.filePath(QStringLiteral("keep.fcg"));
        ASSERT_TRUE(QFile::copy(unit.statePath(), keep));
        const QByteArray before = rvtest::fileBytes(keep);
        const ToolRun r = rvctl({QStringLiteral("--port"), unit.pty(), QStringLiteral("read"), keep});
        EXPECT_EQ(r.code, 3);
        EXPECT_TRUE(r.err.contains(QStringLiteral("Повторите попытку"))) << qPrintable(r.err);
        EXPECT_EQ(rvtest::fileBytes(keep), before);

        // A file that lacks part of a record is not written as zeros to the unit (refused before connecting).
        const QString shortFile = dir.filePath(QStringLiteral("short.fcg"));
        QFile f(shortFile);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(before.left(rv::kFcgConfSeOffset));
        f.close();
        const ToolRun w = rvctl({QStringLiteral("--port"), unit.pty(), QStringLiteral("write"), shortFile});
        EXPECT_EQ(w.code, 3);
        EXPECT_TRUE(w.err.contains(QStringLiteral("1100 bytes"))) << qPrintable(w.err);
    }

    // The unit drops the line in the middle of the read (a cable pulled): said in the window's words, no file.
    {
        rvtest::RvsimProcess unit(QStringLiteral(RVSIM_PATH), {QStringLiteral("--drop-on"), QStringLiteral("CONFIGR")});
        ASSERT_TRUE(unit.started());
        const QString lost = dir.filePath(QStringLiteral("lost.fcg"));
        const ToolRun r = rvctl({QStringLiteral("--port"), unit.pty(), QStringLiteral("read"), lost});
        EXPECT_EQ(r.code, 3);
        EXPECT_TRUE(r.err.contains(QStringLiteral("Потеряна связь с устройством"))) << qPrintable(r.err);
        EXPECT_FALSE(QFile::exists(lost));
    }

    // No unit at the port: the discovery status as the error, after the time given.
    ToolRun r = rvctl({QStringLiteral("--port"), dir.filePath(QStringLiteral("ttyNone")), QStringLiteral("--timeout"),
                       QStringLiteral("2"), QStringLiteral("info")});
    EXPECT_EQ(r.code, 3);
    EXPECT_TRUE(r.err.contains(QStringLiteral("не найден"))) << qPrintable(r.err);
    EXPECT_TRUE(r.out.isEmpty());

    // Usage errors.
    EXPECT_EQ(rvctl({QStringLiteral("read"), dir.filePath(QStringLiteral("x.fcg"))}).code, 2);
    EXPECT_EQ(rvctl({QStringLiteral("--port"), QStringLiteral("/dev/null"), QStringLiteral("--password"),
                     QStringLiteral("70000"), QStringLiteral("info")}).code, 2);
}

#endif
