#include "core/link/port_name.h"

namespace rv {

QString deviceNameForPort(const QString& portName)
{
    return windowsDeviceNameForPort(portName);
}

} // namespace rv
