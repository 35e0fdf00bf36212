#include "telemetry.h"

#include "wire.h"

#include <QDateTime>
#include <cmath>
#include <cstring>


namespace rvsim {

namespace {
constexpr double kPi = 3.14159265358979323846;
constexpr uint32_t kLoopTicks = 240;   // one lap
constexpr uint32_t kParkedTicks = 30;  // standing at the depot at the start of each lap
constexpr uint32_t kCrankingTicks = 3; // the engine starts as the lap's drive begins
constexpr uint32_t kRefuelFrom = 2;    // the pump runs from this tick of the stop to its end
}

Telemetry::Telemetry(uint8_t deviceType) : m_type(deviceType) {}

void Telemetry::advance()
{
    ++m_tick;
    if (moving() && m_tick % 4 == 0)
        ++m_lastPacket;
}

bool Telemetry::moving() const
{
    return m_tick % kLoopTicks >= kParkedTicks;
}

uint16_t Telemetry::supplyCount() const
{
    // 12.4 V standing; the starter pulls it to about 8.5 V for a second, then the alternator holds 14.1 V.
    const uint32_t lapTick = m_tick % kLoopTicks;
    if (lapTick >= kParkedTicks && lapTick < kParkedTicks + kCrankingTicks)
        return static_cast<uint16_t>(250 + 20 * (lapTick - kParkedTicks));
    if (!moving())
        return static_cast<uint16_t>(365 - (lapTick % 3));
    return static_cast<uint16_t>(413 + (m_tick % 5));
}

double Telemetry::tankLevel() const
{
    // The tank drains while driving and is filled up at the depot: full again after the refuelling ticks.
    const uint32_t lapTick = m_tick % kLoopTicks;
    constexpr double kLow = 0.35;
    if (lapTick < kRefuelFrom)
        return kLow; // arrives low and waits for the pump
    if (lapTick < kParkedTicks)
        return kLow + (1 - kLow) * double(lapTick - kRefuelFrom) / double(kParkedTicks - kRefuelFrom);
    return 1 - (1 - kLow) * double(lapTick - kParkedTicks) / double(kLoopTicks - kParkedTicks);
}

void Telemetry::setFirmwareBuild(uint16_t part1, uint16_t part2, uint8_t part3)
{
    m_build1 = part1;
    m_build2 = part2;
    m_build3 = part3;
}

QByteArray Telemetry::gpsPayload() const
{
    QByteArray b(105, '\0');
    const uint32_t lapTick = m_tick % kLoopTicks;
    const double angle = 2 * kPi * lapTick / kLoopTicks;
    const bool move = moving();
    // A loop of about 2 km radius around 55.75 N, 37.62 E.
    const auto lat = static_cast<int32_t>(55750000 + 18000 * std::sin(angle));
    const auto lon = static_cast<int32_t>(37620000 + 32000 * std::cos(angle));
    wire::set32(b, 0, static_cast<uint32_t>(1767225600 + m_tick)); // 2026-01-01 00:00 onwards
    wire::set32(b, 4, static_cast<uint32_t>(lat));
    wire::set32(b, 8, static_cast<uint32_t>(lon));
    const bool fixValid = (m_tick / 20) % 12 != 5; // now and then the fix is lost for a while
    const uint8_t sats = static_cast<uint8_t>(fixValid ? 7 + m_tick % 5 : 2);
    b[12] = static_cast<char>(sats | (fixValid ? 0 : 0x10));
    b[13] = static_cast<char>(fixValid ? 9 + m_tick % 4 : 99);
    wire::set16(b, 14, static_cast<uint16_t>(150 + (m_tick % 20)));
    wire::set16(b, 16, static_cast<uint16_t>(move ? 420 + 80 * std::sin(angle * 3) : 0)); // tenths of km/h
    wire::set16(b, 18, static_cast<uint16_t>(std::fmod(angle * 180 / kPi + 90, 360) * 10));
    // Digital inputs: 1 ignition (on while driving), 2 the door (open at the depot), 3 a button pressed now
    // and then, 4 a toggle switch flipped every twenty seconds or so.
    const bool door = lapTick >= 4 && lapTick < 24;
    const bool button = m_tick % 50 < 2;
    const bool toggle = (m_tick / 75) % 2 == 1;
    const uint8_t inputs = static_cast<uint8_t>((move ? 0x01 : 0) | (door ? 0x02 : 0) | (button ? 0x04 : 0) |
                                                (toggle ? 0x08 : 0));
    for (int i = 0; i < 8; ++i) {
        // The switched inputs read the supply when active; the rest drift.
        const uint16_t count = i < 4 ? ((inputs >> i) & 1 ? static_cast<uint16_t>(supplyCount() - 8) : 10)
                                     : static_cast<uint16_t>((100 * i + m_tick % 37) % 1024);
        wire::set16(b, 20 + 2 * i, count);
    }
    wire::set16(b, 36, static_cast<uint16_t>(m_tick % 400 < 390 ? 640 : 500)); // battery ~4.0 V, sometimes low
    wire::set16(b, 38, supplyCount());
    b[40] = static_cast<char>(inputs);
    b[41] = static_cast<char>((move ? 0x01 : 0x00) | (door ? 0x02 : 0x00)); // 2: the cab light
    b[42] = static_cast<char>(28 + m_tick % 3);
    // Status: supply fine, moving bit, first SIM, GPRS up, receiver fine.
    b[43] = static_cast<char>((move ? 0x02 : 0) | 0x08);
    const uint8_t key[6] = {0x01, 0x5A, 0x3C, 0x12, 0x00, 0x00};
    if (lapTick >= 10 && lapTick < 14)
        std::memcpy(b.data() + 45, key, 6); // the driver touches the reader at the depot
    const int8_t temps[8] = {21, -5, static_cast<int8_t>(0x80), static_cast<int8_t>(0x81),
                             static_cast<int8_t>(0x82), 3, 0, -12};
    std::memcpy(b.data() + 51, temps, 8);
    wire::set16(b, 59, static_cast<uint16_t>(400 + 3000 * tankLevel()));
    wire::set16(b, 61, 0xFFFF); // sensor 2: line broken
    b[63] = 18;
    b[64] = 0;
    b[65] = static_cast<char>(std::lround(250 * tankLevel())); // 0.4 % units
    wire::set16(b, 66, static_cast<uint16_t>(move ? 1800 + (m_tick % 300) : 750));
    b[68] = static_cast<char>(move ? 88 : 70);
    wire::set32(b, 69, 52000 + m_tick / 10);
    wire::set32(b, 73, 183400000 + m_tick * 12);
    wire::set16(b, 77, static_cast<uint16_t>(move ? 120 : 0));
    wire::set32(b, 83, m_tick * 12);
    return b;
}

QByteArray Telemetry::devicePayload() const
{
    QByteArray b(115, '\0');
    wire::set16(b, 0, m_lastPacket);
    wire::set16(b, 2, static_cast<uint16_t>(m_lastPacket - 3));
    wire::set16(b, 14, m_deviceId);
    std::memcpy(b.data() + 16, m_imei.constData(), 15);
    b[32] = 28;
    b[33] = 1;
    b[34] = 1;
    b[35] = moving() ? 1 : 0;
    wire::set16(b, 36, static_cast<uint16_t>(moving() ? 30 : 300));
    const float jump = 1.5f + (m_tick % 7) * 0.25f;
    const float dist = moving() ? 12.0f * (m_tick % kLoopTicks) : 0.0f;
    std::memcpy(b.data() + 38, &jump, 4); // the unit sends IEEE floats, little-endian like this host
    std::memcpy(b.data() + 42, &dist, 4);
    b[46] = static_cast<char>(moving() ? static_cast<int8_t>((m_tick % 9) - 4) : 0);
    b[47] = static_cast<char>(static_cast<int8_t>((m_tick % 21) - 10));
    wire::set16(b, 49, static_cast<uint16_t>(int16_t(12 - m_tick % 25)));
    wire::set16(b, 51, static_cast<uint16_t>(int16_t(-3)));
    wire::set16(b, 53, static_cast<uint16_t>(int16_t(1000)));
    b[55] = static_cast<char>(18 + m_tick % 10);
    wire::set32(b, 58, 1234500 + m_tick / 20);
    b[62] = 2;
    wire::set16(b, 63, 9000);
    b[70] = 7;
    wire::set16(b, 71, static_cast<uint16_t>(m_tick));
    wire::set16(b, 73, static_cast<uint16_t>(65535 - m_tick));
    for (int i = 0; i < 5; ++i)
        wire::set16(b, 77 + 2 * i, static_cast<uint16_t>(m_type == 3 ? 0 : 4200 + 150 * i));
    if (m_satelliteImei)
        std::memcpy(b.data() + 87, "300234010123450", 15);
    b[109] = 0x01;
    wire::set16(b, 110, m_build1);
    wire::set16(b, 112, m_build2);
    b[114] = static_cast<char>(m_build3);
    return b;
}

namespace {
// J1939 identifiers a truck's bus carries: engine speed, fuel, temperatures, distance, weights.
constexpr uint32_t kCanIds[8] = {0x0CF00400, 0x18FEF200, 0x18FEEE00, 0x18FEE900,
                                 0x18FEC100, 0x18FEEA00, 0x18FEFC00, 0x18FEE500};

uint32_t canData(uint32_t tick, int entry, int half)
{
    return (tick * 2654435761u) ^ (static_cast<uint32_t>(entry) * 0x01010101u) ^ (half ? 0x00FF00FFu : 0u);
}
} // namespace

QByteArray Telemetry::canMessage() const
{
    QByteArray b(16, '\0');
    wire::set32(b, 0, m_tick);
    wire::set32(b, 4, kCanIds[m_tick % 8]);
    wire::set32(b, 8, canData(m_tick, 0, 0));
    wire::set32(b, 12, canData(m_tick, 0, 1));
    return b;
}

QByteArray Telemetry::canBuffer() const
{
    QByteArray b(480, '\0');
    for (int i = 0; i < 40; ++i) {
        wire::set32(b, 12 * i, kCanIds[i % 8]);
        wire::set32(b, 12 * i + 4, canData(m_tick, i, 0));
        wire::set32(b, 12 * i + 8, canData(m_tick, i, 1));
    }
    return b;
}

QByteArray Telemetry::logCodes() const
{
    // A few events a poll, drawn from the unit's code table, the rest empty.
    static constexpr uint8_t kEvents[] = {1, 5, 7, 13, 22, 31, 37, 49, 54, 58, 60, 72, 80, 87, 94, 99, 130, 69};
    QByteArray codes(20, '\0');
    const int used = static_cast<int>(m_tick % 4);
    for (int i = 0; i < used; ++i)
        codes[i] = static_cast<char>(kEvents[(m_tick * 7 + i * 3) % std::size(kEvents)]);
    return codes;
}

} // namespace rvsim
