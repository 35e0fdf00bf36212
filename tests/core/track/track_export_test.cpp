// The exports of the track memory: one packet laid out by hand goes through the raw, OziExplorer and Wialon
// formats, with every expected line written out from the packet layout; packets with a wrong check value are
// left out and the counts say so; both packet-structure versions give their parameter texts.

#include "core/track/track_packet.h"

#include "core/base/bytes.h"
#include "core/base/checksum.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace rv;
using namespace rv::track;

namespace {

void put8(QByteArray& b, int at, int v) { b[at] = static_cast<char>(v); }

// 2026-01-01 13:30:15 UTC at 33.5 S, 151.209876 E, every exported field set to something recognisable.
QByteArray goldenPacket()
{
    QByteArray b(kPacketSize, '\0');
    le::put32(b, 0, 1767274215u);
    le::put32(b, 4, static_cast<uint32_t>(-33500000));
    le::put32(b, 8, 151209876u);
    put8(b, 12, 0x09);   // 9 satellites, position valid
    put8(b, 13, 12);     // HDOP 1.2
    le::put16(b, 14, 150);
    le::put16(b, 16, 567);
    le::put16(b, 18, 1234);
    const uint16_t adc[8] = {1023, 0, 100, 200, 300, 400, 500, 600};
    for (int i = 0; i < 8; ++i)
        le::put16(b, 20 + 2 * i, adc[i]);
    le::put16(b, 36, 640);
    le::put16(b, 38, 400);
    put8(b, 40, 0x81);
    put8(b, 41, 0x03);
    put8(b, 42, -5);
    put8(b, 43, 10);
    put8(b, 44, 7);
    for (int i = 45; i < 51; ++i)
        put8(b, i, 0xEE); // not exported
    const int temps[8] = {21, -5, 0, 1, 2, 3, 4, -12};
    for (int i = 0; i < 8; ++i)
        put8(b, 51 + i, temps[i]);
    le::put16(b, 59, 2400);
    le::put16(b, 61, 65535);
    put8(b, 63, 18);
    put8(b, 64, -1);
    put8(b, 65, 150);
    le::put16(b, 66, 1800);
    put8(b, 68, -40);
    le::put32(b, 69, 0xFFFFFFFEu);
    le::put32(b, 73, 183400000u);
    le::put16(b, 77, 120);
    le::put16(b, 79, 0);
    le::put16(b, 81, 4321);
    le::put32(b, 83, 98765u);
    le::put16(b, 87, 12);
    le::put16(b, 89, static_cast<uint16_t>(-3));
    le::put16(b, 91, 1000);
    put8(b, 93, 5);
    le::put16(b, 103, crc16Modbus(QByteArrayView(b).first(103)));
    return b;
}

// The same packet at another time and place; `broken` spoils its check value.
QByteArray otherPacket(int32_t lat, int32_t time, bool broken = false)
{
    QByteArray b = goldenPacket();
    le::put32(b, 0, static_cast<uint32_t>(time));
    le::put32(b, 4, static_cast<uint32_t>(lat));
    le::put16(b, 103, static_cast<uint16_t>(crc16Modbus(QByteArrayView(b).first(103)) ^ (broken ? 0x0100 : 0)));
    return b;
}

packet::PacketChoice listChoice(uint32_t word)
{
    ConfigBlock c;
    c.setNumber(u"Protocol", 1);
    c.setNumber(u"PacketStruct", word);
    return packet::packetChoice(c);
}

packet::PacketChoice treeChoiceOf(std::initializer_list<int> nodes)
{
    packet::TreeChoice chosen;
    for (int n : nodes)
        chosen.set(n);
    ConfigBlock c;
    c.setNumber(u"Protocol", 2);
    packet::setTreeWords(c, packet::treeWords(chosen));
    return packet::packetChoice(c);
}

const char kPltHead[] = "OziExplorer Track Point File Version 2.1\r\nWGS 84\r\nAltitude is in Feet\r\nReserved 3\r\n"
                        "0,2,65535,Track,0,0,2,8421376\r\n";

} // namespace

TEST(TrackPacket, DecodesTheLayoutAndChecksTheCrc)
{
    const QByteArray b = goldenPacket();
    const TrackPacket p = decodePacket(b);
    EXPECT_TRUE(p.crcOk);
    EXPECT_EQ(p.latitude, -33500000);
    EXPECT_EQ(p.satellites, 9);
    EXPECT_EQ(p.notValidBit, 0);
    EXPECT_EQ(p.temperature, -5);
    EXPECT_EQ(p.canFuelUsed, -2);
    EXPECT_EQ(p.accel[1], -3);
    EXPECT_EQ(p.packetNumber, 4321);
    // Any changed byte of the 103 fails the check, and so does a changed check value.
    for (int at : {0, 50, 102, 103, 104}) {
        QByteArray bad = b;
        bad[at] = static_cast<char>(bad[at] ^ 0x40);
        EXPECT_FALSE(packetCrcOk(bad)) << at;
    }
    EXPECT_FALSE(packetCrcOk(b.left(104)));
    QByteArray stored = b;
    stored[12] = 0x1B; // 11 satellites and the "not valid" bit
    EXPECT_EQ(decodePacket(stored).satellites, 11);
    EXPECT_EQ(decodePacket(stored).notValidBit, 1);
}

