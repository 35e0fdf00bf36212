#include "core/config/defaults.h"

#include "core/config/fcg_file.h"
#include "core/config/sim_presets.h"
#include "support/unusual_records.h"

#include <gtest/gtest.h>

using namespace rv;

namespace {

QByteArray hex(const char* s) { return QByteArray::fromHex(s); }

// Copies a field (every element, a view's bits only) from one record to another.
void copyField(const RecordBase& from, RecordBase& to, QStringView name)
{
    const FieldDef* f = from.field(name);
    ASSERT_TRUE(f) << name.toString().toStdString();
    for (int i = 0; i < f->count; ++i) {
        if (f->isView())
            to.storeNumberAt(*f, i, from.numberAt(*f, i));
        else
            to.setRawAt(*f, i, from.rawAt(*f, i));
    }
}

} // namespace

TEST(Defaults, FreshStartGivesTheDocumentedBytes)
{
    ConfigRecords r;
    loadStartDefaults(r);
    const QByteArray file = fcgBytes(r);
    ASSERT_EQ(file.size(), 1126);
    const QByteArray c = file.first(512);
    EXPECT_EQ(uint8_t(c[0]), 0xF0);
    EXPECT_EQ(c.mid(1, 4), hex("d2040100"));                    // password 1234, unit number 1
    EXPECT_EQ(c.mid(7, 8), hex("8025000080250000"));            // 9600 twice
    EXPECT_EQ(c[22], 1);                                        // "Версия 0"
    EXPECT_EQ(c.mid(23, 4), hex("1e007800"));                   // 30 s in motion, 120 s stopped
    EXPECT_EQ(c.mid(27, 3), hex("0a5002"));                     // microphone 10, speaker 80, two rings
    EXPECT_EQ(c.mid(241, 5), hex("28961e3203"));               // HDOP 4.0, 150 km/h, 3.0 m/s², 50 m, 3 km/h
    EXPECT_EQ(c.mid(254, 4), hex("0000ff03"));                  // input 1: 0..1023
    EXPECT_EQ(c.mid(286, 8), hex("0101010101010101"));          // filters
    EXPECT_EQ(uint8_t(c[294]), 0x0F);                           // outputs active closed
    EXPECT_EQ(c.mid(297, 2), hex("2701"));                      // 10.5 V
    EXPECT_EQ(c.mid(336, 2), hex("0008"));                      // ModeFlags: any number may send SMS
    EXPECT_EQ(uint8_t(c[341]), 0x20);                           // 100 Kbit, 320 x 240
    EXPECT_EQ(c.mid(366, 5), hex("0101010101"));                // one outgoing call per connection
    EXPECT_EQ(c.mid(469, 4), hex("ffffffff"));                  // frequency levels
    EXPECT_EQ(c.mid(480, 10), hex("01000100010001007017")); // delay timers, 6000 pulses
    EXPECT_EQ(c.mid(492, 4), hex("0100083c"));                  // configuration password, LinkFlags, 60 km/h
    EXPECT_EQ(c.mid(496, 8), hex("3c003293072c0100"));         // 60 min, 5.0 m/s², USSD *147#, type 7, 300 s
    EXPECT_EQ(c.mid(508, 3), hex("54010a"));                    // 340 bytes, 10 km
    EXPECT_EQ(c.mid(5, 2), hex("0000"));                        // EnableFlags

    const QByteArray io = file.mid(550, 513);
    EXPECT_EQ(io.mid(0, 13), hex("00010101010101010101010101")); // input 1 becoming active
    EXPECT_EQ(io.mid(500, 13), hex("00010101010101010101010101")); // alarm
    EXPECT_EQ(io.mid(260, 160), QByteArray(160, '\0'));           // event rules

    const QByteArray se = file.mid(1100, 26);
    EXPECT_EQ(se, hex("fa00fa00fa00fa00fa00" "0101010101" "00" "3c00" "00000000" "1027" "0a00"));
    EXPECT_EQ(file.mid(512, 38), QByteArray(38, '\0'));
    EXPECT_EQ(file.mid(1063, 37), QByteArray(37, '\0'));

    // Both SIMs on the "Теле2" settings.
    for (int sim = 1; sim <= 2; ++sim) {
        const SimFields f = simFields(sim);
        EXPECT_EQ(r.config.text(f.apn).value, u"internet.tele2.ru");
        EXPECT_EQ(r.config.text(f.login).value, u"");
        EXPECT_EQ(r.config.number(f.serviceNumber).value, 105);
        EXPECT_EQ(r.config.number(f.custom).value, 0);
    }
}

