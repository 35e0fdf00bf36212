#pragma once

// The unit's own byte encoding, written from the protocol description and kept apart from the
// configurator's: little-endian words, the 16-bit additive block checksum, and the record images with
// their lengths. If the configurator gets one of these wrong, the two sides disagree and the tests say so.

#include <QByteArray>
#include <QByteArrayView>
#include <cstdint>

namespace rvsim::wire {

// Record lengths on the wire and in the configuration file.
inline constexpr qsizetype kConfigSize = 512;
inline constexpr qsizetype kInpOutSize = 513;
inline constexpr qsizetype kConfSeSize = 26;
// The configuration file: the three records at fixed offsets, zero bytes between them.
inline constexpr qsizetype kFileSize = 1126;
inline constexpr qsizetype kFileInpOutAt = 550;
inline constexpr qsizetype kFileConfSeAt = 1100;

inline uint16_t get16(QByteArrayView b, qsizetype at)
{
    return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8);
}

inline uint32_t get32(QByteArrayView b, qsizetype at)
{
    return static_cast<uint32_t>(get16(b, at)) | static_cast<uint32_t>(get16(b, at + 2)) << 16;
}

inline void set16(QByteArray& b, qsizetype at, uint16_t v)
{
    b[at] = static_cast<char>(v & 0xFF);
    b[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}

inline void set32(QByteArray& b, qsizetype at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

inline QByteArray le16(uint16_t v)
{
    QByteArray b(2, '\0');
    set16(b, 0, v);
    return b;
}

inline QByteArray le32(uint32_t v)
{
    QByteArray b(4, '\0');
    set32(b, 0, v);
    return b;
}

// Sum of the payload bytes as unsigned numbers, modulo 65536.
inline uint16_t blockSum(QByteArrayView payload)
{
    uint32_t sum = 0;
    for (char c : payload)
        sum += static_cast<uint8_t>(c);
    return static_cast<uint16_t>(sum & 0xFFFF);
}

// CRC-16/MODBUS of the network frames, bit by bit: reflected polynomial 0xA001, start 0xFFFF, no final XOR.
inline uint16_t crc16(QByteArrayView data)
{
    uint16_t crc = 0xFFFF;
    for (char c : data) {
        crc ^= static_cast<uint8_t>(c);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : static_cast<uint16_t>(crc >> 1);
    }
    return crc;
}

} // namespace rvsim::wire
