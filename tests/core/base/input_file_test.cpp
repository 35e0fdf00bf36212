#include "core/config/fcg_file.h"
#include "core/base/input_file.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace rv;

// Only a regular file is opened; a folder, a missing file or no name at all is refused, and nothing is
// read. (What else a name can stand for differs by platform: input_file_posix_test.cpp,
// input_file_win32_test.cpp.)
TEST(RegularFile, OpensRegularFilesOnly)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString plain = dir.filePath("a.fcg");
    {
        QFile f(plain);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("CONF");
    }
    QFile f;
    ASSERT_TRUE(openRegularFile(f, plain));
    EXPECT_EQ(f.readAll(), QByteArray("CONF"));
    EXPECT_TRUE(isReadableRegularFile(plain));

    for (const QString& refused : {dir.path(), dir.filePath("missing"), QString()}) {
        QFile g;
        EXPECT_FALSE(openRegularFile(g, refused)) << refused.toStdString();
        EXPECT_FALSE(g.isOpen());
        EXPECT_FALSE(isReadableRegularFile(refused)) << refused.toStdString();
        ConfigRecords records;
        EXPECT_EQ(openFcg(refused, records).status, FcgStatus::OpenFailed) << refused.toStdString();
    }
}

// Every input file comes through readInputFile/openInputFile: a folder and a file larger than its format
// can be are refused at once, each for what it is; nothing is read.
TEST(InputFile, RefusesAFolderAndWhatIsLargerThanItsFormat)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString plain = dir.filePath("a.bin");
    {
        QFile f(plain);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("0123456789");
    }
    EXPECT_EQ(readInputFile(plain, 10).bytes, QByteArray("0123456789"));
    EXPECT_EQ(readInputFile(plain, 9).error, InputFileError::TooLarge);
    EXPECT_EQ(readInputFile(dir.path(), 10).error, InputFileError::NotRegular);
    EXPECT_EQ(readInputFile(dir.filePath("missing"), 10).error, InputFileError::Missing);
    QFile g;
    EXPECT_EQ(openInputFile(g, plain, 9), InputFileError::TooLarge);
    EXPECT_FALSE(g.isOpen());

    // The messages name the file and, for a size, the bound.
    EXPECT_EQ(inputFileMessageEn(dir.path(), InputFileError::NotRegular, 10), dir.path() + ": not a regular file");
    EXPECT_TRUE(inputFileMessage(plain, InputFileError::TooLarge, 9).contains(plain + " слишком велик"));
    EXPECT_TRUE(inputFileMessage(plain, InputFileError::TooLarge, 9).contains("9 байт"));
}