TEST(TrackExport, GoldenPacketThroughAllThreeFormats)
{
    const QByteArray buffer = goldenPacket();
    EXPECT_EQ(exportTrack(ExportFormat::Bin, buffer, {}).bytes, buffer);

    // Feet: 150 m x 3.2808 = 492.12; days: 46023 (2026-01-01) + 48615 s / 86400 = 0.5626736.
    const ExportResult plt = exportPlt(buffer);
    EXPECT_EQ(plt.bytes, QByteArray(kPltHead) + "1\r\n-33.500000, 151.209876, 1, 492, 46023.562674\r\n");

    const ExportResult wln = exportWln(buffer, treeChoiceOf({0, 4}));
    EXPECT_EQ(wln.bytes, QByteArray("REG;1767274215;151.209876;-33.500000;56;123;ALT:150.0"
                                    ",packet_number:4321,status:10;SATS:255,hdop:1.2;;;;\r\n"));
    EXPECT_EQ(wln.written, 1);
}

TEST(TrackExport, StructureToStringForBothVersions)
{
    const TrackPacket p = decodePacket(goldenPacket());
    // "Версия 0", nothing chosen and everything chosen (the key code adds nothing).
    EXPECT_EQ(StructureToString(p, listChoice(0)), ",hdop:1.2;SATS:9,packet_number:4321,valid:0");
    EXPECT_EQ(StructureToString(p, listChoice(0xFFFF)),
              ",hdop:1.2;SATS:9,packet_number:4321,valid:0,status:10,pwr_ext:13.591,pwr_int:3.954,temp:-5,"
              "in1:129,out1:3,,adc1:34.760,adc2:0.000,adc3:3.398,adc4:6.796,adc5:10.194,adc6:13.591,adc7:16.989,"
              "adc8:20.387,temp1:21,temp2:-5,temp3:0,temp4:1,temp5:2,temp6:3,temp7:4,temp8:-12,frequency1:120,"
              "frequency2:0,fuel_omnicom1:2400,fuel_omnicom2:65535,temp_omnicom1:18,temp_omnicom2:-1,"
              "fuel_level:150,taho:1800,temp_can:-40,fuel_consumption:-2,mileage:183400000");
    EXPECT_EQ(StructureToString(p, listChoice(1u << 10)), ",hdop:1.2;SATS:9,packet_number:4321,valid:0");

    // "Версия 1" with every node: the pieces in tree order; nodes without a piece add nothing.
    std::initializer_list<int> all = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17,
                                      18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35,
                                      36, 37, 38, 39, 40, 41, 42, 43, 44, 45, 46, 47, 48, 49, 50, 51, 52, 53};
    EXPECT_EQ(StructureToString(p, treeChoiceOf(all)),
              ",packet_number:4321,status:10;SATS:9,hdop:1.2,pwr_ext:13.591,pwr_int:3.954,in1:129,out1:3,,"
              "odometer:98765,accel_X:12,accel_Y:-3,accel_Z:1000,adc1:34.760,adc2:0.000,adc3:3.398,adc4:6.796,"
              "adc5:10.194,adc6:13.591,adc7:16.989,adc8:20.387,temp_int:-5,temp_ext1:21,temp_ext2:-5,"
              "temp_ext3:0,temp_ext4:1,temp_ext5:2,temp_ext6:3,temp_ext7:4,temp_ext8:-12,dop_status:7,"
              "geofence:5,dut1:2400,dut2:65535,dut1_2:2400,dut1_temp:18,dut2_temp:-1,freq_dut1:120,"
              "freq_dut2:0,fuel_level:150,taho:1800,temp_can:-40,fuel_consumption:-2,mileage:183400000");
    // The satellite count only when its node is chosen.
    EXPECT_EQ(StructureToString(p, treeChoiceOf({0, 1})), ",packet_number:4321,status:10;SATS:9");
    EXPECT_EQ(StructureToString(p, treeChoiceOf({18, 19})), ",packet_number:4321,status:10;SATS:255,temp_int:-5");

    // No version chosen (or one the unit does not know): no parameters.
    ConfigBlock c;
    c.setNumber(u"Protocol", 1);
    QByteArray bytes = c.bytes();
    bytes[22] = 0;
    c.setBytes(bytes);
    EXPECT_EQ(StructureToString(p, packet::packetChoice(c)), "");
}

