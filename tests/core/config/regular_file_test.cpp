#include "core/config/fcg_file.h"
#include "core/config/regular_file.h"
#include "support/pty_pair.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace rv;

// Only a regular file is opened; a FIFO (which would block the open until a writer comes), a terminal,
// a folder or a link to any of them is refused at once, and nothing is read from it.
TEST(RegularFile, OpensRegularFilesAndLinksToThemOnly)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString plain = dir.filePath("a.fcg");
    {
        QFile f(plain);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("CONF");
    }
    const QString fifo = dir.filePath("pipe");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    rvtest::PtyPair pty;
    ASSERT_TRUE(pty.ok());
    ASSERT_TRUE(QFile::link(plain, dir.filePath("to-plain")));
    ASSERT_TRUE(QFile::link(fifo, dir.filePath("to-pipe")));

    QFile f;
    ASSERT_TRUE(openRegularFile(f, plain));
    EXPECT_EQ(f.readAll(), QByteArray("CONF"));
    f.close();
    QFile viaLink;
    ASSERT_TRUE(openRegularFile(viaLink, dir.filePath("to-plain")));
    EXPECT_EQ(viaLink.readAll(), QByteArray("CONF"));

    for (const QString& refused : {fifo, dir.filePath("to-pipe"), pty.slavePath(), dir.path(),
                                   dir.filePath("missing"), QString()}) {
        QFile g;
        EXPECT_FALSE(openRegularFile(g, refused)) << refused.toStdString();
        EXPECT_FALSE(g.isOpen());
        EXPECT_FALSE(isReadableRegularFile(refused)) << refused.toStdString();
        ConfigRecords records;
        EXPECT_EQ(openFcg(refused, records).status, FcgStatus::OpenFailed) << refused.toStdString();
    }
    EXPECT_TRUE(isReadableRegularFile(plain));
}

// Every input file comes through readInputFile/openInputFile: a FIFO, a device that never ends, a folder
// and a file larger than its format can be are refused at once, each for what it is; nothing is read.
TEST(InputFile, RefusesWhatIsNoRegularFileOrLargerThanItsFormat)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString plain = dir.filePath("a.bin");
    {
        QFile f(plain);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("0123456789");
    }
    const QString fifo = dir.filePath("pipe");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);

    EXPECT_EQ(readInputFile(plain, 10).bytes, QByteArray("0123456789"));
    EXPECT_EQ(readInputFile(plain, 9).error, InputFileError::TooLarge);
    EXPECT_EQ(readInputFile(fifo, 10).error, InputFileError::NotRegular);
    EXPECT_EQ(readInputFile("/dev/zero", 10).error, InputFileError::NotRegular);
    EXPECT_EQ(readInputFile(dir.path(), 10).error, InputFileError::NotRegular);
    EXPECT_EQ(readInputFile(dir.filePath("missing"), 10).error, InputFileError::Missing);
    QFile g;
    EXPECT_EQ(openInputFile(g, fifo, 10), InputFileError::NotRegular);
    EXPECT_FALSE(g.isOpen());
    EXPECT_EQ(openInputFile(g, plain, 9), InputFileError::TooLarge);
    EXPECT_FALSE(g.isOpen());

    // The messages name the file and, for a size, the bound.
    EXPECT_EQ(inputFileMessageEn(fifo, InputFileError::NotRegular, 10), fifo + ": not a regular file");
    EXPECT_TRUE(inputFileMessage(plain, InputFileError::TooLarge, 9).contains(plain + " слишком велик"));
    EXPECT_TRUE(inputFileMessage(plain, InputFileError::TooLarge, 9).contains("9 байт"));
}
