#include "core/link/port_list.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <pty.h>
#include <unistd.h>

namespace rv {
namespace {

struct Pty {
    int master = -1;
    int slave = -1;
    char name[256] = {};
    Pty() { openpty(&master, &slave, name, nullptr, nullptr); }
    ~Pty()
    {
        if (slave >= 0)
            ::close(slave);
        if (master >= 0)
            ::close(master);
    }
};

TEST(PortList, ListsTerminalsInNaturalOrder_SkipsOtherFiles)
{
    QTemporaryDir dir;
    Pty a, b, c;
    ASSERT_GE(a.master, 0);
    ASSERT_GE(b.master, 0);
    ASSERT_GE(c.master, 0);
    ASSERT_TRUE(QFile::link(QString::fromLocal8Bit(a.name), dir.filePath("ttyUSB10")));
    ASSERT_TRUE(QFile::link(QString::fromLocal8Bit(b.name), dir.filePath("ttyUSB2")));
    ASSERT_TRUE(QFile::link(QString::fromLocal8Bit(c.name), dir.filePath("ttyS0")));
    QFile plain(dir.filePath("ttyACM0"));  // not a terminal
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    ASSERT_TRUE(QFile::link(dir.filePath("nowhere"), dir.filePath("ttyS1")));  // dangling
    ASSERT_TRUE(QFile::link(QString::fromLocal8Bit(c.name), dir.filePath("ttySomething")));

    EXPECT_EQ(listSerialPorts(dir.path()),
              (QStringList{dir.filePath("ttyUSB2"), dir.filePath("ttyUSB10"), dir.filePath("ttyS0")}));
    EXPECT_TRUE(listSerialPorts(dir.filePath("absent")).isEmpty());
}

} // namespace
} // namespace rv