TEST(TrackExport, InvalidPacketsAreLeftOutAndTheCountSaysWhatWasWritten)
{
    // A broken first packet, two good ones, and a tail shorter than a packet.
    const QByteArray buffer = otherPacket(1000, 0, true) + otherPacket(-500, 86400) + otherPacket(55750000, 946728000) +
                              QByteArray(50, 'x');
    const ExportResult plt = exportPlt(buffer);
    EXPECT_EQ(plt.packets, 3);
    EXPECT_EQ(plt.written, 2);
    // No point carries the flag 1: the packet at the start of the buffer was not written.
    EXPECT_EQ(plt.bytes, QByteArray(kPltHead) + "2\r\n"
                                                "-0.000500, 151.209876, 0, 492, 25570.000000\r\n"
                                                "55.750000, 151.209876, 0, 492, 36526.500000\r\n");
    const ExportResult wln = exportWln(buffer, listChoice(0));
    EXPECT_EQ(wln.written, 2);
    EXPECT_EQ(wln.bytes.count("REG;"), 2);
    EXPECT_TRUE(wln.bytes.startsWith("REG;86400;151.209876;-0.000500;"));
    // The raw dump keeps every byte read.
    EXPECT_EQ(exportTrack(ExportFormat::Bin, buffer, {}).bytes, buffer);
    // An empty read gives the header and no points.
    EXPECT_EQ(exportPlt({}).bytes, QByteArray(kPltHead) + "0\r\n");
    EXPECT_TRUE(exportWln({}, listChoice(0)).bytes.isEmpty());
}

TEST(TrackExport, DayCountsAndFeet)
{
    EXPECT_DOUBLE_EQ(dayCount(0), 25569.0);          // 1970-01-01
    EXPECT_DOUBLE_EQ(dayCount(946684800 + 21600), 36526.25); // 2000-01-01 06:00
    EXPECT_DOUBLE_EQ(dayCount(-86400), 25568.0);
    EXPECT_EQ(altitudeFeet(0), 0);
    EXPECT_EQ(altitudeFeet(1000), 3281);
    EXPECT_EQ(altitudeFeet(0xFFFF), -777); // no altitude from the receiver
}

TEST(TrackExport, SavedFileReplacesTheOldOneOnlyWhenWritten)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Ozi_track.plt"));
    ASSERT_TRUE(saveExport(path, "new").ok());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("new"));
    EXPECT_EQ(saveExport(dir.filePath(QStringLiteral("no/such/folder/x.plt")), "x").error, OutputFileError::NoFolder);
    EXPECT_EQ(formatOfName(QStringLiteral("/a/b.PLT")), ExportFormat::Plt);
    EXPECT_EQ(formatOfName(QStringLiteral("b.wln")), ExportFormat::Wln);
    EXPECT_EQ(formatOfName(QStringLiteral("b.bin")), ExportFormat::Bin);
    EXPECT_FALSE(formatOfName(QStringLiteral("b.txt")).has_value());
    EXPECT_EQ(defaultExportName(ExportFormat::Wln), QStringLiteral("Wialon_message.wln"));
}

// When gpsbabel is at hand, it reads our track as OziExplorer does and finds the same points.
TEST(TrackExport, GpsbabelReadsTheSamePoints)
{
    const QString babel = QStandardPaths::findExecutable(QStringLiteral("gpsbabel"));
    if (babel.isEmpty())
        GTEST_SKIP() << "gpsbabel is not installed";
    QTemporaryDir dir;
    const QString plt = dir.filePath(QStringLiteral("t.plt"));
    const QString csv = dir.filePath(QStringLiteral("t.csv"));
    const QList<int32_t> lats = {-33500000, 55751234, 1000};
    QByteArray buffer;
    for (int32_t lat : lats)
        buffer += otherPacket(lat, 1767274215);
    ASSERT_TRUE(saveExport(plt, exportPlt(buffer).bytes).ok());
    // As a track (-t), into the universal CSV, which keeps six decimals: the millionths the export writes.
    QProcess p;
    p.start(babel, {QStringLiteral("-t"), QStringLiteral("-i"), QStringLiteral("ozi"), QStringLiteral("-f"), plt,
                    QStringLiteral("-o"), QStringLiteral("unicsv"), QStringLiteral("-F"), csv});
    ASSERT_TRUE(p.waitForFinished(60000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    QFile f(csv);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    QList<QByteArray> lines = f.readAll().trimmed().split('\n');
    ASSERT_EQ(lines.size(), lats.size() + 1) << lines.join('|').toStdString();
    const QList<QByteArray> names = lines.takeFirst().trimmed().split(',');
    const qsizetype lat = names.indexOf("Latitude"), lon = names.indexOf("Longitude");
    ASSERT_TRUE(lat >= 0 && lon >= 0) << names.join(',').toStdString();
    for (int i = 0; i < lats.size(); ++i) {
        const QList<QByteArray> fields = lines[i].trimmed().split(',');
        ASSERT_EQ(fields.size(), names.size()) << lines[i].toStdString();
        EXPECT_EQ(qRound64(fields[lat].toDouble() * 1e6), lats[i]) << i;
        EXPECT_EQ(qRound64(fields[lon].toDouble() * 1e6), 151209876) << i;
    }
}
