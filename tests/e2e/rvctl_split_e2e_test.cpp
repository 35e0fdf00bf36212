// rvctl against a unit whose replies arrive in random pieces, as from a USB serial adapter: every run of
// a read and a write must succeed and carry the records whole.

#include "support/rvsim_process.h"
#include "support/tool_run.h"
#include "support/files.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#if defined(RVCTL_PATH) && defined(RVSIM_PATH)

TEST(RvctlSplitLine, ReadsAndWritesSucceedEveryTime)
{
    QTemporaryDir dir;
    rvtest::RvsimProcess unit(QStringLiteral(RVSIM_PATH), {QStringLiteral("--split"), QStringLiteral("--split-seed"),
                                                           QStringLiteral("3")});
    ASSERT_TRUE(unit.started());
    const QString port = QStringLiteral("--port=") + unit.pty();
    const QByteArray original = rvtest::fileBytes(unit.statePath());
    ASSERT_EQ(original.size(), 1126);
    for (int run = 0; run < 4; ++run) {
        const QString out = dir.filePath(QStringLiteral("read%1.fcg").arg(run));
        const rvtest::ToolRun r = rvtest::runTool(QStringLiteral(RVCTL_PATH), {port, QStringLiteral("read"), out});
        ASSERT_EQ(r.code, 0) << "run " << run << ": " << r.err.toStdString();
        EXPECT_EQ(rvtest::fileBytes(out), original) << "run " << run;
    }
    // A changed configuration written back arrives whole too.
    QByteArray changed = original;
    for (int i = 1; i < 512; i += 3)
        changed[i] = static_cast<char>(i * 5);
    const QString in = dir.filePath(QStringLiteral("changed.fcg"));
    QFile f(in);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(changed);
    f.close();
    const rvtest::ToolRun w = rvtest::runTool(QStringLiteral(RVCTL_PATH), {port, QStringLiteral("write"), in});
    ASSERT_EQ(w.code, 0) << w.err.toStdString();
    EXPECT_EQ(rvtest::fileBytes(unit.statePath()), changed);
}

// At 19200 baud each record's reply comes over many reads, spread across turns of the event loop: every
// read succeeds on the records the session took.
TEST(RvctlSplitLine, ReadsOnASlowLineSucceedEveryTime)
{
    QTemporaryDir dir;
    rvtest::RvsimProcess unit(QStringLiteral(RVSIM_PATH), {QStringLiteral("--baud"), QStringLiteral("19200"),
                                                           QStringLiteral("--split")});
    ASSERT_TRUE(unit.started());
    const QByteArray original = rvtest::fileBytes(unit.statePath());
    for (int run = 0; run < 3; ++run) {
        const QString out = dir.filePath(QStringLiteral("slow%1.fcg").arg(run));
        const rvtest::ToolRun r = rvtest::runTool(QStringLiteral(RVCTL_PATH),
                                                  {QStringLiteral("--port=") + unit.pty(), QStringLiteral("read"), out});
        ASSERT_EQ(r.code, 0) << "run " << run << ": " << r.err.toStdString();
        EXPECT_EQ(rvtest::fileBytes(out), original) << "run " << run;
    }
}

#endif
