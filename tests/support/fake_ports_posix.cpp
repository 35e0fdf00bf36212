#include "support/fake_ports.h"

#include <QDir>
#include <QFile>

namespace rvtest {

FakePorts::FakePorts()
{
    QDir root(m_dir.path());
    root.mkpath(QStringLiteral("dev/serial/by-id"));
    root.mkpath(QStringLiteral("sys/class/tty"));
    root.mkpath(QStringLiteral("sys/devices"));
    root.mkpath(QStringLiteral("lock"));
}

QString FakePorts::lockDir() const
{
    return m_dir.filePath(QStringLiteral("lock"));
}

rv::PortListRoots FakePorts::roots() const
{
    return {m_dir.filePath(QStringLiteral("dev")), m_dir.filePath(QStringLiteral("sys")), {lockDir()}};
}

QString FakePorts::devPath(const QString& name) const
{
    return m_dir.filePath(QStringLiteral("dev/") + name);
}

void FakePorts::node(const QString& name)
{
    auto pty = std::make_unique<PtyPair>();
    QFile::link(pty->slavePath(), devPath(name));
    m_ptys[name] = std::move(pty);
}

void FakePorts::write(const QString& path, const QString& text)
{
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(text.toUtf8() + '\n');
}

void FakePorts::plugUsb(const QString& name, const QString& maker, const QString& product, const QString& serial,
                        const QString& byId)
{
    // /sys/devices/pci0000:00/0000:00:14.0/usb1/1-N/1-N:1.0/ttyUSB0/tty/ttyUSB0, as the kernel lays it out.
    const QString usb = QStringLiteral("1-%1").arg(++m_usbDevices);
    const QString device = m_dir.filePath(QStringLiteral("sys/devices/pci0000:00/0000:00:14.0/usb1/") + usb);
    const QString iface = device + u'/' + usb + QStringLiteral(":1.0");
    const bool acm = name.startsWith(QLatin1String("ttyACM"));
    const QString port = acm ? iface : iface + u'/' + name; // ttyACM hangs from the interface itself
    const QString tty = port + QStringLiteral("/tty/") + name;
    QDir().mkpath(tty);
    write(device + QStringLiteral("/idVendor"), QStringLiteral("0403"));
    write(device + QStringLiteral("/idProduct"), QStringLiteral("6001"));
    if (!maker.isEmpty())
        write(device + QStringLiteral("/manufacturer"), maker);
    if (!product.isEmpty())
        write(device + QStringLiteral("/product"), product);
    if (!serial.isEmpty())
        write(device + QStringLiteral("/serial"), serial);
    QFile::link(port, tty + QStringLiteral("/device"));
    QFile::link(tty, m_dir.filePath(QStringLiteral("sys/class/tty/") + name));
    node(name);
    if (!byId.isEmpty())
        QFile::link(QStringLiteral("../../") + name, m_dir.filePath(QStringLiteral("dev/serial/by-id/") + byId));
}

void FakePorts::unplug(const QString& name)
{
    QFile::remove(devPath(name));
    QFile::remove(m_dir.filePath(QStringLiteral("sys/class/tty/") + name));
    for (const QString& link : QDir(m_dir.filePath(QStringLiteral("dev/serial/by-id"))).entryList(QDir::System | QDir::Files))
        if (QFile::symLinkTarget(m_dir.filePath(QStringLiteral("dev/serial/by-id/") + link)).endsWith(u'/' + name))
            QFile::remove(m_dir.filePath(QStringLiteral("dev/serial/by-id/") + link));
    m_ptys.erase(name);
}

void FakePorts::addUart(const QString& name, int type)
{
    const QString tty = m_dir.filePath(QStringLiteral("sys/devices/platform/serial8250/tty/") + name);
    QDir().mkpath(tty);
    write(tty + QStringLiteral("/type"), QString::number(type));
    QFile::link(m_dir.filePath(QStringLiteral("sys/devices/platform/serial8250")), tty + QStringLiteral("/device"));
    QFile::link(tty, m_dir.filePath(QStringLiteral("sys/class/tty/") + name));
    node(name);
}

void FakePorts::addVirtual(const QString& name)
{
    const QString tty = m_dir.filePath(QStringLiteral("sys/devices/virtual/tty/") + name);
    QDir().mkpath(tty);
    QFile::link(tty, m_dir.filePath(QStringLiteral("sys/class/tty/") + name));
    node(name);
}

} // namespace rvtest
