// The rules of the port list that every platform's lister shares: the adapters' descriptions and the order.

#include "core/link/port_list.h"

#include <QFileInfo>
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

TEST(PortList, DescriptionsAndOrder)
{
    EXPECT_EQ(adapterDescription("FTDI", "FT232R USB UART", "A10K3XYZ"), "FTDI FT232R USB UART (A10K3XYZ)");
    EXPECT_EQ(adapterDescription("Silicon Labs", "Silicon Labs CP2102 USB to UART", {}), "Silicon Labs CP2102 USB to UART");
    EXPECT_EQ(adapterDescription({}, {}, "0001"), "(0001)");
    EXPECT_EQ(adapterDescription(" ", {}, {}), QString());
    EXPECT_EQ(byIdDescription("usb-FTDI_FT232R_USB_UART_A10K3XYZ-if00-port0"), "FTDI FT232R USB UART A10K3XYZ");
    EXPECT_EQ(byIdDescription("usb-1a86_USB_Serial-if00"), "1a86 USB Serial");
    EXPECT_EQ(byIdDescription("pci-Some_Card-port3"), "Some Card");

    QList<PortInfo> ports = {{"COM10", {}, true, true}, {"COM3", {}, true, false}, {"COM2", {}, true, true},
                             {"COM1", {}, false, false}, {"COM4", {}, true, false}};
    sortPorts(ports);
    EXPECT_EQ(names(ports), (QStringList{"COM2", "COM10", "COM3", "COM4", "COM1"}));
}

} // namespace
} // namespace rv
