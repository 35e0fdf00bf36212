#pragma once

#include <QString>

namespace rv {

// The device that the platform opens for a port name as the user sees it. On POSIX the name is the
// device path itself (/dev/ttyUSB0, a pseudo-terminal). On Windows ports above COM9 need the "\\.\" prefix.
QString deviceNameForPort(const QString& portName);

// The Windows rule, kept separately so it can be checked anywhere: the number that follows the first
// three characters of the name; above 9 the device is "\\.\" followed by the name.
QString windowsDeviceNameForPort(const QString& portName);

// The number that follows the first three characters of a Windows port name ("COM12" → 12, "TCP/IP" → 0):
// the number of the device name rule above, and the order of the port list.
int windowsPortNumber(const QString& portName);

} // namespace rv
