#pragma once

// Typed views of the two monitor stores. Decoding never reads past the bytes it is given: a field that
// lies (partly) outside them reads as zero, so a short or empty view yields a zeroed snapshot.

#include <QByteArrayView>
#include <QString>

#include <array>
#include <cstdint>

namespace rv {

struct GpsSnapshot
{
    uint32_t unitTime = 0;            // seconds since 1970-01-01, no zone shift
    int32_t latitude = 0;             // millionths of a degree
    int32_t longitude = 0;
    uint8_t satellites = 0;           // byte 12 bits 0..3
    bool fixInvalid = false;          // byte 12 bit 4
    uint8_t hdop10 = 0;               // tenths
    uint16_t altitude = 0;
    uint16_t speed10 = 0;             // tenths of km/h
    uint16_t course10 = 0;            // tenths of a degree
    std::array<uint16_t, 8> inputCounts{};  // ADC counts of inputs 1..8
    uint16_t batteryCount = 0;
    uint16_t supplyCount = 0;
    uint8_t inputStates = 0;          // byte 40: bits 0..7 = inputs 1..8 (not shown on the page)
    uint8_t outputs = 0;              // bits 0..3 = outputs 1..4
    int8_t unitTemperature = 0;
    uint8_t status = 0;               // status bits, byte 43
    std::array<uint8_t, 6> iButton{}; // bytes 45..50 as stored
    std::array<uint8_t, 8> externalTemps{};  // raw bytes: sensor codes 0x80..0x82 or signed degrees
    uint16_t fuel1 = 0;               // 0xFFFF = line broken
    uint16_t fuel2 = 0;
    int8_t fuelTemp1 = 0;
    int8_t fuelTemp2 = 0;
    uint8_t canFuelLevel = 0;         // units of 0.4 %
    uint16_t canEngineSpeed = 0;      // rpm
    int8_t canCoolantTemp = 0;
    uint32_t canTotalFuel = 0;        // units of 0.5 l
    uint32_t canTotalDistance = 0;    // metres
    uint16_t frequency1 = 0;
    uint16_t frequency2 = 0;
    int32_t gpsOdometer = 0;
};

struct DeviceSnapshot
{
    uint16_t lastRecorded = 0;
    uint16_t lastSentFirst = 0;       // offset 2: used when serverLink bits 1..2 are 0
    uint16_t unitId = 0;
    QString imei;                     // up to the first zero, at most 16 bytes
    bool imeiPresent = false;         // first IMEI byte not 0
    uint8_t firmwareVersion = 0;
    uint8_t gsmRegistration = 0;
    uint8_t gprsRegistration = 0;
    uint8_t motion = 0;
    uint16_t recordPeriod = 0;
    float positionJump = 0;           // metres
    float distanceMoved = 0;          // metres
    int8_t acceleration10 = 0;        // tenths of m/s²
    int8_t turnAngle = 0;
    int16_t accelX = 0;
    int16_t accelY = 0;
    int16_t accelZ = 0;
    uint8_t gsmSignal = 0;
    uint32_t canEngineHours100 = 0;   // hundredths of an hour
    uint8_t canAxleNumber = 0;
    uint16_t canAxleWeight2 = 0;      // units of 0.5 kg
    uint8_t gsmSoftware = 0;
    uint16_t upCounter = 0;           // type 3 only
    uint16_t downCounter = 0;
    std::array<uint16_t, 5> axleLoads{};  // kg
    QString satelliteImei;            // up to the first zero, at most 20 bytes
    uint16_t lastSentOther = 0;       // offset 107
    uint8_t serverLink = 0;           // bit 0 and bits 1..2
    uint16_t build1 = 0;
    uint16_t build2 = 0;
    uint8_t build3 = 0;

    // The unit reports the last sent packet in one of two places, chosen by bits 1..2 of serverLink.
    uint16_t lastSent() const { return (serverLink & 0x06) == 0 ? lastSentFirst : lastSentOther; }
};

GpsSnapshot decodeGps(QByteArrayView bytes);
DeviceSnapshot decodeDevice(QByteArrayView bytes);

} // namespace rv
