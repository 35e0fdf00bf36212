// Every field of the three records against its place in the record layouts, written out here row by row
// from the layout tables (not from the code's field tables): two neighbours of the same size swapped, a
// wrong stride or a bit one off shows up as that field's row.

#include "core/config/records.h"

#include <QSet>
#include <gtest/gtest.h>

#include <vector>

using namespace rv;

namespace {

enum class Kind { Unsigned, Signed, Text, Hex, Reserved, Bits };

// One field: `count` elements, element i at offset + i·stride; a bit view covers bits
// [bit + i·bitStep, +bits) of the little-endian word of `size` bytes at the element's offset.
struct Row
{
    std::string name;
    int offset;
    int size;
    Kind kind = Kind::Unsigned;
    int count = 1;
    int stride = 0;
    int bit = 0;
    int bits = 0;
    int bitStep = 0;
};

Row u(const char* n, int off, int size = 1, int count = 1) { return {n, off, size, Kind::Unsigned, count, size}; }
Row i(const char* n, int off, int size) { return {n, off, size, Kind::Signed}; }
Row text(const char* n, int off, int width, int count = 1) { return {n, off, width, Kind::Text, count, width}; }
Row hexKey(const char* n, int off, int width, int count) { return {n, off, width, Kind::Hex, count, width}; }
Row reserved(const char* n, int off) { return {n, off, 1, Kind::Reserved}; }
Row bit(const char* n, int off, int size, int low, int bits = 1, int count = 1, int stride = 0, int bitStep = 0)
{
    return {n, off, size, Kind::Bits, count, stride, low, bits, bitStep};
}

// Main settings record, 512 bytes, in the order of its layout table.
std::vector<Row> configRows()
{
    std::vector<Row> r{
        u("FormatMark", 0), u("Password", 1, 2), u("ID_Device", 3, 2), u("EnableFlags", 5, 2),
        i("RS232_box1", 7, 4), i("RS232_box2", 11, 4), u("PacketStruct", 15, 4), u("ROUINT", 19),
        reserved("Reserved20", 20), u("Radio_mute_time", 21), u("Protocol", 22), u("Perpackmove", 23, 2),
        u("Perpackstop", 25, 2), u("MicLevel", 27), u("SpkLevel", 28), u("RingNum", 29), text("Phone", 30, 11, 5),
        reserved("Reserved85", 85), u("SmsAcceptMask", 86), bit("Input_SMS", 86, 1, 0, 1, 5, 0, 1),
        u("IP_server", 87, 1, 4), u("Port_server", 91, 2), text("Sim1Apn", 93, 29), u("Sim1Custom", 122),
        text("Sim2Apn", 123, 29), u("Sim2Custom", 152), text("Sim1Login", 153, 20), text("Sim2Login", 173, 20),
        text("Sim1Pass", 193, 20), text("Sim2Pass", 213, 20), u("Minspeedangel", 233), u("Minangel", 234),
        u("Packdist", 235), u("Accel_sens", 236, 2), u("Timeoutstop", 238, 2), reserved("Reserved240", 240),
        u("MaxHdop", 241), u("Maxspeed", 242), u("Maxaccel", 243), u("Maxdist", 244), u("Minspeed", 245),
        u("InputMode", 246, 1, 8), bit("Aktivinlevel", 246, 1, 0, 4, 8, 1), bit("Inputtype", 246, 1, 4, 4, 8, 1),
        u("InputThresholds", 254, 2, 16), u("InputFilter", 286, 1, 8), u("OutputActiveState", 294),
        bit("ActivOUT", 294, 1, 0, 1, 4, 0, 1), u("TimePark", 295), u("BalansBox", 296), u("Extvoltlev", 297, 2),
        u("Timeextvolt", 299, 2), u("SecurityInputs", 301), bit("INOh", 301, 1, 0, 1, 8, 0, 1),
        hexKey("IButtonKeys", 302, 6, 5), u("TINOh", 332), u("TOUTOh", 333), u("TALOh", 334),
        u("Filterlineangel", 335), u("ModeFlags", 336, 2), bit("GLONASS_rej", 336, 2, 0, 2),
        u("SerialDevices", 338), bit("Device1", 338, 1, 0, 4), bit("Device2", 338, 1, 4, 4), u("Omniaddress1", 339),
        u("Omniaddress2", 340), u("CanCamera", 341), bit("CANrate", 341, 1, 0, 4), bit("Image_rez", 341, 1, 4, 4),
        u("Vollevel", 342), u("SIM1NUM", 343), u("SIM2NUM", 344), u("RingSources", 345, 2, 5),
        u("SmsSources", 355, 2, 5), u("RingOnlyMask", 365), bit("Ring_only", 365, 1, 0, 1, 5, 0, 1),
        u("OutCallCount", 366, 1, 5), u("LenConnectMask", 371), bit("Len_connect", 371, 1, 0, 1, 5, 0, 1),
        u("CallMode", 372, 1, 5), bit("Type_message", 372, 1, 0, 4, 5, 1), bit("Input_Call", 372, 1, 4, 4, 5, 1),
        u("Full_bak1", 377, 2), u("Full_bak2", 379, 2), u("FuelTable1", 381, 2, 21), u("FuelTable2", 423, 2, 21),
        i("TempLL1", 465, 1), i("TempLH1", 466, 1), i("TempLL2", 467, 1), i("TempLH2", 468, 1),
        u("FreqLevel", 469, 2, 2), u("IP_update", 473, 1, 4), u("Port_update", 477, 2), u("Date_update", 479),
        u("DelayTimer1", 480, 2), u("DelayTimer2", 482, 2), u("DelayTimer3", 484, 2), u("DelayTimer4", 486, 2),
        u("SSimp", 488, 2), u("Perpackstop2", 490, 2), u("CONF_PASS", 492, 2), u("LinkFlags", 494),
        u("HISPEED", 495), u("IRSAVEINT_", 496, 2), u("ACCELPOROG", 498), u("USSDPREF", 499), u("USSDTYPE", 500),
        u("USSDPERIOD", 501, 2), u("PacketStructV1", 503, 1, 5), u("IRbuf", 508, 2), u("IRDIST", 510),
        u("SatTariff", 511),
    };
    // The switches of EnableFlags (word at 5), ModeFlags (from bit 2 of the word at 336) and LinkFlags (494).
    const char* enable[] = {"RS232_en1", "RS232_en2", "DTMF_en", "Filter_coord", "ParkCheck", "SMSansver",
                            "SMSBalans", "Ohrana_en", "SMSOUT_en", "DTMFOUT_en", "Perestroi", "Nav_2D_en",
                            "Autoinfo_en", "Filterline", "CAN_en", "Logfile_en"};
    for (int b = 0; b < 16; ++b)
        r.push_back(bit(enable[b], 5, 2, b));
    const char* mode[] = {"Write_img_oh", "Omni_sum", "Events_en", "Radio_mute_en", "Radio_mute_soff", "USSDEN",
                          "Auto_update", "Send_NMEA", "Image_dest_oh", "SMSallnumber", "DISAUTOSWITCH", "SSen",
                          "GET_PASS", "iBnS"};
    for (int b = 2; b < 16; ++b)
        r.push_back(bit(mode[b - 2], 336, 2, b));
    const char* link[] = {"ALLNUMEN", "HandIridium", "SendCurrentRouming", "IRmessend", "IRbyDist", "IRparking",
                          "ENSendServer2"};
    for (int b = 0; b < 7; ++b)
        r.push_back(bit(link[b], 494, 1, b));
    return r;
}

// Input/output record, 513 bytes: OutputReaction at seven places (21 instances), 20 event rules, 20
// condition-state words.
std::vector<Row> inpOutRows()
{
    struct Place { const char* suffix; int offset; int count; };
    const Place places[] = {{"actin", 0, 8},    {"passin", 104, 8}, {"actoh", 208, 1}, {"passoh", 221, 1},
                            {"extlow", 234, 1}, {"dtmf", 247, 1},   {"trevoh", 500, 1}};
    std::vector<Row> r;
    for (const Place& p : places) {
        const std::string s = std::string("_") + p.suffix;
        r.push_back({"modes" + s, p.offset, 1, Kind::Unsigned, p.count, 13});
        for (int out = 1; out <= 4; ++out) {
            const std::string o = "Out" + std::to_string(out);
            r.push_back({o + "mode" + s, p.offset, 1, Kind::Bits, p.count, 13, 2 * (out - 1), 2});
            const int at = p.offset + 1 + 3 * (out - 1);
            r.push_back({o + "act" + s, at, 1, Kind::Unsigned, p.count, 13});
            r.push_back({o + "pause" + s, at + 1, 1, Kind::Unsigned, p.count, 13});
            r.push_back({o + "per" + s, at + 2, 1, Kind::Unsigned, p.count, 13});
        }
    }
    r.push_back({"EventWord0", 260, 4, Kind::Unsigned, 20, 8});
    r.push_back({"EventSource", 260, 4, Kind::Bits, 20, 8, 0, 6});
    r.push_back({"EventState", 260, 4, Kind::Bits, 20, 8, 6, 2});
    r.push_back({"EventActions", 260, 4, Kind::Bits, 20, 8, 8, 24});
    r.push_back({"EventWord1", 264, 4, Kind::Unsigned, 20, 8});
    r.push_back({"EventConditions", 264, 4, Kind::Bits, 20, 8, 0, 30});
    r.push_back({"EventLogic", 264, 4, Kind::Bits, 20, 8, 30, 1});
    r.push_back({"ConditionState", 420, 4, Kind::Unsigned, 20, 4});
    r.push_back({"ConditionStateMask", 420, 4, Kind::Bits, 20, 4, 0, 30});
    return r;
}

// Extended settings record, 26 bytes.
std::vector<Row> confSeRows()
{
    return {u("MCC1", 0, 2),  u("MCC2", 2, 2),  u("MCC3", 4, 2),     u("MCC4", 6, 2),        u("MCC5", 8, 2),
            u("MNC1", 10),    u("MNC2", 11),    u("MNC3", 12),       u("MNC4", 13),          u("MNC5", 14),
            u("RoamFlags", 15), bit("SELOPINROU", 15, 1, 0), u("IRPARKTIME", 16, 2), u("IP2", 18, 1, 4),
            u("IPport2", 22, 2), u("TIMETOCON2", 24, 2)};
}

uint32_t ones(int bits) { return bits >= 32 ? 0xFFFFFFFFu : (1u << bits) - 1; }

// The record image with element `e` of `row` all ones and every other byte zero.
QByteArray expectedImage(const Row& row, int e, qsizetype recordSize)
{
    QByteArray img(recordSize, '\0');
    const int at = row.offset + e * row.stride;
    if (row.kind != Kind::Bits) {
        img.replace(at, row.size, QByteArray(row.size, '\xFF'));
        return img;
    }
    const uint32_t word = ones(row.bits) << (row.bit + e * row.bitStep);
    for (int b = 0; b < row.size; ++b)
        img[at + b] = char((word >> (8 * b)) & 0xFF);
    return img;
}

template <typename R>
void checkRecord(const std::vector<Row>& rows, qsizetype size)
{
    R rec;
    ASSERT_EQ(rec.size(), size);

    // The rows themselves: storage rows tile the record once, names are unique.
    std::vector<int> cover(size, 0);
    QSet<QString> names;
    for (const Row& row : rows) {
        EXPECT_FALSE(names.contains(QString::fromStdString(row.name))) << row.name;
        names.insert(QString::fromStdString(row.name));
        for (int e = 0; row.kind != Kind::Bits && e < row.count; ++e)
            for (int b = 0; b < row.size; ++b)
                ++cover[row.offset + e * row.stride + b];
    }
    for (qsizetype b = 0; b < size; ++b)
        EXPECT_EQ(cover[b], 1) << "byte " << b;

    // The code's table names exactly these fields.
    QSet<QString> tableNames;
    for (const FieldDef& f : rec.layout().fields)
        tableNames.insert(fieldName(f));
    for (const QString& n : tableNames)
        EXPECT_TRUE(names.contains(n)) << "the table has a field the layout lacks: " << n.toStdString();
    for (const QString& n : names)
        EXPECT_TRUE(tableNames.contains(n)) << "the table lacks " << n.toStdString();

    for (const Row& row : rows) {
        const FieldDef* f = rec.field(QString::fromStdString(row.name));
        if (!f) {
            ADD_FAILURE() << "no field " << row.name;
            continue;
        }
        EXPECT_EQ(f->count, row.count) << row.name;
        EXPECT_EQ(f->size, row.size) << row.name;
        EXPECT_EQ(f->isView(), row.kind == Kind::Bits) << row.name;
        for (int e = 0; e < std::min<int>(row.count, f->count); ++e) {
            const std::string what = row.name + "[" + std::to_string(e) + "]";
            // Write the element all ones through the record and compare the whole image.
            R r;
            FieldError err;
            if (row.kind == Kind::Bits)
                err = r.storeNumberAt(*f, e, ones(row.bits));
            else
                err = r.setRawAt(*f, e, QByteArray(row.size, '\xFF'));
            ASSERT_EQ(err, FieldError::None) << what;
            EXPECT_EQ(r.bytes().toHex().toStdString(), expectedImage(row, e, size).toHex().toStdString()) << what;
            // And read back as the kind says.
            switch (row.kind) {
            case Kind::Unsigned:
                EXPECT_EQ(r.numberAt(*f, e), qint64(ones(8 * row.size))) << what;
                break;
            case Kind::Signed:
                EXPECT_EQ(r.numberAt(*f, e), -1) << what;
                break;
            case Kind::Bits:
                EXPECT_EQ(r.numberAt(*f, e), qint64(ones(row.bits))) << what;
                break;
            case Kind::Text:
                EXPECT_EQ(f->encoding, Encoding::Text) << what;
                break;
            case Kind::Hex:
                EXPECT_EQ(f->encoding, Encoding::Hex) << what;
                break;
            case Kind::Reserved:
                EXPECT_EQ(f->encoding, Encoding::Reserved) << what;
                break;
            }
        }
    }
}

} // namespace

TEST(RecordLayout, ConfigBlock_EveryFieldAtItsOffsetSizeAndBit)
{
    checkRecord<ConfigBlock>(configRows(), 512);
}

TEST(RecordLayout, InpOutBlock_EveryFieldAtItsOffsetSizeAndBit)
{
    const std::vector<Row> rows = inpOutRows();
    int reactions = 0;
    for (const Row& row : rows)
        reactions += row.name.starts_with("modes_") ? row.count : 0;
    EXPECT_EQ(reactions, 21);
    checkRecord<InpOutBlock>(rows, 513);
}

TEST(RecordLayout, ConfSeBlock_EveryFieldAtItsOffsetSizeAndBit)
{
    checkRecord<ConfSeBlock>(confSeRows(), 26);
}
