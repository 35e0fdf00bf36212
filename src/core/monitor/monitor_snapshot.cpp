#include "core/monitor/monitor_snapshot.h"

#include "core/base/bytes.h"

#include <bit>

namespace rv {

namespace {

// Bounds-checked reads: a field that does not lie wholly inside the bytes reads as zero.
class Reader
{
public:
    explicit Reader(QByteArrayView b) : m_b(b) {}

    bool has(qsizetype at, qsizetype width) const { return at >= 0 && width >= 0 && at + width <= m_b.size(); }
    uint8_t u8(qsizetype at) const { return has(at, 1) ? le::u8(m_b, at) : 0; }
    int8_t i8(qsizetype at) const { return static_cast<int8_t>(u8(at)); }
    uint16_t u16(qsizetype at) const { return has(at, 2) ? le::u16(m_b, at) : 0; }
    int16_t i16(qsizetype at) const { return static_cast<int16_t>(u16(at)); }
    uint32_t u32(qsizetype at) const { return has(at, 4) ? le::u32(m_b, at) : 0; }
    int32_t i32(qsizetype at) const { return static_cast<int32_t>(u32(at)); }
    float f32(qsizetype at) const { return std::bit_cast<float>(u32(at)); }

    // A zero-terminated text inside a fixed width; unterminated text stops at the width or the data end.
    QString text(qsizetype at, qsizetype width) const
    {
        if (at >= m_b.size())
            return {};
        QByteArrayView field = m_b.sliced(at, std::min(width, m_b.size() - at));
        const qsizetype nul = field.indexOf('\0');
        return QString::fromLatin1(nul < 0 ? field : field.first(nul));
    }

private:
    QByteArrayView m_b;
};

} // namespace

GpsSnapshot decodeGps(QByteArrayView bytes)
{
    const Reader r(bytes);
    GpsSnapshot s;
    s.unitTime = r.u32(0);
    s.latitude = r.i32(4);
    s.longitude = r.i32(8);
    s.satellites = r.u8(12) & 0x0F;
    s.fixInvalid = (r.u8(12) & 0x10) != 0;
    s.hdop10 = r.u8(13);
    s.altitude = r.u16(14);
    s.speed10 = r.u16(16);
    s.course10 = r.u16(18);
    for (int i = 0; i < 8; ++i)
        s.inputCounts[i] = r.u16(20 + 2 * i);
    s.batteryCount = r.u16(36);
    s.supplyCount = r.u16(38);
    s.inputStates = r.u8(40);
    s.outputs = r.u8(41);
    s.unitTemperature = r.i8(42);
    s.status = r.u8(43);
    for (int i = 0; i < 6; ++i)
        s.iButton[i] = r.u8(45 + i);
    for (int i = 0; i < 8; ++i)
        s.externalTemps[i] = r.u8(51 + i);
    s.fuel1 = r.u16(59);
    s.fuel2 = r.u16(61);
    s.fuelTemp1 = r.i8(63);
    s.fuelTemp2 = r.i8(64);
    s.canFuelLevel = r.u8(65);
    s.canEngineSpeed = r.u16(66);
    s.canCoolantTemp = r.i8(68);
    s.canTotalFuel = r.u32(69);
    s.canTotalDistance = r.u32(73);
    s.frequency1 = r.u16(77);
    s.frequency2 = r.u16(79);
    s.gpsOdometer = r.i32(83);
    return s;
}

DeviceSnapshot decodeDevice(QByteArrayView bytes)
{
    const Reader r(bytes);
    DeviceSnapshot s;
    s.lastRecorded = r.u16(0);
    s.lastSentFirst = r.u16(2);
    s.unitId = r.u16(14);
    s.imei = r.text(16, 16);
    s.imeiPresent = r.u8(16) != 0;
    s.firmwareVersion = r.u8(32);
    s.gsmRegistration = r.u8(33);
    s.gprsRegistration = r.u8(34);
    s.motion = r.u8(35);
    s.recordPeriod = r.u16(36);
    s.positionJump = r.f32(38);
    s.distanceMoved = r.f32(42);
    s.acceleration10 = r.i8(46);
    s.turnAngle = r.i8(47);
    s.accelX = r.i16(49);
    s.accelY = r.i16(51);
    s.accelZ = r.i16(53);
    s.gsmSignal = r.u8(55);
    s.canEngineHours100 = r.u32(58);
    s.canAxleNumber = r.u8(62);
    s.canAxleWeight2 = r.u16(63);
    s.gsmSoftware = r.u8(70);
    s.upCounter = r.u16(71);
    s.downCounter = r.u16(73);
    for (int i = 0; i < 5; ++i)
        s.axleLoads[i] = r.u16(77 + 2 * i);
    s.satelliteImei = r.text(87, 20);
    s.lastSentOther = r.u16(107);
    s.serverLink = r.u8(109);
    s.build1 = r.u16(110);
    s.build2 = r.u16(112);
    s.build3 = r.u8(114);
    return s;
}

} // namespace rv
