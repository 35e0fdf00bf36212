// The encodings of the binding tables, without widgets: what a control is given to show, what its state
// stores, and the rule that a control still showing what it was given hands back the stored bits.

#include "core/config/page_binding.h"
#include "core/config/sim_presets.h"

#include <gtest/gtest.h>

using namespace rv;
using namespace rv::bind;

namespace {

// Tables are checked while compiling: each kind of mistake is refused.
constexpr std::array kGoodTable{number("ID_Device"), check("Ring_sourse9").of("RingSources", 2).bitAt(8),
                                list("Type_message").at(kCurrentElement), number("MCC1").in(RecordKind::ConfSe)};
static_assert(checkBindings(kGoodTable));
template <const auto& T>
concept Checks = requires { typename std::integral_constant<bool, checkBindings(T)>; };
constexpr std::array kMisspelt{number("ID_Devise")};
constexpr std::array kWrongRecord{number("MCC1")};
constexpr std::array kTextAsNumber{number("Sim1Apn")};
constexpr std::array kCheckOnWord{check("EnableFlags")};
constexpr std::array kBitPastWord{check("Ring_sourse1").of("RingSources").bitAt(16)};
constexpr std::array kTwice{number("ID_Device"), check("ID_Device").of("DTMF_en")};
static_assert(Checks<kGoodTable> && !Checks<kMisspelt> && !Checks<kWrongRecord> && !Checks<kTextAsNumber>
              && !Checks<kCheckOnWord> && !Checks<kBitPastWord> && !Checks<kTwice>);

ControlValue typed(const QString& t) { return ControlValue{.text = t}; }
ControlValue picked(int i) { return ControlValue{.index = i}; }
ControlValue ticked(bool on) { return ControlValue{.checked = on}; }

// Spreads a row from `r` and gathers `now` back into `r`, as the pages do.
QList<int> roundTrip(ConfigRecords& r, const Binding& b, const ControlValue& now, int items = 0, int element = 0)
{
    const RecordBase& rec = recordOf(r, b.record);
    const Spread spread{showValue(rec, b, element, items), storedBits(rec, b, element)};
    const GatherRow row{&b, element, now, spread};
    return gatherRows(r, std::span(&row, 1));
}

} // namespace

TEST(PageBinding, NumberShowsDecimalAndRefusesWhatTheFieldCannotHold)
{
    ConfigRecords r;
    const Binding port = number("Port_server");
    EXPECT_EQ(storeValue(r.config, port, 0, typed("12500")), FieldError::None);
    EXPECT_EQ(r.config.bytes().mid(91, 2), QByteArray::fromHex("d430"));
    EXPECT_EQ(showValue(r.config, port, 0).text, QStringLiteral("12500"));

    // Never a wrapped number, never a '-' in an unsigned field, never junk as 0.
    for (const char* bad : {"65536", "99999999999999999999", "-1", "", "12a", " 1", "1.5"})
        EXPECT_NE(storeValue(r.config, port, 0, typed(QString::fromLatin1(bad))), FieldError::None) << bad;
    EXPECT_EQ(r.config.bytes().mid(91, 2), QByteArray::fromHex("d430"));
    EXPECT_EQ(storeValue(r.config, number("IP_server1").of("IP_server", 0), 0, typed("256")), FieldError::OutOfRange);
    // The documented range is the validators' business; the record takes what its bits hold ("00" → 0).
    EXPECT_EQ(storeValue(r.confSe, number("TIMETOCON2").in(RecordKind::ConfSe), 0, typed("00")), FieldError::None);
    EXPECT_EQ(r.confSe.number(u"TIMETOCON2").value, 0);
}

TEST(PageBinding, SignedNumberIsTwosComplement)
{
    ConfigRecords r;
    const Binding t = signedNumber("TempLL1");
    EXPECT_EQ(storeValue(r.config, t, 0, typed("-10")), FieldError::None);
    EXPECT_EQ(uint8_t(r.config.bytes()[465]), 0xF6);
    EXPECT_EQ(showValue(r.config, t, 0).text, QStringLiteral("-10"));
    EXPECT_EQ(storeValue(r.config, t, 0, typed("-129")), FieldError::OutOfRange);
    EXPECT_EQ(storeValue(r.config, t, 0, typed("-")), FieldError::BadValue);
}

