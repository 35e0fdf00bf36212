#pragma once

#include <QString>
#include <QStringList>

namespace rv {

// Serial ports that can be opened now: /dev/ttyUSB*, /dev/ttyACM*, /dev/ttyS*, each group in natural
// order (ttyUSB2 before ttyUSB10). Each candidate is opened without becoming the controlling
// terminal, checked to be a terminal, and closed again.
QStringList listSerialPorts();

// The same listing over another folder (the tests point it at links to pseudo-terminals).
QStringList listSerialPorts(const QString& folder);

} // namespace rv
