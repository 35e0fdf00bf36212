#include "core/link/port_list.h"
#include "core/link/serial_link.h"
#include "support/fake_ports.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace rv {
namespace {

QStringList names(const QList<PortInfo>& ports)
{
    QStringList out;
    for (const PortInfo& p : ports)
        out << QFileInfo(p.name).fileName();
    return out;
}

const PortInfo* find(const QList<PortInfo>& ports, const QString& name)
{
    for (const PortInfo& p : ports)
        if (QFileInfo(p.name).fileName() == name)
            return &p;
    return nullptr;
}

// A desk as a fitter has it: two FTDI cables (one of them without descriptor strings), a CDC modem, an
// on-board UART, UART slots nobody fitted and the virtual consoles.
TEST(PortList, AdaptersFirstWithTheirNames_SlotsWithoutAUartAndConsolesLeftOut)
{
    rvtest::FakePorts desk;
    desk.addUart(QStringLiteral("ttyS0"), 4);
    desk.addUart(QStringLiteral("ttyS1"), 0);
    desk.addUart(QStringLiteral("ttyS4"), 0);
    desk.addVirtual(QStringLiteral("tty1"));
    desk.plugUsb(QStringLiteral("ttyUSB10"), QStringLiteral("FTDI"), QStringLiteral("FT232R USB UART"),
                 QStringLiteral("A10K3XYZ"), QStringLiteral("usb-FTDI_FT232R_USB_UART_A10K3XYZ-if00-port0"));
    desk.plugUsb(QStringLiteral("ttyUSB2"), {}, {}, {}, QStringLiteral("usb-Prolific_Technology_Inc._USB-Serial_Controller-if00-port0"));
    desk.plugUsb(QStringLiteral("ttyACM0"), QStringLiteral("STMicroelectronics"), QStringLiteral("STMicroelectronics Virtual COM Port"),
                 QStringLiteral("\x1b[2J2076327E4D4B"));

    const QList<PortInfo> ports = listPorts(desk.roots());
    ASSERT_EQ(names(ports), (QStringList{"ttyUSB2", "ttyUSB10", "ttyACM0", "ttyS0"}));
    EXPECT_EQ(ports[0].name, desk.devPath(QStringLiteral("ttyUSB2")));
    EXPECT_EQ(ports[1].description, QStringLiteral("FTDI FT232R USB UART (A10K3XYZ)"));
    // No strings in sysfs: the by-id link names it.
    EXPECT_EQ(ports[0].description, QStringLiteral("Prolific Technology Inc. USB-Serial Controller"));
    // The maker named once, and the device's escape sequence never reaches the screen.
    EXPECT_EQ(ports[2].description, QStringLiteral("STMicroelectronics Virtual COM Port ([2J2076327E4D4B)"));
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(ports[i].usb && ports[i].hardware) << i;
        EXPECT_EQ(ports[i].state, PortInfo::State::Free) << i;
    }
    EXPECT_TRUE(ports[3].hardware);
    EXPECT_FALSE(ports[3].usb);
    EXPECT_TRUE(ports[3].description.isEmpty());
}

TEST(PortList, APortHeldElsewhereIsBusyNotHidden_UnpluggingChangesTheToken)
{
    rvtest::FakePorts desk;
    desk.plugUsb(QStringLiteral("ttyUSB0"), QStringLiteral("FTDI"), QStringLiteral("FT232R USB UART"), QStringLiteral("A1"));
    desk.plugUsb(QStringLiteral("ttyUSB1"), QStringLiteral("FTDI"), QStringLiteral("FT232R USB UART"), QStringLiteral("B2"));
    const QString before = portListToken(desk.roots());
    EXPECT_EQ(portListToken(desk.roots()), before);

    SerialLink held; // another program, as far as the list can tell
    ASSERT_TRUE(held.open(desk.devPath(QStringLiteral("ttyUSB0"))));
    QList<PortInfo> ports = listPorts(desk.roots());
    ASSERT_EQ(names(ports), (QStringList{"ttyUSB0", "ttyUSB1"}));
    EXPECT_EQ(ports[0].state, PortInfo::State::Busy);
    EXPECT_EQ(ports[1].state, PortInfo::State::Free);
    held.close();
    EXPECT_EQ(find(listPorts(desk.roots()), QStringLiteral("ttyUSB0"))->state, PortInfo::State::Free);

    // A program that keeps a lock file (minicom) holds the port while it runs; a stale file holds nothing.
    QFile lock(desk.lockDir() + QStringLiteral("/LCK..ttyUSB1"));
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
    lock.write(QByteArray::number(QCoreApplication::applicationPid()).rightJustified(10, ' ') + '\n');
    lock.close();
    EXPECT_EQ(find(listPorts(desk.roots()), QStringLiteral("ttyUSB1"))->state, PortInfo::State::Busy);
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
    lock.write("4194304\n"); // above any process id the kernel gives
    lock.close();
    EXPECT_EQ(find(listPorts(desk.roots()), QStringLiteral("ttyUSB1"))->state, PortInfo::State::Free);

    desk.unplug(QStringLiteral("ttyUSB1"));
    EXPECT_NE(portListToken(desk.roots()), before);
    EXPECT_EQ(names(listPorts(desk.roots())), QStringList{"ttyUSB0"});
}

// Without sysfs (a container) the usual names are all there is to go by: listed after any known port,
// without a device behind them; a node that is no terminal or leads nowhere is not a port.
TEST(PortList, WithoutSysfsTheNamesDecide)
{
    QTemporaryDir dir;
    rvtest::PtyPair a, b, c;
    ASSERT_TRUE(a.ok() && b.ok() && c.ok());
    ASSERT_TRUE(QFile::link(a.slavePath(), dir.filePath("ttyUSB10")));
    ASSERT_TRUE(QFile::link(b.slavePath(), dir.filePath("ttyUSB2")));
    ASSERT_TRUE(QFile::link(c.slavePath(), dir.filePath("ttyS0")));
    QFile plain(dir.filePath("ttyACM0"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    ASSERT_TRUE(QFile::link(dir.filePath("nowhere"), dir.filePath("ttyS1")));
    ASSERT_TRUE(QFile::link(c.slavePath(), dir.filePath("ttySomething")));
    ASSERT_TRUE(QFile::link(c.slavePath(), dir.filePath("tty5")));

    const QList<PortInfo> ports = listPorts({dir.path(), dir.filePath("no-sysfs")});
    EXPECT_EQ(names(ports), (QStringList{"ttyUSB2", "ttyUSB10", "ttyS0"}));
    for (const PortInfo& p : ports)
        EXPECT_FALSE(p.hardware);
    EXPECT_TRUE(listPorts({dir.filePath("absent"), dir.filePath("absent")}).isEmpty());
}

} // namespace
} // namespace rv