TEST(PageBinding, TenthsUseTheCommaAndTruncate)
{
    ConfigRecords r;
    const Binding hdop = tenths("MaxHdop");
    EXPECT_EQ(storeValue(r.config, hdop, 0, typed("2,5")), FieldError::None);
    EXPECT_EQ(r.config.number(u"MaxHdop").value, 25);
    EXPECT_EQ(showValue(r.config, hdop, 0).text, QStringLiteral("2,5"));
    EXPECT_EQ(storeValue(r.config, hdop, 0, typed("25,09")), FieldError::None);
    EXPECT_EQ(r.config.number(u"MaxHdop").value, 250);
    EXPECT_EQ(showValue(r.config, hdop, 0).text, QStringLiteral("25"));
    EXPECT_EQ(storeValue(r.config, hdop, 0, typed("25,6")), FieldError::OutOfRange);
    EXPECT_EQ(storeValue(r.config, hdop, 0, typed(",")), FieldError::BadValue);

    // A stored 251, above what the page lets a user type, survives a fill and a gathering.
    r.config.storeNumberAt(*r.config.field(u"MaxHdop"), 0, 251);
    EXPECT_EQ(showValue(r.config, hdop, 0).text, QStringLiteral("25,1"));
    EXPECT_TRUE(roundTrip(r, hdop, typed("25,1")).isEmpty());
    EXPECT_EQ(r.config.number(u"MaxHdop").value, 251);
}

TEST(PageBinding, VoltsKeepTheRawCountUnlessEdited)
{
    ConfigRecords r;
    const Binding v = volts("Extvoltlev", 363, 10230); // 36.3 V over 1023 counts
    EXPECT_EQ(storeValue(r.config, v, 0, typed("10,5")), FieldError::None);
    EXPECT_EQ(r.config.bytes().mid(297, 2), QByteArray::fromHex("2701")); // 295
    EXPECT_EQ(showValue(r.config, v, 0).text, QStringLiteral("10,5"));

    // 296 is shown as "10,5" too: without an edit it stays 296, an edit to the same text gives 295.
    r.config.setNumber(u"Extvoltlev", 296);
    EXPECT_EQ(showValue(r.config, v, 0).text, QStringLiteral("10,5"));
    EXPECT_TRUE(roundTrip(r, v, typed("10,5")).isEmpty());
    EXPECT_EQ(r.config.number(u"Extvoltlev").value, 296);
    EXPECT_TRUE(roundTrip(r, v, typed("10,50")).isEmpty());
    EXPECT_EQ(r.config.number(u"Extvoltlev").value, 295);
    EXPECT_EQ(storeValue(r.config, v, 0, typed("36,3")), FieldError::None);
    EXPECT_EQ(r.config.number(u"Extvoltlev").value, 1023); // exact, no drift of the last count
}

TEST(PageBinding, TextIsWindows1251InsideItsWidth)
{
    ConfigRecords r;
    const Binding apn = text("SIM1APN").of("Sim1Apn");
    EXPECT_EQ(storeValue(r.config, apn, 0, typed(QStringLiteral("интернет"))), FieldError::None);
    EXPECT_EQ(r.config.bytes().mid(93, 9), QByteArray::fromHex("e8edf2e5f0ede5f200"));
    EXPECT_EQ(showValue(r.config, apn, 0).text, QStringLiteral("интернет"));
    EXPECT_EQ(storeValue(r.config, apn, 0, typed(QString(29, u'a'))), FieldError::TextTooLong);
    EXPECT_EQ(storeValue(r.config, apn, 0, typed(QStringLiteral("中"))), FieldError::NotEncodable);

    // A text with no NUL in its 29 bytes is shown whole and kept byte for byte.
    QByteArray b = r.config.bytes();
    b.replace(93, 29, QByteArray(29, 'x'));
    r.config.setBytes(b);
    EXPECT_EQ(showValue(r.config, apn, 0).text, QString(29, u'x'));
    EXPECT_TRUE(roundTrip(r, apn, typed(QString(29, u'x'))).isEmpty());
    EXPECT_EQ(r.config.bytes(), b);
    // Edited, it is stored with its NUL.
    EXPECT_TRUE(roundTrip(r, apn, typed("ab")).isEmpty());
    EXPECT_EQ(r.config.bytes().mid(93, 4), QByteArray("ab\0x", 4));
}