// Whatever the records held before, the defaults leave the same records, apart from what they keep.
TEST(Defaults, RecordsAreFullyDetermined)
{
    ConfigRecords a, b;
    a = rvtest::randomRecords(1);
    b = rvtest::randomRecords(2);
    loadDefaults(a);
    loadDefaults(b);
    for (const char* kept : {"RS232_en1", "RS232_en2", "DTMF_en", "Logfile_en", "Write_img_oh", "Omni_sum",
                             "USSDEN", "GET_PASS", "ALLNUMEN", "HandIridium", "SendCurrentRouming", "Full_bak1",
                             "Full_bak2", "CONF_PASS", "FuelTable1", "FuelTable2", "SatTariff", "Reserved20",
                             "Reserved240"})
        copyField(a.config, b.config, QString::fromLatin1(kept));
    copyField(a.inpOut, b.inpOut, u"ConditionState");
    const FieldDef* w1 = a.inpOut.field(u"EventWord1");
    for (int i = 0; i < w1->count; ++i)
        b.inpOut.storeNumberAt(*w1, i,
                               (b.inpOut.numberAt(*w1, i) & 0x7FFFFFFF) | (a.inpOut.numberAt(*w1, i) & 0x80000000LL));
    for (int n = 1; n <= 5; ++n) {
        copyField(a.confSe, b.confSe, QStringLiteral("MCC%1").arg(n));
        copyField(a.confSe, b.confSe, QStringLiteral("MNC%1").arg(n));
    }
    copyField(a.confSe, b.confSe, u"RoamFlags");
    EXPECT_EQ(a.config.bytes().toHex().toStdString(), b.config.bytes().toHex().toStdString());
    EXPECT_EQ(a.inpOut.bytes().toHex().toStdString(), b.inpOut.bytes().toHex().toStdString());
    EXPECT_EQ(a.confSe.bytes().toHex().toStdString(), b.confSe.bytes().toHex().toStdString());
}

TEST(Defaults, KeepTheUsersSwitchesFuelTablesAndConditionBit)
{
    ConfigRecords r;
    loadStartDefaults(r);
    r.config.setNumber(u"RS232_en1", 1);
    r.config.setNumber(u"Device1", 3);
    r.config.setNumber(u"FuelTable1", 4, 777);
    r.config.setNumber(u"CONF_PASS", 5);
    r.confSe.setNumber(u"MCC2", 401);
    r.inpOut.setNumber(u"EventWord1", 7, 0xC0000005);
    r.inpOut.setNumber(u"EventSource", 7, 3);
    loadDefaults(r);
    EXPECT_EQ(r.config.number(u"RS232_en1").value, 1);
    EXPECT_EQ(r.config.number(u"Device1").value, 0);
    EXPECT_EQ(r.config.number(u"FuelTable1", 4).value, 777);
    EXPECT_EQ(r.config.number(u"CONF_PASS").value, 5);
    EXPECT_EQ(r.confSe.number(u"MCC2").value, 401);
    EXPECT_EQ(r.inpOut.number(u"EventWord1", 7).value, 0x80000000LL);
    EXPECT_EQ(r.inpOut.number(u"EventSource", 7).value, 0);
}
