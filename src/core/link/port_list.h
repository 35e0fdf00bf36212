#pragma once

#include <QString>
#include <QStringList>

namespace rv {

// Serial ports that can be opened now, in natural order (ttyUSB2 before ttyUSB10, COM2 before COM10).
// POSIX: /dev/ttyUSB*, /dev/ttyACM*, /dev/ttyS*, group by group; each candidate is opened without becoming
// the controlling terminal, checked to be a terminal, and closed again.
// Windows: the COM ports the system lists (HKLM\HARDWARE\DEVICEMAP\SERIALCOMM), each opened exclusively
// and closed again.
// A port in use, this program's own included, is not listed.
QStringList listSerialPorts();

// The same listing over another folder of devices (the tests point it at links to pseudo-terminals).
// Windows has no such folder: it lists what the system lists.
QStringList listSerialPorts(const QString& folder);

// The port tried when Config.ini names none: "COM1" on Windows; on POSIX the first port listed, else
// /dev/ttyUSB0.
QString defaultSerialPort();

} // namespace rv
