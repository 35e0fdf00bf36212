// The monitor stores filled with arbitrary payloads, decoded and turned into label texts, and the CAN
// scanner records over arbitrary bytes.

#include "core/monitor/can_lines.h"
#include "core/monitor/monitor_labels.h"

#include <cstddef>
#include <cstdint>

using namespace rv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    MonitorBlocks blocks;
    blocks.gps.fillFrom(bytes);
    blocks.device.fillFrom(bytes.size() > 1 ? bytes.sliced(1) : bytes);
    const uint32_t options = size >= 4 ? static_cast<uint32_t>(data[size - 1]) : 0;
    const int type = 2 + (size >= 1 ? data[size - 1] % 3 : 0); // the unit type 2, 3 or 4 the labels are for
    BatteryWarning battery;
    (void)refreshGps(blocks, UnitProfile(uint8_t(type), options), battery);
    (void)refreshDevice(blocks, UnitProfile(uint8_t(type)));
    (void)decodeDevice(bytes);
    (void)decodeGps(bytes);
    (void)canMesLines(bytes);
    (void)canBufLines(bytes);
    return 0;
}
