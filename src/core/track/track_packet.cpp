#include "core/track/track_packet.h"

#include "core/protocol/bytes.h"
#include "core/protocol/checksum.h"

#include <QFileInfo>

#include <charconv>
#include <cmath>

namespace rv::track {

namespace {

int8_t s8(QByteArrayView b, qsizetype at) { return static_cast<int8_t>(le::u8(b, at)); }
int16_t s16(QByteArrayView b, qsizetype at) { return static_cast<int16_t>(le::u16(b, at)); }
int32_t s32(QByteArrayView b, qsizetype at) { return static_cast<int32_t>(le::u32(b, at)); }

// Appending numbers to a text without printf and without the locale.
class Text {
public:
    explicit Text(std::string& s) : m_s(s) {}
    template <size_t N>
    Text& operator<<(const char (&lit)[N])
    {
        m_s.append(lit, N - 1);
        return *this;
    }
    Text& operator<<(long long v)
    {
        char buf[24];
        const auto r = std::to_chars(buf, buf + sizeof buf, v);
        m_s.append(buf, r.ptr);
        return *this;
    }
    Text& operator<<(int v) { return *this << static_cast<long long>(v); }
    // "%.<digits>f"
    Text& fixed(double v, int digits)
    {
        char buf[64];
        const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, digits);
        m_s.append(buf, r.ptr);
        return *this;
    }
    // "%.6f" of millionths: exact, from the integer.
    Text& millionths(int32_t v)
    {
        const long long x = v;
        const long long a = x < 0 ? -x : x;
        if (x < 0)
            m_s.push_back('-');
        *this << a / 1000000;
        char frac[8];
        long long f = a % 1000000;
        for (int i = 5; i >= 0; --i) {
            frac[i] = static_cast<char>('0' + f % 10);
            f /= 10;
        }
        m_s.push_back('.');
        m_s.append(frac, 6);
        return *this;
    }
    // "%.1f" of tenths.
    Text& tenths(unsigned v)
    {
        *this << static_cast<long long>(v / 10);
        m_s.push_back('.');
        m_s.push_back(static_cast<char>('0' + v % 10));
        return *this;
    }

private:
    std::string& m_s;
};

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

QByteArray toBytes(const std::string& s) { return QByteArray(s.data(), static_cast<qsizetype>(s.size())); }

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

QByteArray exportBin(QByteArrayView buffer) { return buffer.toByteArray(); }

ExportResult exportPlt(QByteArrayView buffer)
{
    ExportResult r;
    r.packets = pointCount(buffer.size());
    std::string points;
    points.reserve(static_cast<size_t>(r.packets) * 64);
    Text t(points);
    for (qsizetype i = 0; i < r.packets; ++i) {
        const QByteArrayView bytes = buffer.sliced(i * kPacketSize, kPacketSize);
        if (!packetCrcOk(bytes))
            continue;
        const TrackPacket p = decodePacket(bytes);
        t.millionths(p.latitude) << ", ";
        t.millionths(p.longitude) << ", " << (i == 0 ? 1 : 0) << ", " << altitudeFeet(p.altitude) << ", ";
        t.fixed(dayCount(p.time), 6) << "\r\n";
        ++r.written;
    }
    std::string head = "OziExplorer Track Point File Version 2.1\r\nWGS 84\r\nAltitude is in Feet\r\nReserved 3\r\n"
                       "0,2,65535,Track,0,0,2,8421376\r\n";
    // The count says how many point lines follow: those written.
    Text(head) << static_cast<long long>(r.written) << "\r\n";
    r.bytes.reserve(static_cast<qsizetype>(head.size() + points.size()));
    r.bytes = toBytes(head);
    r.bytes.append(points.data(), static_cast<qsizetype>(points.size()));
    return r;
}

ExportResult exportWln(QByteArrayView buffer, const packet::PacketChoice& choice)
{
    ExportResult r;
    r.packets = pointCount(buffer.size());
    std::string s;
    s.reserve(static_cast<size_t>(r.packets) * (80 + 12 * choice.parameters.size()));
    Text t(s);
    for (qsizetype i = 0; i < r.packets; ++i) {
        const QByteArrayView bytes = buffer.sliced(i * kPacketSize, kPacketSize);
        if (!packetCrcOk(bytes))
            continue;
        const TrackPacket p = decodePacket(bytes);
        t << "REG;" << static_cast<long long>(p.time) << ";";
        t.millionths(p.longitude) << ";";
        t.millionths(p.latitude) << ";" << int(p.speed / 10) << ";" << int(p.course / 10) << ";ALT:"
                                 << int(p.altitude) << ".0";
        appendStructure(s, p, choice);
        t << ";;;;\r\n";
        ++r.written;
    }
    r.bytes = toBytes(s);
    return r;
}

ExportResult exportTrack(ExportFormat format, QByteArrayView buffer, const packet::PacketChoice& choice)
{
    switch (format) {
    case ExportFormat::Plt: return exportPlt(buffer);
    case ExportFormat::Wln: return exportWln(buffer, choice);
    case ExportFormat::Bin: break;
    }
    ExportResult r;
    r.bytes = exportBin(buffer);
    r.packets = r.written = pointCount(buffer.size());
    return r;
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
    return std::nullopt;
}

} // namespace rv::track