TEST(PageBinding, PhoneKeepsItsSignificantDigits)
{
    ConfigRecords r;
    const Binding phone = bind::phone("Connect_number").of("Phone", kCurrentElement);
    EXPECT_EQ(storeValue(r.config, phone, 1, typed("89161234567")), FieldError::None);
    EXPECT_EQ(r.config.bytes().mid(41, 11), QByteArray("9161234567\0", 11));
    EXPECT_EQ(showValue(r.config, phone, 1).text, QStringLiteral("89161234567"));
    // A user who deletes the "8" and types a number keeps its first digit.
    EXPECT_EQ(storeValue(r.config, phone, 1, typed("9161234567")), FieldError::None);
    EXPECT_EQ(r.config.text(u"Phone", 1).value, QStringLiteral("9161234567"));
    EXPECT_EQ(storeValue(r.config, phone, 1, typed("")), FieldError::None);
    EXPECT_EQ(r.config.text(u"Phone", 1).value, QString());
    // An 11-digit number loses its leading 7, never its last digit; "+7" is not part of the number either.
    EXPECT_EQ(storeValue(r.config, phone, 1, typed("79161234567")), FieldError::None);
    EXPECT_EQ(r.config.text(u"Phone", 1).value, QStringLiteral("9161234567"));
    EXPECT_EQ(storeValue(r.config, phone, 1, typed("+79031112233")), FieldError::None);
    EXPECT_EQ(r.config.text(u"Phone", 1).value, QStringLiteral("9031112233"));
    EXPECT_EQ(storeValue(r.config, phone, 1, typed("91612345678")), FieldError::TextTooLong);
    EXPECT_EQ(storeValue(r.config, phone, 1, typed("8916-123")), FieldError::BadValue);
    EXPECT_EQ(r.config.bytes().mid(30, 11), QByteArray(11, '\0')); // connection 1 untouched
}

TEST(PageBinding, CheckSetsOneBitOfItsWord)
{
    ConfigRecords r;
    const Binding guard = check("Ring_sourse9").of("RingSources", kCurrentElement).bitAt(8);
    QByteArray b = r.config.bytes();
    b[349] = char(0xFF);
    b[350] = char(0xF0); // bits 12..15 belong to no control
    r.config.setBytes(b);
    EXPECT_FALSE(showValue(r.config, guard, 2).checked);
    EXPECT_EQ(storeValue(r.config, guard, 2, ticked(true)), FieldError::None);
    EXPECT_EQ(r.config.bytes().mid(349, 2), QByteArray::fromHex("fff1")); // connection 3: byte 350, bit 0
    EXPECT_EQ(storeValue(r.config, guard, 2, ticked(false)), FieldError::None);
    EXPECT_EQ(r.config.bytes().mid(349, 2), QByteArray::fromHex("fff0"));
    EXPECT_EQ(r.config.bytes().mid(345, 4), QByteArray(4, '\0'));

    const Binding sms = check("SMSansver");
    EXPECT_EQ(storeValue(r.config, sms, 0, ticked(true)), FieldError::None);
    EXPECT_EQ(r.config.bytes().mid(5, 2), QByteArray::fromHex("2000"));
}

TEST(PageBinding, ListIndexNeverPointsPastItsListAndKeepsTheStoredNibble)
{
    ConfigRecords r;
    const Binding type = list("Type_message").at(kCurrentElement);
    const Binding call = list("Input_Call").at(kCurrentElement);
    QByteArray b = r.config.bytes();
    b[372 + 1] = char(0xF2); // connection 2: incoming call 15 (past the list), message type 2
    r.config.setBytes(b);
    EXPECT_EQ(showValue(r.config, type, 1, 4).index, 2);
    EXPECT_EQ(showValue(r.config, call, 1, 4).index, -1);
    EXPECT_EQ(storedNumberText(r.config, call, 1), QStringLiteral("15"));

    // Choosing a message type changes its nibble only; no item chosen stores nothing.
    EXPECT_EQ(storeValue(r.config, type, 1, picked(3)), FieldError::None);
    EXPECT_EQ(uint8_t(r.config.bytes()[373]), 0xF3);
    EXPECT_EQ(storeValue(r.config, call, 1, picked(-1)), FieldError::None);
    EXPECT_EQ(uint8_t(r.config.bytes()[373]), 0xF3);
    EXPECT_EQ(storeValue(r.config, call, 1, picked(1)), FieldError::None);
    EXPECT_EQ(uint8_t(r.config.bytes()[373]), 0x13);

    // Item index + 1: a stored 0 (or 200) has no item and is kept.
    const Binding count = list("Number_out_call", 1).of("OutCallCount");
    EXPECT_EQ(showValue(r.config, count, 0, 5).index, -1);
    EXPECT_TRUE(roundTrip(r, count, picked(-1), 5).isEmpty());
    EXPECT_EQ(r.config.bytes()[366], '\0');
    EXPECT_EQ(storeValue(r.config, count, 0, picked(4)), FieldError::None);
    EXPECT_EQ(r.config.bytes()[366], '\5');
}

TEST(PageBinding, SliderShowsWhatItCanAndKeepsTheRest)
{
    ConfigRecords r;
    const Binding mic = slider("MicLevel", "LMic");
    QByteArray b = r.config.bytes();
    b[27] = char(200);
    r.config.setBytes(b);
    EXPECT_EQ(showValue(r.config, mic, 0).index, 15);
    EXPECT_EQ(storedNumberText(r.config, mic, 0), QStringLiteral("200"));
    EXPECT_TRUE(roundTrip(r, mic, picked(15)).isEmpty());
    EXPECT_EQ(uint8_t(r.config.bytes()[27]), 200);
    EXPECT_TRUE(roundTrip(r, mic, picked(7)).isEmpty());
    EXPECT_EQ(uint8_t(r.config.bytes()[27]), 7);
}

