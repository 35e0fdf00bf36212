#include "track_memory.h"

#include "telemetry.h"
#include "wire.h"

#include <algorithm>
#include <cmath>

namespace rvsim {

namespace {
constexpr qsizetype kPacket = 105;
constexpr int kBlockMax = 1017; // a block and its header fill the configurator's 1024-byte buffer
constexpr int kSecondsApart = 10;

QByteArray mem(char kind, char status) { return QByteArray("+MEM") + kind + status; }

constexpr double kPi = 3.14159265358979323846;
// The depot, and metres per millionth of a degree there.
constexpr int32_t kDepotLat = 55742000, kDepotLon = 37601000;
constexpr double kMetresPerMicroLat = 0.111195;

struct Metres {
    double x = 0, y = 0; // east, north
};

// A drive along the route's roads, a packet every ten seconds.
class Drive {
public:
    Drive(std::vector<TrackMemory::RoutePacket>& out, uint32_t& second) : m_out(out), m_second(second) {}

    void stand(Metres at, int packets, int secondsApart, bool fixValid = true)
    {
        for (int i = 0; i < packets; ++i) {
            put(at, 0, m_course, fixValid);
            m_second += secondsApart;
        }
    }
    // Along the straight road from the corner `from` to `to` at `cruise` km/h, slowing for the corners: a
    // packet at the corner (the unit marks a turn), then one every ten seconds; the next road's first packet
    // is this one's end.
    void road(Metres from, Metres to, double cruise, int lostFixAt = -1)
    {
        const double dx = to.x - from.x, dy = to.y - from.y, length = std::hypot(dx, dy);
        m_course = std::fmod(std::atan2(dx, dy) * 180 / kPi + 360, 360);
        double along = 0;
        for (int n = 0; along < length; ++n) {
            const double toCorner = std::min(along, length - along);
            const double kmh = std::min(cruise, 14 + 0.5 * toCorner);
            const Metres at{from.x + dx * along / length, from.y + dy * along / length};
            put(at, kmh, m_course, !(lostFixAt >= 0 && (n == lostFixAt || n == lostFixAt + 1)));
            const double step = kmh / 3.6 * 10;
            if (along + step >= length) {
                m_second += static_cast<uint32_t>(std::max(1.0, std::round((length - along) / (kmh / 3.6))));
                break;
            }
            m_second += 10;
            along += step;
        }
    }

private:
    void put(Metres at, double kmh, double course, bool fixValid)
    {
        // The other fields as the monitor shows them: standing at the depot, or on the road.
        Telemetry t;
        for (int i = 0; i < (kmh > 0 ? 60 : 5); ++i)
            t.advance();
        QByteArray p = t.gpsPayload();
        const double lat = kDepotLat + at.y / kMetresPerMicroLat;
        const double lon = kDepotLon + at.x / (kMetresPerMicroLat * std::cos(kDepotLat / 1e6 * kPi / 180));
        wire::set32(p, 4, static_cast<uint32_t>(static_cast<int32_t>(std::lround(lat))));
        wire::set32(p, 8, static_cast<uint32_t>(static_cast<int32_t>(std::lround(lon))));
        // The sky changes slowly: 8 to 10 satellites, HDOP 0.8 to 1.2.
        const auto n = static_cast<uint32_t>(m_out.size());
        p[12] = static_cast<char>(fixValid ? 8 + n / 15 % 3 : 0x12);
        p[13] = static_cast<char>(fixValid ? 8 + n / 9 % 5 : 99);
        wire::set16(p, 14, static_cast<uint16_t>(142 + std::lround(at.y / 80)));
        wire::set16(p, 16, static_cast<uint16_t>(std::lround(kmh * 10)));
        wire::set16(p, 18, static_cast<uint16_t>(std::lround(course * 10)) % 3600);
        m_out.push_back({p, m_second});
    }

    std::vector<TrackMemory::RoutePacket>& m_out;
    uint32_t& m_second;
    double m_course = 0;
};

} // namespace

std::vector<TrackMemory::RoutePacket> TrackMemory::routeDay(uint32_t& roundSeconds)
{
    std::vector<RoutePacket> day;
    uint32_t second = 0;
    Drive d(day, second);
    const Metres depot{0, 0}, a{0, 400}, b{600, 400}, c{600, 800}, e{0, 800};
    d.stand(depot, 12, 30);
    d.road(depot, a, 30);
    for (int lap = 0; lap < 2; ++lap) {
        d.road(a, b, 45);
        if (lap == 0)
            d.stand(b, 4, 10); // the traffic light
        d.road(b, c, 40);
        if (lap == 0)
            d.stand(c, 9, 30); // a delivery
        d.road(c, e, 45, lap == 1 ? 3 : -1);
        d.road(e, a, 40);
    }
    d.road(a, depot, 30);
    roundSeconds = second;
    return day;
}

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
        for (uint32_t i = 0; i < 240 && i < count && !m_o.route; ++i)
            lap[i] = packet(i, 0, false);
        uint32_t roundSeconds = 0;
        const std::vector<RoutePacket> day = m_o.route ? routeDay(roundSeconds) : std::vector<RoutePacket>{};
        for (qsizetype i = 0; i < count; ++i) {
            QByteArray p;
            if (m_o.route) {
                const auto round = static_cast<uint32_t>(i / qsizetype(day.size()));
                const RoutePacket& r = day[size_t(i % qsizetype(day.size()))];
                p = r.bytes;
                // 2026-01-01 07:00 UTC: the first round starts the working day.
                wire::set32(p, 0, 1767250800u + round * roundSeconds + r.second);
            } else {
                p = lap[i % 240];
                wire::set32(p, 0, 1767225600u + static_cast<uint32_t>(i) * kSecondsApart);
            }
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
