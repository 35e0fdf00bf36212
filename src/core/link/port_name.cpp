#include "core/link/port_name.h"

namespace rv {

int windowsPortNumber(const QString& portName)
{
    // Like a lenient string-to-number: leading digits count, anything else reads as 0 ("TCP/IP" → 0).
    const QString tail = portName.mid(3);
    qsizetype digits = 0;
    while (digits < tail.size() && digits < 9 && tail.at(digits).isDigit())
        ++digits;
    return digits > 0 ? tail.left(digits).toInt() : 0;
}

QString windowsDeviceNameForPort(const QString& portName)
{
    return windowsPortNumber(portName) > 9 ? QStringLiteral("\\\\.\\") + portName : portName;
}

} // namespace rv