TEST(PageBinding, RadioGroupWithNoButtonForTheValueKeepsItUntilOneIsChosen)
{
    ConfigRecords r;
    // A radio pair on one bit, and a three-way choice on a two-bit group whose value 3 has no button.
    const std::array group{radio("A", "GLONASS_rej", 0), radio("B", "GLONASS_rej", 1), radio("C", "GLONASS_rej", 2)};
    r.config.setNumber(u"ModeFlags", 0x0003);
    std::array<GatherRow, 3> rows;
    for (int i = 0; i < 3; ++i) {
        const ControlValue shown = showValue(r.config, group[i], 0);
        EXPECT_FALSE(shown.checked);
        rows[i] = GatherRow{&group[i], 0, shown, Spread{shown, storedBits(r.config, group[i], 0)}};
    }
    EXPECT_TRUE(gatherRows(r, rows).isEmpty());
    EXPECT_EQ(r.config.number(u"ModeFlags").value, 3);

    // The user picks "B": the unchanged neighbours give back their stored bits first, then B's value wins,
    // whatever the rows' order.
    rows[1].now.checked = true;
    std::swap(rows[0], rows[2]);
    EXPECT_TRUE(gatherRows(r, rows).isEmpty());
    EXPECT_EQ(r.config.number(u"ModeFlags").value, 1);
}

TEST(PageBinding, GatheringAControlNeverFilledEncodesItAndReportsRefusals)
{
    ConfigRecords r;
    r.config.setNumber(u"ID_Device", 77);
    const Binding id = number("ID_Device");
    const Binding pass = number("Password");
    const std::array rows{GatherRow{&id, 0, typed("oops"), std::nullopt}, GatherRow{&pass, 0, typed("321"), std::nullopt}};
    EXPECT_EQ(gatherRows(r, rows), QList<int>{0});
    EXPECT_EQ(r.config.number(u"ID_Device").value, 77);
    EXPECT_EQ(r.config.number(u"Password").value, 321);
    EXPECT_EQ(checkValue(r.config, id, 0, typed("70000")), FieldError::OutOfRange);
    EXPECT_EQ(r.config.number(u"ID_Device").value, 77);
}

TEST(SimPresets, LengthsFirstLettersAndServiceNumbersAreFixed)
{
    const auto& p = simPresets();
    const struct { size_t apn, login, pass; char first; int number; } expected[] = {
        {19, 7, 7, 'b', 102}, {8, 5, 5, 'g', 100}, {15, 3, 3, 'm', 102}, {17, 0, 0, 0, 105}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(strlen(p[i].apn), expected[i].apn) << i;
        EXPECT_EQ(strlen(p[i].login), expected[i].login) << i;
        EXPECT_EQ(strlen(p[i].password), expected[i].pass) << i;
        EXPECT_EQ(p[i].login[0], expected[i].first) << i;
        EXPECT_EQ(p[i].serviceNumber, expected[i].number) << i;
    }
}

TEST(SimPresets, TheRecordNamesItsButtonAndAPresetRewritesTheSimFields)
{
    ConfigBlock c;
    EXPECT_EQ(simButton(c, 1), 4); // custom flag 0, empty login: "Теле2"
    c.setText(u"Sim1Login", 0, u"mts-old");
    EXPECT_EQ(simButton(c, 1), 3);
    c.setText(u"Sim1Login", 0, u"zzz");
    EXPECT_EQ(simButton(c, 1), std::nullopt);
    c.setNumber(u"Sim1Custom", 63);
    EXPECT_EQ(simButton(c, 1), kSimCustomButton);

    QByteArray b = c.bytes();
    b.replace(93, 29, QByteArray(29, 'q'));
    c.setBytes(b);
    applySimPreset(c, 1, 4);
    EXPECT_EQ(c.text(u"Sim1Apn").value, QStringLiteral("internet.tele2.ru"));
    EXPECT_EQ(c.bytes().mid(93 + 17, 12), QByteArray(1, '\0') + QByteArray(11, 'q'));
    EXPECT_EQ(c.text(u"Sim1Login").value, QString());
    EXPECT_EQ(c.number(u"SIM1NUM").value, 105);
    EXPECT_EQ(c.number(u"Sim1Custom").value, 0);
    // SIM 2 is untouched.
    EXPECT_EQ(c.bytes().mid(123, 30), QByteArray(30, '\0'));
    EXPECT_EQ(c.number(u"SIM2NUM").value, 0);
}
