#pragma once

// The serial ports of this computer as a fitter recognises them: each with the adapter behind it and
// whether it can be opened now. The port dialog and `rvctl ports` show this list.
//
// The contract every platform's lister keeps (port_list_posix.cpp, port_list_win32.cpp):
// - `name` is what the serial component opens and what Config.ini stores: a device path on POSIX
//   ("/dev/ttyUSB0"), "COMn" on Windows (never with the "\\.\" prefix).
// - `description` names the adapter as its maker does, for a person: on Linux maker, product and serial
//   number from sysfs ("FTDI FT232R USB UART (A10K3XYZ)"), on Windows the friendly name Device Manager
//   shows ("USB Serial Port (COM5)"). Empty when nothing is known; it never repeats `name` alone.
// - `hardware` is true when the system names a device behind the port (a USB adapter, a PCI card, a
//   UART on the board that answers). A port without one (a ttyS that no UART stands behind) is left out
//   when the system can tell, and listed last, with `hardware` false, when it cannot.
// - `state` says whether opening it now would succeed. A port held by another program is listed as
//   Busy, never hidden, so the user learns why it will not open. This program's own open port is Busy too.
// - Order: ports with hardware first, USB adapters before the others, each kind in natural order
//   (ttyUSB2 before ttyUSB10, COM2 before COM10); then the ports without hardware. No name twice.
// - Listing never changes a port: it may open and close one to learn its state, but it sends nothing
//   and keeps no handle.

#include <QList>
#include <QString>
#include <QStringList>

namespace rv {

struct PortInfo {
    enum class State {
        Free,      // opening it now would succeed
        Busy,      // another program (or this one) holds it
        NoAccess,  // the user may not open it (POSIX: not in the device's group)
    };

    QString name;
    QString description;
    bool hardware = false;
    bool usb = false;   // the device behind it is on USB (a cable's adapter)
    State state = State::Free;

    bool operator==(const PortInfo&) const = default;
};

// Where the lister looks. The POSIX lister reads device nodes under `dev` (and links under
// `dev`/serial/by-id), sysfs under `sys`, and the lock files ("LCK..ttyUSB0") that programs such as
// minicom leave in `locks`; tests point them at a fake tree in a temporary folder. The Windows lister asks
// the system and ignores them.
struct PortListRoots {
    QString dev = QStringLiteral("/dev");
    QString sys = QStringLiteral("/sys");
    QStringList locks = {QStringLiteral("/run/lock"), QStringLiteral("/var/lock")};
};

// The ports of this computer, in the order above.
QList<PortInfo> listPorts(const PortListRoots& roots = {});

// A cheap token of which ports exist, to poll while the port dialog is open: it changes when an adapter
// is plugged in or pulled out. It opens no port (opening one can toggle its DTR line and reset what
// hangs on it), so it does not see a port become busy or free.
QString portListToken(const PortListRoots& roots = {});

// The names of the listed ports that are free now, in the list's order.
QStringList listSerialPorts();

// The port tried when Config.ini names none: "COM1" on Windows; on POSIX the first free port, else
// /dev/ttyUSB0.
QString defaultSerialPort();

// "FTDI FT232R USB UART (A10K3XYZ)" from its parts: the product named once even when it repeats the maker
// (as "Silicon Labs CP2102" does), the serial number in brackets; empty parts are left out.
QString adapterDescription(const QString& maker, const QString& product, const QString& serial);

// The words of a /dev/serial/by-id link name: "usb-FTDI_FT232R_USB_UART_A10K3XYZ-if00-port0" gives
// "FTDI FT232R USB UART A10K3XYZ". For an adapter whose sysfs says nothing.
QString byIdDescription(const QString& linkName);

// The list's order (see above), for the platforms' listers.
void sortPorts(QList<PortInfo>& ports);

} // namespace rv
