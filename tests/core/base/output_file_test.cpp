#include "core/base/output_file.h"
#include "output_file_test_support.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace rv;
using namespace rvtest::output;

// A save replaces the whole file at once and leaves nothing else in the folder. (What becomes of the old
// file's permissions differs by platform: output_file_posix_test.cpp, output_file_win32_test.cpp.)
TEST_F(OutputFileTest, ReplacesWhole)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("a.fcg");
    put(path, QByteArray(5000, 'o'));
    const OutputFileResult r = saveOutputFile(path, "new");
    ASSERT_TRUE(r.ok()) << outputFileMessageEn(r).toStdString();
    EXPECT_EQ(contents(path), QByteArray("new"));
    EXPECT_EQ(entries(dir.path()), QStringList{"a.fcg"});
}

// A fault at any step before the rename leaves the old file byte for byte and no trace of the attempt;
// the result names the file and the reason, in both languages.
TEST_F(OutputFileTest, AFaultAtAnyStepLeavesTheOldFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("unit.fcg");
    const QByteArray old(1126, 'o');
    put(path, old);
    struct Case {
        faults::Step step;
        OutputFileError error;
    };
    for (const Case c : {Case{faults::Step::Create, OutputFileError::NoSpace}, Case{faults::Step::Write, OutputFileError::NoSpace},
                         Case{faults::Step::Write, OutputFileError::Io}, Case{faults::Step::Sync, OutputFileError::Io},
                         Case{faults::Step::Sync, OutputFileError::NoSpace}, Case{faults::Step::Rename, OutputFileError::Io}}) {
        SCOPED_TRACE(int(c.step));
        faults::inject(c.step, 1, c.error);
        const OutputFileResult r = saveOutputFile(path, QByteArray(1126, 'n'));
        EXPECT_EQ(r.error, c.error);
        EXPECT_EQ(faults::fired(), 1);
        EXPECT_EQ(contents(path), old);
        EXPECT_EQ(entries(dir.path()), QStringList{"unit.fcg"});
        faults::clear();
    }
    faults::inject(faults::Step::Write, 1, OutputFileError::NoSpace);
    const OutputFileResult r = saveOutputFile(path, "n");
    EXPECT_EQ(outputFileMessage(r), QStringLiteral("Не удалось сохранить %1: нет места на диске").arg(path));
    EXPECT_EQ(outputFileMessageEn(r), QStringLiteral("cannot save %1: no space left on device").arg(path));
    EXPECT_TRUE(outputFileMessage(saveOutputFile(path, "n")).isEmpty());
}

// A streaming writer: many small pieces, a failure in the middle of a large file (the third block), a
// header written last over the start; nothing of a failed stream reaches the target.
TEST_F(OutputFileTest, StreamsInPiecesAndSeeks)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("track.plt");
    QByteArray expected;
    {
        OutputFile out(path);
        ASSERT_TRUE(out.open());
        ASSERT_TRUE(out.write("HEAD"));
        expected = "HEAD";
        for (int i = 0; i < 100000; ++i) {
            const QByteArray line = QByteArray::number(i) + "\r\n";
            ASSERT_TRUE(out.write(line));
            expected += line;
        }
        ASSERT_EQ(out.pos(), expected.size());
        ASSERT_TRUE(out.seek(0));
        ASSERT_TRUE(out.write("head"));
        expected.replace(0, 4, "head");
        ASSERT_TRUE(out.commit().ok());
    }
    EXPECT_EQ(contents(path), expected);

    faults::inject(faults::Step::Write, 3, OutputFileError::NoSpace);
    OutputFile out(path);
    ASSERT_TRUE(out.open());
    bool allTaken = true;
    for (int i = 0; i < 100000; ++i)
        allTaken = out.write(QByteArray(50, 'x')) && allTaken;
    EXPECT_FALSE(allTaken);
    EXPECT_TRUE(out.failed());
    EXPECT_EQ(out.commit().error, OutputFileError::NoSpace);
    EXPECT_EQ(contents(path), expected);
    EXPECT_EQ(entries(dir.path()), QStringList{"track.plt"});
}

// A folder is never written over; a save into a folder that is not there says so.
TEST_F(OutputFileTest, RefusesAFolderAndAMissingFolder)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder"));
    EXPECT_EQ(saveOutputFile(dir.filePath("folder"), "x").error, OutputFileError::NotRegular);
    EXPECT_EQ(saveOutputFile(dir.filePath("none/x.fcg"), "x").error, OutputFileError::NoFolder);
    EXPECT_EQ(saveOutputFile(QString(), "x").error, OutputFileError::NoFolder);
    EXPECT_EQ(entries(dir.path()), QStringList{"folder"});
}

// NewOnly never replaces a file at the name (links planted there: output_file_posix_test.cpp).
TEST_F(OutputFileTest, NewOnlyTakesOnlyAFreeName)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString taken = dir.filePath("taken.fcg");
    put(taken, "old");
    EXPECT_EQ(saveOutputFile(taken, "new", OutputFileMode::NewOnly).error, OutputFileError::Exists);
    EXPECT_EQ(contents(taken), QByteArray("old"));
    EXPECT_TRUE(saveOutputFile(dir.filePath("free.fcg"), "new", OutputFileMode::NewOnly).ok());
    EXPECT_EQ(contents(dir.filePath("free.fcg")), QByteArray("new"));
    EXPECT_EQ(entries(dir.path()), (QStringList{"free.fcg", "taken.fcg"}));
}

// An output given up (cancelled or destroyed uncommitted) leaves nothing behind.
TEST_F(OutputFileTest, UncommittedLeavesNothing)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    {
        OutputFile out(dir.filePath("a"));
        ASSERT_TRUE(out.open());
        out.write("x");
    }
    OutputFile out(dir.filePath("b"));
    ASSERT_TRUE(out.open());
    out.cancel();
    EXPECT_FALSE(out.commit().ok());
    EXPECT_TRUE(entries(dir.path()).isEmpty());
}
