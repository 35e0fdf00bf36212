#include "track_memory.h"

#include "telemetry.h"
#include "wire.h"

#include <algorithm>

namespace rvsim {

namespace {
constexpr qsizetype kPacket = 105;
constexpr int kBlockMax = 1017; // a block and its header fill the configurator's 1024-byte buffer
constexpr int kSecondsApart = 10;

QByteArray mem(char kind, char status) { return QByteArray("+MEM") + kind + status; }
} // namespace

QByteArray TrackMemory::packet(uint32_t index, uint32_t number, bool broken)
{
    // The telemetry's loop, one packet every ten seconds of driving.
    Telemetry t;
    for (uint32_t i = 0; i < index % 240; ++i)
        t.advance();
    QByteArray p = t.gpsPayload();
    wire::set32(p, 0, 1767225600u + index * kSecondsApart);
    wire::set16(p, 81, static_cast<uint16_t>(number));
    wire::set32(p, 83, index * 97);
    uint16_t crc = wire::crc16(QByteArrayView(p).first(103));
    if (broken)
        crc ^= 0x5A5A;
    wire::set16(p, 103, crc);
    return p;
}

const QByteArray& TrackMemory::packets()
{
    if (!m_packets) {
        const qsizetype count = std::max<qsizetype>(0, m_o.size) / kPacket;
        QByteArray all;
        all.reserve(count * kPacket);
        // One lap of the route, then the same positions again with new times and numbers.
        QByteArray lap[240];
        for (uint32_t i = 0; i < 240 && i < count; ++i)
            lap[i] = packet(i, 0, false);
        for (qsizetype i = 0; i < count; ++i) {
            QByteArray p = lap[i % 240];
            wire::set32(p, 0, 1767225600u + static_cast<uint32_t>(i) * kSecondsApart);
            wire::set16(p, 81, static_cast<uint16_t>(m_o.firstNumber + i));
            wire::set32(p, 83, static_cast<uint32_t>(i) * 97);
            uint16_t crc = wire::crc16(QByteArrayView(p).first(103));
            if (m_o.invalidEvery > 0 && i % m_o.invalidEvery == m_o.invalidEvery - 1)
                crc ^= 0x5A5A;
            wire::set16(p, 103, crc);
            all += p;
        }
        m_packets = std::move(all);
    }
    return *m_packets;
}

QByteArray TrackMemory::start(qsizetype from, qsizetype count)
{
    if (count <= 0)
        return mem(0, 2);
    m_reading = true;
    m_served = packets().mid(from * kPacket, count * kPacket);
    m_at = 0;
    m_blocks = 0;
    if (m_o.oversize) {
        m_reading = false;
        return mem(0, 0) + wire::le32(0xF0000000u);
    }
    return mem(0, 0) + wire::le32(static_cast<uint32_t>(m_served.size()) + m_o.shortBy);
}

QByteArray TrackMemory::nextBlock()
{
    if (!m_reading)
        return {};
    if (m_at >= m_served.size()) {
        m_reading = false;
        return mem(0, 1);
    }
    const qsizetype n = std::min<qsizetype>(std::clamp(m_o.block, 1, kBlockMax), m_served.size() - m_at);
    QByteArray b = mem(1, 0).left(5) + wire::le16(static_cast<uint16_t>(n)) + m_served.mid(m_at, n);
    m_at += n;
    ++m_blocks;
    return b;
}

qsizetype TrackMemory::command(QByteArrayView input, QByteArray& reply, QByteArray& name)
{
    if (input.size() < 8)
        return 0;
    const auto sub = static_cast<uint8_t>(input[7]);
    const qsizetype held = packets().size() / kPacket;
    switch (sub) {
    case 0x00: {
        if (input.size() < 9)
            return 0;
        name = "CONFIGM-undelivered";
        const auto server = static_cast<uint8_t>(input[8]);
        // Server 1 has been sent nothing yet; server 2 lacks the newest quarter.
        if (server > 1)
            reply = mem(0, 3);
        else
            reply = server == 0 ? start(0, held) : start(held - held / 4, held / 4);
        m_last = reply;
        return 9;
    }
    case 0x01: {
        if (input.size() < 14)
            return 0;
        name = "CONFIGM-range";
        const uint32_t first = wire::get32(input, 8);
        const uint16_t count = wire::get16(input, 12);
        const qint64 from = qint64(first) - m_o.firstNumber;
        if (count == 0 || from < 0 || from >= held)
            reply = mem(0, 3);
        else
            reply = start(from, std::min<qint64>(count, held - from));
        m_last = reply;
        return 14;
    }
    case 0x0A: {
        if (input.size() < 10)
            return 0;
        const bool repeat = input[9] == '\x01';
        name = repeat ? "CONFIGM-repeat" : "CONFIGM-next";
        if (repeat) {
            reply = m_last;
            return 10;
        }
        if (!m_reading)
            return 10;
        const int index = m_blocks;
        reply = nextBlock();
        m_last = reply;
        if (index == m_o.silentAt && reply.startsWith(QByteArray("+MEM\x01", 5))) {
            m_o.silentAt = -1; // lost once; the repeat brings it
            reply.clear();
        }
        return 10;
    }
    default:
        return -1;
    }
}

} // namespace rvsim
