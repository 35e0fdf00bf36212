#pragma once

// Track memory packets laid out by hand, and a small track whose figures are known without the code under
// test: a square on the equator (a side of 0.01°, 1.112 km), driven round once with one stop and one packet
// without a valid position.

#include "core/base/bytes.h"
#include "core/base/checksum.h"

#include <QByteArray>

#include <cstdint>

namespace rvtest {

struct PacketFields
{
    int32_t time = 1767261600;   // 2026-01-01 10:00:00 UTC
    int32_t lat = 0;             // millionths of a degree
    int32_t lon = 0;
    uint16_t speed = 0;          // tenths of km/h
    uint16_t course = 0;         // tenths of a degree
    uint16_t altitude = 150;
    uint8_t satellites = 9;
    uint8_t hdop = 12;
    bool notValid = false;       // bit 4 of byte 12
    bool brokenCrc = false;
};

inline QByteArray trackPacket(const PacketFields& s)
{
    QByteArray b(105, '\0');
    rv::le::put32(b, 0, static_cast<uint32_t>(s.time));
    rv::le::put32(b, 4, static_cast<uint32_t>(s.lat));
    rv::le::put32(b, 8, static_cast<uint32_t>(s.lon));
    b[12] = static_cast<char>((s.satellites & 0x0F) | (s.notValid ? 0x10 : 0));
    b[13] = static_cast<char>(s.hdop);
    rv::le::put16(b, 14, s.altitude);
    rv::le::put16(b, 16, s.speed);
    rv::le::put16(b, 18, s.course);
    const uint16_t crc = rv::crc16Modbus(QByteArrayView(b).first(103));
    rv::le::put16(b, 103, static_cast<uint16_t>(s.brokenCrc ? crc ^ 0x0101 : crc));
    return b;
}

// The square, anticlockwise from A (0°, 37.600° E): east along the equator to B, a stop of four minutes at B,
// north to C (0.010° N), west to D, south back to A; a point every 111.195 m and 10 s at 40 km/h, the last side
// at 55.5 km/h, and one packet without a valid position between C and D. Its figures:
//   42 points, 4.448 km (4 × 1.11195), 640 s from first to last, 400 s moving, 55.5 km/h at most, 1 stop
//   (at point 10, 240 s), 1 invalid fix, 1 segment.
struct SquareLoop
{
    static constexpr int32_t kStart = 1767261600;
    static constexpr int kPoints = 42;
    static constexpr int kStopPoint = 10;
    static constexpr int32_t kStopSeconds = 240;
};

inline QByteArray squareLoop()
{
    QByteArray all;
    int32_t t = SquareLoop::kStart;
    const int32_t lon0 = 37600000, step = 1000;
    PacketFields p;
    auto put = [&](int32_t lat, int32_t lon, uint16_t speed, uint16_t course) {
        p.time = t;
        p.lat = lat;
        p.lon = lon;
        p.speed = speed;
        p.course = course;
        all += trackPacket(p);
    };
    // A to B: points 0..10, the last one standing.
    for (int i = 0; i <= 10; ++i, t += 10)
        put(0, lon0 + i * step, i == 10 ? 0 : 400, 900);
    t += SquareLoop::kStopSeconds - 10;
    // B to C: point 11 leaves B, 12..21 go north.
    for (int i = 0; i <= 10; ++i, t += 10)
        put(i * step, lon0 + 10 * step, 400, 0);
    // C to D: points 22..31, with a packet without a position after the first.
    for (int i = 1; i <= 10; ++i, t += 10) {
        put(10 * step, lon0 + (10 - i) * step, 400, 2700);
        if (i == 1) {
            PacketFields lost;
            lost.time = t + 5;
            lost.notValid = true;
            lost.satellites = 2;
            all += trackPacket(lost);
        }
    }
    // D to A: points 32..41, the fastest side.
    for (int i = 1; i <= 10; ++i, t += 10)
        put((10 - i) * step, lon0, 555, 1800);
    return all;
}

} // namespace rvtest
