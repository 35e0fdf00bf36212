#pragma once

// Packets of the unit's track memory and the files they are exported to: the raw bytes, an OziExplorer track
// (.plt) and a Wialon message file (.wln). Every export is a pure function of the read bytes (and, for Wialon,
// of the packet structure the unit was configured with); numbers are written with '.' whatever the locale.

#include "core/base/output_file.h"
#include "core/config/packet_structure.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <array>
#include <optional>
#include <cstdint>
#include <string>

namespace rv::track {

inline constexpr qsizetype kPacketSize = 105;
inline constexpr qsizetype kCheckedBytes = 103; // the CRC-16/MODBUS covers these; it sits behind them

// One packet: the navigation block's layout and a CRC of its first 103 bytes.
struct TrackPacket
{
    int32_t time = 0;          // seconds since 1970-01-01 00:00 UTC
    int32_t latitude = 0;      // millionths of a degree
    int32_t longitude = 0;
    uint8_t satellites = 0;    // bits 0..3 of byte 12
    uint8_t notValidBit = 0;   // bit 4 of byte 12 as stored: 1 when the position is not valid
    uint8_t hdop = 0;          // tenths
    uint16_t altitude = 0;     // metres
    uint16_t speed = 0;        // tenths of km/h
    uint16_t course = 0;       // tenths of a degree
    std::array<uint16_t, 8> adc{};  // ADC counts of analogue inputs 1..8
    uint16_t powerInternal = 0;     // ADC counts
    uint16_t powerExternal = 0;
    uint8_t inputs = 0;
    uint8_t outputs = 0;
    int8_t temperature = 0;
    uint8_t status = 0;
    uint8_t status2 = 0;
    std::array<int8_t, 8> externalTemps{};
    uint16_t fuel1 = 0, fuel2 = 0;
    int8_t fuelTemp1 = 0, fuelTemp2 = 0;
    uint8_t canFuelLevel = 0;
    uint16_t canEngineSpeed = 0;
    int8_t canEngineTemp = 0;
    int32_t canFuelUsed = 0;
    int32_t canMileage = 0;
    uint16_t frequency1 = 0, frequency2 = 0;
    uint16_t packetNumber = 0;
    int32_t odometer = 0;
    std::array<int16_t, 3> accel{};
    uint8_t geofence = 0;
    uint16_t storedCrc = 0;
    bool crcOk = false;        // the CRC of bytes 0..102 equals the stored one
};

// `bytes` must hold at least kPacketSize bytes.
TrackPacket decodePacket(QByteArrayView bytes);
bool packetCrcOk(QByteArrayView bytes);
// Whole packets in `byteCount` read bytes.
inline qsizetype pointCount(qsizetype byteCount) { return byteCount / kPacketSize; }

// ADC counts to volts: k = 11 for the supply and the analogue inputs, 2 for the battery.
double adcVolts(uint16_t counts, double k);

// Altitude as a .plt carries it: feet, -777 when the receiver gave none (0xFFFF).
int altitudeFeet(uint16_t metres);
// The packet time as a day count since 1899-12-30 00:00 UTC, with the fraction of the day.
double dayCount(int32_t unixTime);

// The Wialon parameter text of one packet for the unit's packet structure; empty for an unknown version.
std::string StructureToString(const TrackPacket& p, const packet::PacketChoice& choice);

enum class ExportFormat { Bin, Plt, Wln };

struct ExportResult
{
    QByteArray bytes;
    qsizetype packets = 0;   // whole packets in the buffer
    qsizetype written = 0;   // packets written (those with a right check value); all for .bin
};

QByteArray exportBin(QByteArrayView buffer);
ExportResult exportPlt(QByteArrayView buffer);
ExportResult exportWln(QByteArrayView buffer, const packet::PacketChoice& choice);
ExportResult exportTrack(ExportFormat format, QByteArrayView buffer, const packet::PacketChoice& choice);

// Writes the export into `path` through the output-file door (the file replaced only when complete); on
// failure the earlier file stays as it was and the result says why.
OutputFileResult saveExport(const QString& path, QByteArrayView bytes);

// "Dump_memory.bin", "Ozi_track.plt", "Wialon_message.wln".
QString defaultExportName(ExportFormat format);
// The format a file name's suffix names (.bin, .plt, .wln; any case); none for another suffix.
std::optional<ExportFormat> formatOfName(const QString& path);

} // namespace rv::track
