// The allow-list file obeys the input-file rules: a FIFO or a device is refused at once instead of hanging
// the start, and a list that is no list never means "anyone".

#include "core/link/allow_list.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace rv;

TEST(AllowListPosix, AFifoOrADeviceAsTheListIsRefused)
{
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("Config.ini"));
    const QString fifo = dir.filePath(QStringLiteral("fifo"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QByteArray& list : {QByteArray("/dev/null"), QByteArray("/dev/zero"), fifo.toUtf8()}) {
        SCOPED_TRACE(list.toStdString());
        QFile f(ini);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[Server]\nAllow file=" + list + "\n");
        f.close();
        QString error;
        EXPECT_FALSE(readServerSettings(ini, &error));
        EXPECT_FALSE(error.isEmpty());
    }
    QString error;
    EXPECT_FALSE(AllowList::fromFile(QStringLiteral("/dev/zero"), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("не является обычным файлом"))) << error.toStdString();
}
