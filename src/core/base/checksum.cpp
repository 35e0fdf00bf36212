#include "core/base/checksum.h"

#include <array>

namespace rv {

uint16_t blockChecksum(QByteArrayView data)
{
    uint16_t sum = 0;
    for (char c : data)
        sum = static_cast<uint16_t>(sum + static_cast<uint8_t>(c));
    return sum;
}

namespace {
constexpr std::array<uint16_t, 256> makeCrcTable()
{
    std::array<uint16_t, 256> t{};
    for (unsigned i = 0; i < 256; ++i) {
        uint16_t c = static_cast<uint16_t>(i);
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? static_cast<uint16_t>((c >> 1) ^ 0xA001) : static_cast<uint16_t>(c >> 1);
        t[i] = c;
    }
    return t;
}
constexpr auto kCrcTable = makeCrcTable();
} // namespace

uint16_t crc16Modbus(QByteArrayView data, uint16_t crc)
{
    for (char c : data)
        crc = static_cast<uint16_t>((crc >> 8) ^ kCrcTable[(crc ^ static_cast<uint8_t>(c)) & 0xFF]);
    return crc;
}

} // namespace rv
