// rvctl's offline commands as a user runs them: exit codes and output.

#include "core/config/fcg_file.h"
#include "support/tool_run.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#ifdef RVCTL_PATH

namespace {

using rvtest::ToolRun;

ToolRun rvctl(const QStringList& args)
{
    return rvtest::runTool(QStringLiteral(RVCTL_PATH), args, 30000);
}

} // namespace

TEST(RvctlOffline, DiffSetDumpAndExitCodes)
{
    QTemporaryDir dir;
    const QString a = dir.filePath(QStringLiteral("a.fcg"));
    const QString b = dir.filePath(QStringLiteral("b.fcg"));
    rv::ConfigRecords records;
    ASSERT_EQ(rv::saveFcg(a, records), rv::FcgStatus::Ok);
    ASSERT_EQ(rv::saveFcg(b, records), rv::FcgStatus::Ok);

    ToolRun r = rvctl({QStringLiteral("diff"), a, a});
    EXPECT_EQ(r.code, 0);
    EXPECT_TRUE(r.out.isEmpty());

    EXPECT_EQ(rvctl({QStringLiteral("set"), b, QStringLiteral("ID_Device=77")}).code, 0);
    r = rvctl({QStringLiteral("diff"), a, b});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, QStringLiteral("ID_Device: 0 -> 77\n"));

    r = rvctl({QStringLiteral("dump"), b, QStringLiteral("--json")});
    EXPECT_EQ(r.code, 0);
    EXPECT_TRUE(r.out.contains(QStringLiteral("\"ID_Device\": 77,")));

    // A rejected value leaves the file as it was.
    EXPECT_EQ(rvctl({QStringLiteral("set"), b, QStringLiteral("ID_Device=1"), QStringLiteral("MicLevel=99")}).code, 2);
    EXPECT_EQ(rvctl({QStringLiteral("diff"), a, b}).out, QStringLiteral("ID_Device: 0 -> 77\n"));

    EXPECT_EQ(rvctl({QStringLiteral("diff"), a}).code, 2);
    EXPECT_EQ(rvctl({QStringLiteral("frobnicate")}).code, 2);
    r = rvctl({QStringLiteral("dump"), dir.filePath(QStringLiteral("missing.fcg"))});
    EXPECT_EQ(r.code, 3);
    EXPECT_TRUE(r.err.contains(QStringLiteral("Не удалось открыть")));

    r = rvctl({QStringLiteral("--help")});
    EXPECT_EQ(r.code, 0);
    for (const char* cmd : {"dump FILE.fcg", "diff A.fcg B.fcg", "set FILE.fcg NAME=VALUE", "--port PATH info",
                            "--port PATH read FILE.fcg", "--port PATH write FILE.fcg", "--password N", "--timeout S"})
        EXPECT_TRUE(r.out.contains(QLatin1String(cmd))) << cmd;
}

#endif
