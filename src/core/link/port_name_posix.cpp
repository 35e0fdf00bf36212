#include "core/link/port_name.h"

namespace rv {

// A POSIX port name is the device path itself.
QString deviceNameForPort(const QString& portName)
{
    return portName;
}

} // namespace rv
