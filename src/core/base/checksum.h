#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <cstdint>

namespace rv {

// The block checksum of record replies and firmware frames: the unsigned sum of the bytes, modulo 65536.
uint16_t blockChecksum(QByteArrayView data);

// CRC-16/MODBUS: reflected polynomial 0xA001, initial value 0xFFFF, no final XOR.
uint16_t crc16Modbus(QByteArrayView data, uint16_t crc = 0xFFFF);

} // namespace rv
