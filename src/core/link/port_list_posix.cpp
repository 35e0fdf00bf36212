// The port list on Linux: the tty devices that sysfs places a device behind, with the USB adapter's
// maker, product and serial number, and /dev/serial/by-id for an adapter whose sysfs says nothing.

#include "core/link/port_list.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <optional>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace rv {

namespace {

// The names a serial port goes by in /dev when sysfs cannot be asked.
const QStringList kPrefixes = {QStringLiteral("ttyUSB"), QStringLiteral("ttyACM"), QStringLiteral("ttyS")};

bool hasPrefixAndNumber(const QString& name)
{
    for (const QString& p : kPrefixes) {
        if (!name.startsWith(p) || name.size() == p.size())
            continue;
        bool number = false;
        name.mid(p.size()).toUInt(&number);
        if (number)
            return true;
    }
    return false;
}

// One sysfs attribute. Its text comes from the device (a USB descriptor), so it is bounded and stripped
// of control characters before anyone shows it.
QString attribute(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QString text = QString::fromUtf8(f.read(256));
    for (QChar& c : text)
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format)
            c = u' ';
    return text.simplified().left(100);
}

bool isCharDevice(const QString& path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISCHR(st.st_mode);
}

// Whether the port opens now. It is opened without becoming the controlling terminal and closed again.
std::optional<PortInfo::State> openState(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == EBUSY)
            return PortInfo::State::Busy; // held exclusively (TIOCEXCL) by another program
        if (errno == EACCES || errno == EPERM)
            return PortInfo::State::NoAccess;
        return std::nullopt; // no device answers behind the node
    }
    termios t{};
    std::optional<PortInfo::State> state;
    if (::isatty(fd) == 1 && ::tcgetattr(fd, &t) == 0)
        // The lock the serial component takes when it opens a port: this program's own port answers Busy too.
        state = ::flock(fd, LOCK_EX | LOCK_NB) == 0 ? PortInfo::State::Free : PortInfo::State::Busy;
    ::close(fd);
    return state;
}

// A lock file another program left for the port ("LCK..ttyUSB0": its process id, as text or as a binary
// int) while that program still runs. A stale one, of a process long gone, holds nothing.
bool lockedByFile(const QStringList& lockDirs, const QString& name)
{
    for (const QString& dir : lockDirs) {
        QFile f(dir + QStringLiteral("/LCK..") + name);
        if (!f.open(QIODevice::ReadOnly))
            continue;
        const QByteArray bytes = f.read(64);
        bool ok = false;
        long pid = QByteArray(bytes).split('\n').value(0).trimmed().toLong(&ok);
        if (!ok && bytes.size() == int(sizeof(int))) {
            int binary = 0;
            std::memcpy(&binary, bytes.constData(), sizeof binary);
            pid = binary;
            ok = true;
        }
        if (ok && pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM))
            return true;
    }
    return false;
}

struct SysfsPort {
    bool known = false;     // sysfs has the tty
    bool hardware = false;  // and a device behind it
    bool usb = false;
    QString description;
    bool named = false;     // the description is the device's own words, not its numbers
};

