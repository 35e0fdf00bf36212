// The serial ports of a POSIX system: the terminal devices under /dev that can be opened now.

#include "core/link/port_list.h"

#include <QDir>
#include <QFile>

#include <algorithm>

#include <fcntl.h>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>

namespace rv {

namespace {

bool isOpenableTty(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    termios t{};
    // A port another program (or this one) holds is not offered: the lock test is what opening does.
    const bool ok = ::isatty(fd) == 1 && ::tcgetattr(fd, &t) == 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    return ok;
}

} // namespace

QStringList listSerialPorts(const QString& folder)
{
    QStringList out;
    const QDir dir(folder);
    for (const char* prefix : {"ttyUSB", "ttyACM", "ttyS"}) {
        const QString p = QString::fromLatin1(prefix);
        QStringList names = dir.entryList({p + u'*'}, QDir::System | QDir::Files | QDir::NoDotAndDotDot);
        // "ttyS*" also matches other names; keep only the prefix followed by digits.
        names.erase(std::remove_if(names.begin(), names.end(), [&](const QString& n) {
                        bool ok = false;
                        n.mid(p.size()).toUInt(&ok);
                        return !ok;
                    }),
                    names.end());
        std::sort(names.begin(), names.end(), [&](const QString& a, const QString& b) {
            return a.mid(p.size()).toUInt() < b.mid(p.size()).toUInt();
        });
        for (const QString& n : names) {
            const QString path = dir.filePath(n);
            if (isOpenableTty(path))
                out.append(path);
        }
    }
    return out;
}

QStringList listSerialPorts()
{
    return listSerialPorts(QStringLiteral("/dev"));
}

QString defaultSerialPort()
{
    const QStringList ports = listSerialPorts();
    return ports.isEmpty() ? QStringLiteral("/dev/ttyUSB0") : ports.first();
}

} // namespace rv
