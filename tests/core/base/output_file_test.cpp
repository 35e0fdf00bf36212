#include "core/base/output_file.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace rv;
namespace faults = rv::output_file_faults;

namespace {

QByteArray contents(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void put(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

// Every entry of the folder, hidden ones too: a failed save leaves no temporary file behind.
QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

struct Faults : ::testing::Test {
    void SetUp() override { faults::clear(); }
    void TearDown() override { faults::clear(); }
};

} // namespace

using OutputFileTest = Faults;

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

// What is not a regular file is never written over; a link at the name is followed to the file it
// names (as users who keep a link there mean it), while a dangling link is replaced, not written through.
TEST_F(OutputFileTest, RefusesWhatIsNoFileAndFollowsLinksToFiles)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString fifo = dir.filePath("pipe");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder"));
    EXPECT_EQ(saveOutputFile(fifo, "x").error, OutputFileError::NotRegular);
    EXPECT_EQ(saveOutputFile(dir.filePath("folder"), "x").error, OutputFileError::NotRegular);
    EXPECT_EQ(saveOutputFile(dir.filePath("none/x.fcg"), "x").error, OutputFileError::NoFolder);
    EXPECT_EQ(saveOutputFile(QString(), "x").error, OutputFileError::NoFolder);

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

// NewOnly never replaces anything at the name and never writes through a link planted there.
TEST_F(OutputFileTest, NewOnlyTakesOnlyAFreeName)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString taken = dir.filePath("taken.fcg");
    put(taken, "old");
    EXPECT_EQ(saveOutputFile(taken, "new", OutputFileMode::NewOnly).error, OutputFileError::Exists);
    EXPECT_EQ(contents(taken), QByteArray("old"));

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
    EXPECT_TRUE(saveOutputFile(dir.filePath("free.fcg"), "new", OutputFileMode::NewOnly).ok());
    EXPECT_EQ(contents(dir.filePath("free.fcg")), QByteArray("new"));
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