SysfsPort fromSysfs(const QString& sys, const QString& name)
{
    SysfsPort out;
    const QString tty = sys + QStringLiteral("/class/tty/") + name;
    if (!QFileInfo::exists(tty))
        return out;
    out.known = true;
    const QString device = QFileInfo(tty + QStringLiteral("/device")).canonicalFilePath();
    if (device.isEmpty())
        return out; // a virtual terminal, a pseudo-terminal, a console
    // An 8250 port that no UART answers behind has type 0 ("unknown"): nothing to plug a cable into.
    const QString type = attribute(tty + QStringLiteral("/type"));
    if (!type.isEmpty() && type == QLatin1String("0"))
        return out;
    out.hardware = true;
    // Up from the port to the USB device: the first folder with idVendor holds the descriptor strings.
    const QString top = QFileInfo(sys).canonicalFilePath();
    QDir dir(device);
    for (int depth = 0; depth < 8 && !top.isEmpty() && dir.absolutePath().startsWith(top + u'/'); ++depth) {
        if (QFileInfo::exists(dir.filePath(QStringLiteral("idVendor")))) {
            out.usb = true;
            out.description = adapterDescription(attribute(dir.filePath(QStringLiteral("manufacturer"))),
                                                 attribute(dir.filePath(QStringLiteral("product"))),
                                                 attribute(dir.filePath(QStringLiteral("serial"))));
            out.named = !out.description.isEmpty();
            if (!out.named)
                out.description = QStringLiteral("USB %1:%2").arg(attribute(dir.filePath(QStringLiteral("idVendor"))),
                                                                  attribute(dir.filePath(QStringLiteral("idProduct"))));
            break;
        }
        if (!dir.cdUp())
            break;
    }
    return out;
}

// /dev/serial/by-id: link name by the tty it points at.
QHash<QString, QString> byIdLinks(const QString& dev)
{
    QHash<QString, QString> out;
    const QDir dir(dev + QStringLiteral("/serial/by-id"));
    for (const QFileInfo& link : dir.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot, QDir::Name)) {
        // One step only: the link names the device node (which may itself be a link elsewhere).
        const QString target = QFileInfo(link.symLinkTarget()).fileName();
        if (!target.isEmpty() && !out.contains(target))
            out.insert(target, link.fileName());
    }
    return out;
}

} // namespace

QList<PortInfo> listPorts(const PortListRoots& roots)
{
    const QDir dev(roots.dev);
    const QDir sysTty(roots.sys + QStringLiteral("/class/tty"));
    const bool sysfs = sysTty.exists();

    // The names: every tty sysfs knows, and the usual serial names in /dev (all that is known without sysfs).
    QStringList names = sysfs ? sysTty.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot) : QStringList{};
    for (const QString& n : dev.entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot))
        if (hasPrefixAndNumber(n) && !names.contains(n))
            names << n;

    const QHash<QString, QString> byId = byIdLinks(roots.dev);
    QList<PortInfo> ports;
    for (const QString& name : names) {
        const QString path = dev.filePath(name);
        const SysfsPort sys = fromSysfs(roots.sys, name);
        // Sysfs tells which ttys have nothing behind them; only where it does not know, the name decides.
        if (sys.known ? !sys.hardware : !hasPrefixAndNumber(name))
            continue;
        if (!isCharDevice(path))
            continue;
        std::optional<PortInfo::State> state = openState(path);
        if (!state)
            continue;
        if (*state == PortInfo::State::Free && lockedByFile(roots.locks, name))
            state = PortInfo::State::Busy;
        PortInfo p;
        p.name = path;
        p.hardware = sys.hardware;
        p.usb = sys.usb;
        p.description = sys.description;
        if (const auto link = byId.constFind(name); link != byId.constEnd()) {
            if (link->startsWith(QLatin1String("usb-")))
                p.usb = true;
            if (!sys.named)
                p.description = byIdDescription(*link);
        }
        p.state = *state;
        ports << p;
    }
    sortPorts(ports);
    return ports;
}

QString portListToken(const PortListRoots& roots)
{
    QStringList parts;
    for (const QString& n : QDir(roots.dev).entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot))
        if (hasPrefixAndNumber(n))
            parts << n;
    parts << QStringLiteral("|")
          << QDir(roots.dev + QStringLiteral("/serial/by-id")).entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot);
    parts << QStringLiteral("|")
          << QDir(roots.sys + QStringLiteral("/class/tty")).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    return parts.join(u'\n');
}

QString defaultSerialPort()
{
    const QStringList ports = listSerialPorts();
    return ports.isEmpty() ? QStringLiteral("/dev/ttyUSB0") : ports.first();
}

} // namespace rv
