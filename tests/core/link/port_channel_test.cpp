// The port channel over any link, and the Windows rule of port names (checked on every platform).

#include "core/link/memory_link.h"
#include "core/link/port_channel.h"
#include "core/link/port_name.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace rv;

TEST(PortName, WindowsPrefixOnlyAboveCom9)
{
    EXPECT_EQ(windowsDeviceNameForPort(QStringLiteral("COM9")), QStringLiteral("COM9"));
    EXPECT_EQ(windowsDeviceNameForPort(QStringLiteral("COM10")), QStringLiteral("\\\\.\\COM10"));
    EXPECT_EQ(windowsDeviceNameForPort(QStringLiteral("TCP/IP")), QStringLiteral("TCP/IP"));
    EXPECT_EQ(windowsPortNumber(QStringLiteral("COM123")), 123);
    EXPECT_EQ(windowsPortNumber(QStringLiteral("com7 ")), 7);
    EXPECT_EQ(windowsPortNumber(QStringLiteral("CO")), 0);
}

TEST(PortChannel, ReopeningSaysGoodbyeToTheOldPort)
{
    MemoryLink link;
    PortChannel channel(link);
    EXPECT_EQ(channel.Send("CONFIGO"), -1); // closed
    ASSERT_TRUE(channel.Open_port(QStringLiteral("a")));
    EXPECT_TRUE(link.written().isEmpty());   // nothing to say goodbye to
    ASSERT_TRUE(channel.Open_port(QStringLiteral("b")));
    EXPECT_EQ(link.writes(), QList<QByteArray>{"CONFIGC"});
    EXPECT_EQ(link.openedName(), QStringLiteral("b"));
    EXPECT_EQ(channel.Send(QByteArrayView()), 0);
    EXPECT_EQ(channel.SendStr("CONFIGG"), 7);

    QSignalSpy rx(&channel, &PortChannel::rxChar);
    link.feed("GPS");
    link.feed("E");
    EXPECT_EQ(channel.bytesWaiting(), 4u);
    EXPECT_EQ(rx.size(), 2);

    link.setMissingPorts({QStringLiteral("TCP/IP")});
    EXPECT_FALSE(channel.Open_port(QStringLiteral("TCP/IP")));
}
