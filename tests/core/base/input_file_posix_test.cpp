#include "core/config/fcg_file.h"
#include "core/base/input_file.h"
#include "support/pty_pair.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace rv;

// A FIFO (which would block the open until a writer comes), a terminal, a device that never ends, or a
// link to any of them is refused at once; a link to a regular file is followed.
TEST(RegularFilePosix, RefusesFifosTerminalsAndDevices_FollowsLinksToFiles)
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

    QFile viaLink;
    ASSERT_TRUE(openRegularFile(viaLink, dir.filePath("to-plain")));
    EXPECT_EQ(viaLink.readAll(), QByteArray("CONF"));

    for (const QString& refused : {fifo, dir.filePath("to-pipe"), pty.slavePath(), QStringLiteral("/dev/zero")}) {
        QFile g;
        EXPECT_FALSE(openRegularFile(g, refused)) << refused.toStdString();
        EXPECT_FALSE(g.isOpen());
        ConfigRecords records;
        EXPECT_EQ(openFcg(refused, records).status, FcgStatus::OpenFailed) << refused.toStdString();
    }
    EXPECT_EQ(readInputFile(fifo, 10).error, InputFileError::NotRegular);
    EXPECT_EQ(readInputFile("/dev/zero", 10).error, InputFileError::NotRegular);
    QFile g;
    EXPECT_EQ(openInputFile(g, fifo, 10), InputFileError::NotRegular);
    EXPECT_FALSE(g.isOpen());
}
