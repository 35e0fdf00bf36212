#include "core/link/port_list.h"
#include "core/link/serial_link.h"
#include "support/pty_pair.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>


namespace rv {
namespace {

TEST(PortList, ListsTerminalsInNaturalOrder_SkipsOtherFiles)
{
    QTemporaryDir dir;
    rvtest::PtyPair a, b, c;
    ASSERT_TRUE(a.ok() && b.ok() && c.ok());
    ASSERT_TRUE(QFile::link(a.slavePath(), dir.filePath("ttyUSB10")));
    ASSERT_TRUE(QFile::link(b.slavePath(), dir.filePath("ttyUSB2")));
    ASSERT_TRUE(QFile::link(c.slavePath(), dir.filePath("ttyS0")));
    QFile plain(dir.filePath("ttyACM0"));  // not a terminal
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    ASSERT_TRUE(QFile::link(dir.filePath("nowhere"), dir.filePath("ttyS1")));  // dangling
    ASSERT_TRUE(QFile::link(c.slavePath(), dir.filePath("ttySomething")));

    EXPECT_EQ(listSerialPorts(dir.path()),
              (QStringList{dir.filePath("ttyUSB2"), dir.filePath("ttyUSB10"), dir.filePath("ttyS0")}));
    EXPECT_TRUE(listSerialPorts(dir.filePath("absent")).isEmpty());

    // A port in use, this program's own included, is not listed.
    SerialLink held;
    ASSERT_TRUE(held.open(b.slavePath()));
    EXPECT_EQ(listSerialPorts(dir.path()), (QStringList{dir.filePath("ttyUSB10"), dir.filePath("ttyS0")}));
}

} // namespace
} // namespace rv
