// rvctl's offline commands as a user runs them: exit codes and output.

#include "core/config/fcg_file.h"
#include "support/tool_run.h"
#include "support/files.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>

#ifdef RVCTL_PATH

namespace {

using rvtest::ToolRun;

ToolRun rvctl(const QStringList& args)
{
    return rvtest::runTool(QStringLiteral(RVCTL_PATH), args);
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
    EXPECT_EQ(r.out, QStringLiteral("Настройки соединения › ID устройства: 0 -> 77\n"));
    EXPECT_EQ(rvctl({QStringLiteral("diff"), a, b, QStringLiteral("--fields")}).out, QStringLiteral("ID_Device: 0 -> 77\n"));

    r = rvctl({QStringLiteral("dump"), b, QStringLiteral("--json")});
    EXPECT_EQ(r.code, 0);
    EXPECT_TRUE(r.out.contains(QStringLiteral("\"ID_Device\": 77,")));

    // A rejected value leaves the file as it was.
    EXPECT_EQ(rvctl({QStringLiteral("set"), b, QStringLiteral("ID_Device=1"), QStringLiteral("MicLevel=99")}).code, 2);
    EXPECT_EQ(rvctl({QStringLiteral("diff"), a, b, QStringLiteral("--fields")}).out, QStringLiteral("ID_Device: 0 -> 77\n"));

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

TEST(RvctlOffline, Set_RefusesAFileOfAnotherSize_KeepsEverythingButTheFieldsOfAWholeOne)
{
    QTemporaryDir dir;
    QByteArray full(1126, '\0');
    for (qsizetype i = 0; i < full.size(); ++i)
        full[i] = char(i % 7 == 0 ? 0 : (i * 13) % 256); // something in the gaps between the records too
    full[3] = 0x01;
    full[4] = 0x02;

    // Short (an older file without the extended record): refused, as write refuses it, and not touched.
    const QString shortFile = dir.filePath(QStringLiteral("short.fcg"));
    rvtest::putFile(shortFile, full.left(1100));
    ToolRun r = rvctl({QStringLiteral("set"), shortFile, QStringLiteral("ID_Device=77")});
    EXPECT_EQ(r.code, 3);
    EXPECT_TRUE(r.err.contains(QStringLiteral("1100 bytes"))) << qPrintable(r.err);
    EXPECT_EQ(rvtest::fileBytes(shortFile), full.left(1100));

    // Long: not a configuration file either, by the window's rule; not touched.
    const QString tooLong = dir.filePath(QStringLiteral("too-long.fcg"));
    const QByteArray tail(3000, '\x5A');
    rvtest::putFile(tooLong, full + tail);
    r = rvctl({QStringLiteral("set"), tooLong, QStringLiteral("ID_Device=77")});
    EXPECT_EQ(r.code, 3);
    EXPECT_TRUE(r.err.contains(QStringLiteral("4126 bytes"))) << qPrintable(r.err);
    EXPECT_EQ(rvtest::fileBytes(tooLong), full + tail);

    // Whole: only the bytes of the field change; the gaps between the records stay.
    const QString longFile = dir.filePath(QStringLiteral("long.fcg"));
    rvtest::putFile(longFile, full);
    r = rvctl({QStringLiteral("set"), longFile, QStringLiteral("ID_Device=77"), QStringLiteral("MNC5=9")});
    ASSERT_EQ(r.code, 0) << qPrintable(r.err);
    QByteArray expected = full;
    expected[3] = 77;
    expected[4] = 0;
    expected[1100 + 14] = 9;
    EXPECT_EQ(rvtest::fileBytes(longFile), expected);

    // A negative value in an unsigned field is refused ("-0.5" once became 0.5); the file stays.
    for (const char* bad : {"MaxHdop=-0.5", "Maxaccel=-0", "ID_Device=-0", "IP2[0]=-1"}) {
        r = rvctl({QStringLiteral("set"), longFile, QLatin1String(bad)});
        EXPECT_EQ(r.code, 2) << bad;
        EXPECT_TRUE(r.err.contains(QStringLiteral("out of range"))) << bad << qPrintable(r.err);
    }
    EXPECT_EQ(rvctl({QStringLiteral("set"), longFile, QStringLiteral("TempLL1=-10")}).code, 0);
    expected[465] = char(0xF6);
    EXPECT_EQ(rvtest::fileBytes(longFile), expected);
}

TEST(RvctlOffline, OptionValuesThatLookLikeOptions_AndHelpOnIndexes)
{
    // "--timeout" is not a port name: a usage error before anything is opened.
    ToolRun r = rvctl({QStringLiteral("--port"), QStringLiteral("--timeout"), QStringLiteral("5"), QStringLiteral("info")});
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(r.err.contains(QStringLiteral("--port needs a value"))) << qPrintable(r.err);
    r = rvctl({QStringLiteral("--password"), QStringLiteral("--port"), QStringLiteral("/dev/null"), QStringLiteral("info")});
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(r.err.contains(QStringLiteral("--password needs a value"))) << qPrintable(r.err);
    EXPECT_EQ(rvctl({QStringLiteral("--timeout"), QStringLiteral("-1"), QStringLiteral("info")}).code, 2);

    r = rvctl({QStringLiteral("--help")});
    EXPECT_EQ(r.code, 0);
    for (const char* text : {"count from 0", "Phone[0] is connection 1", "INOh[0]", "input 1"})
        EXPECT_TRUE(r.out.contains(QLatin1String(text))) << text;
}

#endif

#ifdef RVCTL_PATH
// Inputs that are no regular file, or larger than their format can be, are refused at once with the
// file named, exit 3: nothing blocks on a FIFO, nothing grows from /dev/zero, no output is made.
TEST(RvctlOffline, InputsThatAreNoFileOrTooLargeAreRefused)
{
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("pipe.bin"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString huge = dir.filePath(QStringLiteral("huge.bin"));
    {
        QFile f(huge);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize((qint64(64) << 20) + 1)); // sparse: one byte more than any unit's memory
    }
    const QString out = dir.filePath(QStringLiteral("x.plt"));
    const struct {
        QString in;
        const char* said;
    } cases[] = {{QStringLiteral("/dev/zero"), ": not a regular file"},
                 {fifo, ": not a regular file"},
                 {dir.path(), ": not a regular file"},
                 {huge, ": too large, a file of this kind has at most 67108864 bytes"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.in.toStdString());
        const ToolRun r = rvctl({QStringLiteral("track"), QStringLiteral("export"), c.in, out});
        EXPECT_EQ(r.code, 3);
        EXPECT_EQ(r.err, c.in + QLatin1String(c.said) + u'\n');
        EXPECT_FALSE(QFile::exists(out));
    }
    // A firmware image is refused before any unit is looked for.
    const ToolRun flash = rvctl({QStringLiteral("--port"), QStringLiteral("/dev/null"), QStringLiteral("flash"), fifo});
    EXPECT_EQ(flash.code, 3);
    EXPECT_EQ(flash.err, fifo + QStringLiteral(": not a regular file\n"));
    const ToolRun dump = rvctl({QStringLiteral("dump"), fifo});
    EXPECT_EQ(dump.code, 3);
    EXPECT_EQ(dump.err, fifo + QStringLiteral(": not a regular file\n"));
}
#endif
