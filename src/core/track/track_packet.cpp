#include "core/track/track_packet.h"

#include "core/track/track_text.h"

#include "core/base/bytes.h"
#include "core/base/checksum.h"

#include <QFileInfo>

#include <charconv>
#include <cmath>

namespace rv::track {

namespace {

int8_t s8(QByteArrayView b, qsizetype at) { return static_cast<int8_t>(le::u8(b, at)); }
int16_t s16(QByteArrayView b, qsizetype at) { return static_cast<int16_t>(le::u16(b, at)); }
int32_t s32(QByteArrayView b, qsizetype at) { return static_cast<int32_t>(le::u32(b, at)); }

constexpr int kSupplyK = 11;
constexpr int kBatteryK = 2;

// "%.3f" of counts x 3160 x k / 1 023 000 without floating point: thousandths = counts x 3160 x k / 1023 rounded.
// 1023 is odd, so the exact quotient is never a tie, and rounding it gives what printf gives of the double.
void volts(Text& t, uint16_t counts, int k)
{
    const long long num = 2LL * counts * 3160 * k;
    const long long thousandths = (num + 1023) / (2 * 1023);
    t << thousandths / 1000;
    char frac[5] = {'.', char('0' + thousandths / 100 % 10), char('0' + thousandths / 10 % 10),
                    char('0' + thousandths % 10), 0};
    t << frac;
}

void listParameters(Text& t, const TrackPacket& p, const packet::PacketChoice& c)
{
    t << ",hdop:";
    t.tenths(p.hdop);
    t << ";SATS:" << int(p.satellites) << ",packet_number:" << int(p.packetNumber) << ",valid:" << int(p.notValidBit);
    for (const packet::Parameter& item : c.parameters) {
        switch (item.index) {
        case 0: t << ",status:" << int(p.status); break;
        case 1:
            t << ",pwr_ext:";
            volts(t, p.powerExternal, kSupplyK);
            t << ",pwr_int:";
            volts(t, p.powerInternal, kBatteryK);
            break;
        case 2: t << ",temp:" << int(p.temperature); break;
        case 3: t << ",in1:" << int(p.inputs) << ",out1:" << int(p.outputs) << ","; break;
        case 4: case 5: case 6: case 7: {
            const int first = 2 * (item.index - 4);
            for (int i = first; i < first + 2; ++i) {
                t << ",adc" << i + 1 << ":";
                volts(t, p.adc[i], kSupplyK);
            }
            break;
        }
        case 8: case 9: {
            const int first = item.index == 8 ? 0 : 4;
            for (int i = first; i < first + 4; ++i)
                t << ",temp" << i + 1 << ":" << int(p.externalTemps[i]);
            break;
        }
        case 11: t << ",frequency1:" << int(p.frequency1) << ",frequency2:" << int(p.frequency2); break;
        case 12: t << ",fuel_omnicom1:" << int(p.fuel1) << ",fuel_omnicom2:" << int(p.fuel2); break;
        case 13: t << ",temp_omnicom1:" << int(p.fuelTemp1) << ",temp_omnicom2:" << int(p.fuelTemp2); break;
        case 14:
            t << ",fuel_level:" << int(p.canFuelLevel) << ",taho:" << int(p.canEngineSpeed) << ",temp_can:"
              << int(p.canEngineTemp);
            break;
        case 15: t << ",fuel_consumption:" << int(p.canFuelUsed) << ",mileage:" << int(p.canMileage); break;
        default: break; // the key code is not exported
        }
    }
}

void treeParameters(Text& t, const TrackPacket& p, const packet::PacketChoice& c)
{
    bool satellites = false;
    for (const packet::Parameter& node : c.parameters)
        satellites = satellites || node.index == 1;
    t << ",packet_number:" << int(p.packetNumber) << ",status:" << int(p.status) << ";SATS:"
      << (satellites ? int(p.satellites) : 255);
    for (const packet::Parameter& node : c.parameters) {
        const int n = node.index;
        switch (n) {
        case 4:
            t << ",hdop:";
            t.tenths(p.hdop);
            break;
        case 5:
            t << ",pwr_ext:";
            volts(t, p.powerExternal, kSupplyK);
            t << ",pwr_int:";
            volts(t, p.powerInternal, kBatteryK);
            break;
        case 6: t << ",in1:" << int(p.inputs) << ",out1:" << int(p.outputs) << ","; break;
        case 7: t << ",odometer:" << int(p.odometer); break;
        case 8:
            t << ",accel_X:" << int(p.accel[0]) << ",accel_Y:" << int(p.accel[1]) << ",accel_Z:" << int(p.accel[2]);
            break;
        case 19: t << ",temp_int:" << int(p.temperature); break;
        case 21: case 22:
            for (int i = (n - 21) * 2; i < (n - 21) * 2 + 2; ++i)
                t << ",temp_ext" << i + 1 << ":" << int(p.externalTemps[i]);
            break;
        case 23:
            for (int i = 4; i < 8; ++i)
                t << ",temp_ext" << i + 1 << ":" << int(p.externalTemps[i]);
            break;
        case 25: t << ",dop_status:" << int(p.status2); break;
        case 26: t << ",geofence:" << int(p.geofence); break;
        case 28: t << ",dut1:" << int(p.fuel1); break;
        case 29: t << ",dut2:" << int(p.fuel2); break;
        case 30: t << ",dut1_2:" << int(p.fuel1); break;
        case 32: t << ",dut1_temp:" << int(p.fuelTemp1); break;
        case 33: t << ",dut2_temp:" << int(p.fuelTemp2); break;
        case 34: t << ",freq_dut1:" << int(p.frequency1); break;
        case 35: t << ",freq_dut2:" << int(p.frequency2); break;
        case 37:
            t << ",fuel_level:" << int(p.canFuelLevel) << ",taho:" << int(p.canEngineSpeed) << ",temp_can:"
              << int(p.canEngineTemp);
            break;
        case 38: t << ",fuel_consumption:" << int(p.canFuelUsed); break;
        case 39: t << ",mileage:" << int(p.canMileage); break;
        default:
            if (n >= 10 && n <= 17) {
                t << ",adc" << n - 9 << ":";
                volts(t, p.adc[n - 10], kSupplyK);
            }
            break;
        }
    }
}

void appendStructure(std::string& s, const TrackPacket& p, const packet::PacketChoice& c)
{
    Text t(s);
    if (c.version == packet::Version::List)
        listParameters(t, p, c);
    else if (c.version == packet::Version::Tree)
        treeParameters(t, p, c);
}

// The export kept in memory.
class MemorySink : public ExportSink
{
public:
    explicit MemorySink(QByteArray& bytes) : m_bytes(bytes) {}
    bool write(const char* data, qsizetype size) override
    {
        m_bytes.append(data, size);
        return true;
    }

private:
    QByteArray& m_bytes;
};

// The export going through the output-file door: the old file is replaced only when the new one is whole.
class FileSink : public ExportSink
{
public:
    explicit FileSink(OutputFile& file) : m_file(file) {}
    bool write(const char* data, qsizetype size) override { return m_file.write(QByteArrayView(data, size)); }

private:
    OutputFile& m_file;
};

void writePlt(QByteArrayView buffer, ChunkWriter& out, ExportResult& r)
{
    // The count in the head says how many point lines follow: those with a right check value.
    qsizetype good = 0;
    for (qsizetype i = 0; i < r.packets; ++i)
        good += packetCrcOk(buffer.sliced(i * kPacketSize, kPacketSize));
    Text& t = out.text();
    t << "OziExplorer Track Point File Version 2.1\r\nWGS 84\r\nAltitude is in Feet\r\nReserved 3\r\n"
         "0,2,65535,Track,0,0,2,8421376\r\n"
      << static_cast<long long>(good) << "\r\n";
    for (qsizetype i = 0; i < r.packets; ++i) {
        const QByteArrayView bytes = buffer.sliced(i * kPacketSize, kPacketSize);
        if (!packetCrcOk(bytes)) {
            ++r.damaged;
            continue;
        }
        const TrackPacket p = decodePacket(bytes);
        t.millionths(p.latitude) << ", ";
        t.millionths(p.longitude) << ", " << (i == 0 ? 1 : 0) << ", " << altitudeFeet(p.altitude) << ", ";
        t.fixed(dayCount(p.time), 6) << "\r\n";
        ++r.written;
        out.maybeFlush();
    }
}

void writeWln(QByteArrayView buffer, const packet::PacketChoice& choice, ChunkWriter& out, ExportResult& r)
{
    Text& t = out.text();
    for (qsizetype i = 0; i < r.packets; ++i) {
        const QByteArrayView bytes = buffer.sliced(i * kPacketSize, kPacketSize);
        if (!packetCrcOk(bytes)) {
            ++r.damaged;
            continue;
        }
        const TrackPacket p = decodePacket(bytes);
        t << "REG;" << static_cast<long long>(p.time) << ";";
        t.millionths(p.longitude) << ";";
        t.millionths(p.latitude) << ";" << int(p.speed / 10) << ";" << int(p.course / 10) << ";ALT:"
                                 << int(p.altitude) << ".0";
        appendStructure(t.string(), p, choice);
        t << ";;;;\r\n";
        ++r.written;
        out.maybeFlush();
    }
}

} // namespace

bool packetCrcOk(QByteArrayView bytes)
{
    return bytes.size() >= kPacketSize && crc16Modbus(bytes.first(kCheckedBytes)) == le::u16(bytes, kCheckedBytes);
}

TrackPacket decodePacket(QByteArrayView b)
{
    TrackPacket p;
    if (b.size() < kPacketSize)
        return p;
    p.time = s32(b, 0);
    p.latitude = s32(b, 4);
    p.longitude = s32(b, 8);
    p.satellites = le::u8(b, 12) & 0x0F;
    p.notValidBit = (le::u8(b, 12) >> 4) & 1;
    p.hdop = le::u8(b, 13);
    p.altitude = le::u16(b, 14);
    p.speed = le::u16(b, 16);
    p.course = le::u16(b, 18);
    for (int i = 0; i < 8; ++i)
        p.adc[i] = le::u16(b, 20 + 2 * i);
    p.powerInternal = le::u16(b, 36);
    p.powerExternal = le::u16(b, 38);
    p.inputs = le::u8(b, 40);
    p.outputs = le::u8(b, 41);
    p.temperature = s8(b, 42);
    p.status = le::u8(b, 43);
    p.status2 = le::u8(b, 44);
    for (int i = 0; i < 8; ++i)
        p.externalTemps[i] = s8(b, 51 + i);
    p.fuel1 = le::u16(b, 59);
    p.fuel2 = le::u16(b, 61);
    p.fuelTemp1 = s8(b, 63);
    p.fuelTemp2 = s8(b, 64);
    p.canFuelLevel = le::u8(b, 65);
    p.canEngineSpeed = le::u16(b, 66);
    p.canEngineTemp = s8(b, 68);
    p.canFuelUsed = s32(b, 69);
    p.canMileage = s32(b, 73);
    p.frequency1 = le::u16(b, 77);
    p.frequency2 = le::u16(b, 79);
    p.packetNumber = le::u16(b, 81);
    p.odometer = s32(b, 83);
    for (int i = 0; i < 3; ++i)
        p.accel[i] = s16(b, 87 + 2 * i);
    p.geofence = le::u8(b, 93);
    p.storedCrc = le::u16(b, kCheckedBytes);
    p.crcOk = crc16Modbus(b.first(kCheckedBytes)) == p.storedCrc;
    return p;
}

double adcVolts(uint16_t counts, double k) { return counts * 3160.0 * k / 1023000.0; }

int altitudeFeet(uint16_t metres)
{
    if (metres == 0xFFFF)
        return -777;
    return static_cast<int>(std::lround(metres * 3.2808));
}

double dayCount(int32_t unixTime)
{
    // 1970-01-01 is day 25569 after 1899-12-30.
    return (static_cast<double>(unixTime) + 25569.0 * 86400.0) / 86400.0;
}

std::string StructureToString(const TrackPacket& p, const packet::PacketChoice& choice)
{
    std::string s;
    appendStructure(s, p, choice);
    return s;
}

bool writeTrack(ExportFormat format, QByteArrayView buffer, const packet::PacketChoice& choice, ExportSink& sink,
                ExportResult& r)
{
    r = ExportResult{};
    r.packets = pointCount(buffer.size());
    if (format == ExportFormat::Bin) {
        r.written = r.packets;
        return buffer.isEmpty() || sink.write(buffer.data(), buffer.size());
    }
    ChunkWriter out(sink);
    switch (format) {
    case ExportFormat::Plt: writePlt(buffer, out, r); break;
    case ExportFormat::Wln: writeWln(buffer, choice, out, r); break;
    case ExportFormat::Gpx: writeGpx(buffer, out, r); break;
    case ExportFormat::Kml: writeKml(buffer, out, r); break;
    case ExportFormat::Bin: break;
    }
    out.flush();
    return out.ok();
}

QByteArray exportBin(QByteArrayView buffer) { return buffer.toByteArray(); }

ExportResult exportTrack(ExportFormat format, QByteArrayView buffer, const packet::PacketChoice& choice)
{
    ExportResult r;
    QByteArray bytes;
    MemorySink sink(bytes);
    writeTrack(format, buffer, choice, sink, r);
    r.bytes = std::move(bytes);
    return r;
}

ExportResult exportPlt(QByteArrayView buffer) { return exportTrack(ExportFormat::Plt, buffer, {}); }
ExportResult exportWln(QByteArrayView buffer, const packet::PacketChoice& choice)
{
    return exportTrack(ExportFormat::Wln, buffer, choice);
}
ExportResult exportGpx(QByteArrayView buffer) { return exportTrack(ExportFormat::Gpx, buffer, {}); }
ExportResult exportKml(QByteArrayView buffer) { return exportTrack(ExportFormat::Kml, buffer, {}); }

OutputFileResult saveTrack(const QString& path, ExportFormat format, QByteArrayView buffer,
                           const packet::PacketChoice& choice, ExportResult* result)
{
    ExportResult counts;
    OutputFile out(path);
    if (!out.open())
        return out.result();
    FileSink sink(out);
    writeTrack(format, buffer, choice, sink, counts);
    if (result)
        *result = counts;
    return out.commit(); // the first failure of any piece, or success
}

OutputFileResult saveExport(const QString& path, QByteArrayView bytes)
{
    return saveOutputFile(path, bytes);
}

QString defaultExportName(ExportFormat format)
{
    switch (format) {
    case ExportFormat::Plt: return QStringLiteral("Ozi_track.plt");
    case ExportFormat::Wln: return QStringLiteral("Wialon_message.wln");
    case ExportFormat::Gpx: return QStringLiteral("Track.gpx");
    case ExportFormat::Kml: return QStringLiteral("Track.kml");
    case ExportFormat::Bin: break;
    }
    return QStringLiteral("Dump_memory.bin");
}

std::optional<ExportFormat> formatOfName(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("bin"))
        return ExportFormat::Bin;
    if (suffix == QLatin1String("plt"))
        return ExportFormat::Plt;
    if (suffix == QLatin1String("wln"))
        return ExportFormat::Wln;
    if (suffix == QLatin1String("gpx"))
        return ExportFormat::Gpx;
    if (suffix == QLatin1String("kml"))
        return ExportFormat::Kml;
    return std::nullopt;
}

QString exportCountsText(ExportFormat format, const ExportResult& r)
{
    if (format != ExportFormat::Gpx && format != ExportFormat::Kml)
        return {};
    QString text = QStringLiteral("Точек: %1").arg(r.written);
    QStringList left;
    if (r.invalid)
        left << QStringLiteral("%1 без достоверных координат").arg(r.invalid);
    if (r.damaged)
        left << QStringLiteral("%1 с ошибкой контрольной суммы").arg(r.damaged);
    if (!left.isEmpty())
        text += QStringLiteral("; пропущено: ") + left.join(QStringLiteral(", "));
    return text;
}

} // namespace rv::track
