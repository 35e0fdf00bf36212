#pragma once

// Little-endian reads and writes on byte buffers. Every multi-byte value on the wire, in the records
// and in the files goes through these; callers check bounds before they call.

#include <QByteArray>
#include <QByteArrayView>
#include <cstdint>

namespace rv::le {

inline uint8_t u8(QByteArrayView b, qsizetype at) { return static_cast<uint8_t>(b[at]); }

inline uint16_t u16(QByteArrayView b, qsizetype at)
{
    return static_cast<uint16_t>(u8(b, at) | (u8(b, at + 1) << 8));
}

inline uint32_t u32(QByteArrayView b, qsizetype at)
{
    return static_cast<uint32_t>(u16(b, at)) | (static_cast<uint32_t>(u16(b, at + 2)) << 16);
}

inline uint32_t u24(QByteArrayView b, qsizetype at)
{
    return static_cast<uint32_t>(u16(b, at)) | (static_cast<uint32_t>(u8(b, at + 2)) << 16);
}

inline void put16(QByteArray& b, qsizetype at, uint16_t v)
{
    b[at] = static_cast<char>(v & 0xFF);
    b[at + 1] = static_cast<char>(v >> 8);
}

inline void put32(QByteArray& b, qsizetype at, uint32_t v)
{
    put16(b, at, static_cast<uint16_t>(v & 0xFFFF));
    put16(b, at + 2, static_cast<uint16_t>(v >> 16));
}

inline QByteArray bytes16(uint16_t v)
{
    QByteArray b(2, '\0');
    put16(b, 0, v);
    return b;
}

inline QByteArray bytes32(uint32_t v)
{
    QByteArray b(4, '\0');
    put32(b, 0, v);
    return b;
}

} // namespace rv::le
