#include "core/base/output_file.h"
#include "output_file_test_support.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace rv;
using namespace rvtest::output;

// A save replaces the whole file at once and keeps the old file's permissions; a new file gets the
// user's usual ones.
TEST_F(OutputFileTest, ReplacesWholeAndKeepsPermissions)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("a.fcg");
    put(path, QByteArray(5000, 'o'));
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0640), 0);

    const OutputFileResult r = saveOutputFile(path, "new");
    ASSERT_TRUE(r.ok()) << outputFileMessageEn(r).toStdString();
    EXPECT_EQ(contents(path), QByteArray("new"));
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(entries(dir.path()), QStringList{"a.fcg"});

    const mode_t mask = ::umask(022);
    ::umask(mask);
    ASSERT_TRUE(saveOutputFile(dir.filePath("b.fcg"), "x").ok());
    ASSERT_EQ(::stat(QFile::encodeName(dir.filePath("b.fcg")).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0666u & ~mask);
}

// What is not a regular file is never written over; a link at the name is followed to the file it
// names (as users who keep a link there mean it), while a dangling link is replaced, not written through.
TEST_F(OutputFileTest, RefusesAFifoAndFollowsLinksToFiles)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString fifo = dir.filePath("pipe");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder"));
    EXPECT_EQ(saveOutputFile(fifo, "x").error, OutputFileError::NotRegular);

    const QString real = dir.filePath("real.ini");
    put(real, "old");
    ASSERT_TRUE(QFile::link(real, dir.filePath("link.ini")));
    ASSERT_TRUE(saveOutputFile(dir.filePath("link.ini"), "new").ok());
    EXPECT_EQ(contents(real), QByteArray("new"));
    EXPECT_TRUE(QFileInfo(dir.filePath("link.ini")).isSymLink());

    const QString elsewhere = dir.filePath("folder/planted");
    ASSERT_TRUE(QFile::link(elsewhere, dir.filePath("dangling")));
    ASSERT_TRUE(saveOutputFile(dir.filePath("dangling"), "new").ok());
    EXPECT_FALSE(QFileInfo::exists(elsewhere));
    EXPECT_FALSE(QFileInfo(dir.filePath("dangling")).isSymLink());
}

// NewOnly never writes through a link planted at the name, before the save or during it.
TEST_F(OutputFileTest, NewOnlyNeverWritesThroughAPlantedLink)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString victim = dir.filePath("victim");
    put(victim, "keep");
    ASSERT_TRUE(QFile::link(victim, dir.filePath("to-victim.fcg")));
    ASSERT_TRUE(QFile::link(dir.filePath("nothing"), dir.filePath("dangling.fcg")));
    EXPECT_EQ(saveOutputFile(dir.filePath("to-victim.fcg"), "new", OutputFileMode::NewOnly).error, OutputFileError::Exists);
    EXPECT_EQ(saveOutputFile(dir.filePath("dangling.fcg"), "new", OutputFileMode::NewOnly).error, OutputFileError::Exists);
    EXPECT_EQ(contents(victim), QByteArray("keep"));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("nothing")));

    // A link planted between the check and the rename is not replaced either.
    const QString late = dir.filePath("late.fcg");
    OutputFile out(late, OutputFileMode::NewOnly);
    ASSERT_TRUE(out.open());
    ASSERT_TRUE(out.write("new"));
    ASSERT_TRUE(QFile::link(victim, late));
    EXPECT_EQ(out.commit().error, OutputFileError::Exists);
    EXPECT_EQ(contents(victim), QByteArray("keep"));
}

// A write-protected file is not replaced behind its owner's back (root may write anything).
TEST_F(OutputFileTest, WriteProtectedFileIsKept)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root may write any file; the check is for an ordinary user";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("ro.fcg");
    put(path, "old");
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0444), 0);
    EXPECT_EQ(saveOutputFile(path, "new").error, OutputFileError::NoPermission);
    EXPECT_EQ(contents(path), QByteArray("old"));
}
