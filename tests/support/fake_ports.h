#pragma once

// A computer's serial ports in a temporary folder, for the port lister: `dev` holds the device nodes (links
// to pseudo-terminals, so they open like ports) and serial/by-id, `sys` the sysfs entries a kernel makes
// for a USB adapter, an on-board UART, a UART slot with nothing behind it and a virtual terminal.

#include "core/link/port_list.h"
#include "support/pty_pair.h"

#include <QTemporaryDir>

#include <map>
#include <memory>

namespace rvtest {

class FakePorts {
public:
    FakePorts();

    rv::PortListRoots roots() const;
    QString devPath(const QString& name) const;
    // Where programs leave their "LCK..NAME" files.
    QString lockDir() const;

    // A USB adapter plugged in: /dev/NAME, its sysfs tty, interface and USB device with the descriptor
    // strings (an empty one is left out, as the kernel does), and its by-id link when `byId` is given.
    void plugUsb(const QString& name, const QString& maker, const QString& product, const QString& serial,
                 const QString& byId = {});
    void unplug(const QString& name);
    // An on-board UART of the given 8250 type (0: no UART answers behind the slot).
    void addUart(const QString& name, int type);
    // A tty sysfs knows with no device behind it (a virtual console).
    void addVirtual(const QString& name);

private:
    void node(const QString& name);
    void write(const QString& path, const QString& text);

    QTemporaryDir m_dir;
    std::map<QString, std::unique_ptr<PtyPair>> m_ptys;
    int m_usbDevices = 0;
};

} // namespace rvtest
