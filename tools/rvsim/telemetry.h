#pragma once

#include <QByteArray>
#include <cstdint>

namespace rvsim {

// Plausible, changing monitor data: a vehicle driving a loop around a town, stopping now and then,
// with sensors that sometimes report their special codes: the supply dips as the engine starts, the tank
// drains on the road and is filled at the depot, and the door, a button and a switch toggle inputs.
class Telemetry {
public:
    explicit Telemetry(uint8_t deviceType = 2);

    void advance();                 // one poll later (about half a second)
    QByteArray gpsPayload() const;     // 105 bytes
    QByteArray devicePayload() const;  // 115 bytes
    // The CAN scanner's records: one frame (Frame, ID, DataA, DataB) and a buffer of 40 (ID, DataA, DataB).
    QByteArray canMessage() const;     // 16 bytes
    QByteArray canBuffer() const;      // 480 bytes
    QByteArray logCodes() const;       // the 20 event codes of a log tail (0: no entry)

    void setFirmwareBuild(uint16_t part1, uint16_t part2, uint8_t part3);
    void setDeviceId(uint16_t id) { m_deviceId = id; }
    void setImei(const QByteArray& imei) { m_imei = imei.left(15).leftJustified(15, '0'); }
    // The satellite modem's IMEI in the device block; empty until the modem has been asked for it.
    void setSatelliteImei(bool known) { m_satelliteImei = known; }
    bool satelliteImeiKnown() const { return m_satelliteImei; }
    bool moving() const;

private:
    uint16_t supplyCount() const;   // external supply, ADC counts
    double tankLevel() const;       // 0..1

    uint8_t m_type;
    uint32_t m_tick = 0;
    uint16_t m_deviceId = 1234;
    QByteArray m_imei = "861234567890123";
    uint16_t m_build1 = 700, m_build2 = 1203, m_build3 = 15;
    uint16_t m_lastPacket = 4000;
    bool m_satelliteImei = true;
};

} // namespace rvsim
