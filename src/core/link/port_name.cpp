#include "core/link/port_name.h"

namespace rv {

QString windowsDeviceNameForPort(const QString& portName)
{
    // Like a lenient string-to-number: leading digits count, anything else reads as 0 ("TCP/IP" → 0).
    const QString tail = portName.mid(3);
    qsizetype digits = 0;
    while (digits < tail.size() && tail.at(digits).isDigit())
        ++digits;
    const int number = digits > 0 ? tail.left(digits).toInt() : 0;
    return number > 9 ? QStringLiteral("\\\\.\\") + portName : portName;
}

QString deviceNameForPort(const QString& portName)
{
#ifdef Q_OS_WIN
    return windowsDeviceNameForPort(portName);
#else
    return portName;
#endif
}

} // namespace rv
