// The rules of the navigation, power and peripheral settings: decimal and temperature edits, the supply
// threshold in volts, the track profiles and the fuel tables.

#include "core/config/fuel_table.h"
#include "core/config/input_rules.h"
#include "core/config/page_binding.h"
#include "core/config/track_presets.h"

#include <gtest/gtest.h>

using namespace rv;

namespace {

std::string corrected(Validator v, const char* text)
{
    const auto r = validate(v, QString::fromUtf8(text));
    return r ? r->toStdString() : std::string("(stands)");
}

} // namespace

TEST(NavigationRules, DecimalAndTemperatureEditsCorrectTheirText)
{
    EXPECT_EQ(corrected(Validator::MaxHdop, ""), "1");
    EXPECT_EQ(corrected(Validator::MaxHdop, "30"), "25,0");
    EXPECT_EQ(corrected(Validator::MaxHdop, "25,1"), "25,0");
    EXPECT_EQ(corrected(Validator::MaxHdop, "25,0"), "(stands)");
    EXPECT_EQ(corrected(Validator::MaxHdop, "25"), "(stands)");
    EXPECT_EQ(corrected(Validator::MaxHdop, "2,"), "(stands)");
    EXPECT_EQ(corrected(Validator::MaxHdop, ","), "(stands)"); // not a number: marked, not replaced
    EXPECT_EQ(corrected(Validator::Extvoltlev, ""), "1");
    EXPECT_EQ(corrected(Validator::Extvoltlev, "25,5"), "(stands)");
    EXPECT_EQ(corrected(Validator::Extvoltlev, "25,51"), "25,5");
    EXPECT_EQ(corrected(Validator::Extvoltlev, "26"), "25,5");
    EXPECT_EQ(corrected(Validator::Extvoltlev, "99999999999999999999"), "25,5");

    EXPECT_EQ(corrected(Validator::Temperature, ""), "0");
    // A lone "-" begins a negative number while the user types; left alone, it becomes "0".
    EXPECT_EQ(corrected(Validator::Temperature, "-"), "(stands)");
    EXPECT_EQ(validateDone(Validator::Temperature, u"-"), QStringLiteral("0"));
    EXPECT_EQ(validateDone(Validator::Temperature, u"-60"), QStringLiteral("-55"));
    EXPECT_EQ(corrected(Validator::Temperature, "200"), "125");
    EXPECT_EQ(corrected(Validator::Temperature, "-60"), "-55");
    EXPECT_EQ(corrected(Validator::Temperature, "-55"), "(stands)");
    EXPECT_EQ(corrected(Validator::Temperature, "125"), "(stands)");
    EXPECT_EQ(corrected(Validator::Temperature, "-10"), "(stands)");
    EXPECT_EQ(corrected(Validator::EmptyZero, ""), "0");
    EXPECT_EQ(corrected(Validator::EmptyZero, "999"), "(stands)");
}

TEST(NavigationRules, SupplyThresholdInVoltsKeepsItsRawValueUnlessEdited)
{
    const Binding volts = bind::volts("Extvoltlev", 363, 10230);
    ConfigBlock c;
    ASSERT_EQ(storeValue(c, volts, 0, {.text = QStringLiteral("10,5")}), FieldError::None);
    EXPECT_EQ(c.bytes().mid(297, 2), QByteArray::fromHex("2701")); // 295
    EXPECT_EQ(showValue(c, volts, 0).text, QStringLiteral("10,5"));

    // 296 is shown as "10,5" too; gathered without an edit it stays 296, not 295.
    c.setNumber(u"Extvoltlev", 296);
    ConfigRecords records;
    records.config.setBytes(c.bytes());
    const Spread spread{showValue(c, volts, 0), storedBits(c, volts, 0)};
    const GatherRow row{&volts, 0, spread.shown, spread};
    EXPECT_TRUE(gatherRows(records, std::span(&row, 1)).isEmpty());
    EXPECT_EQ(records.config.number(u"Extvoltlev").value, 296);
    // Edited to the same text it shows, the value is the text's.
    const GatherRow edited{&volts, 0, {.text = QStringLiteral("10,50")}, spread};
    EXPECT_TRUE(gatherRows(records, std::span(&edited, 1)).isEmpty());
    EXPECT_EQ(records.config.number(u"Extvoltlev").value, 295);

    // Tenths above the edit's limit survive as well.
    const Binding hdop = bind::tenths("MaxHdop");
    records.config.setNumber(u"MaxHdop", 0);
    c.setNumber(u"MaxHdop", 0);
    QByteArray b = c.bytes();
    b[241] = char(255);
    c.setBytes(b);
    EXPECT_EQ(showValue(c, hdop, 0).text, QStringLiteral("25,5"));
    const Spread hs{showValue(c, hdop, 0), storedBits(c, hdop, 0)};
    const GatherRow same{&hdop, 0, hs.shown, hs};
    gatherRows(records, std::span(&same, 1));
    EXPECT_EQ(uint8_t(records.config.bytes()[241]), 255);
}

TEST(NavigationRules, TrackProfilesSetExactlyTheirControls)
{
    EXPECT_TRUE(trackPreset(0).empty());
    EXPECT_TRUE(trackPreset(4).empty());
    auto value = [](int profile, std::string_view control) -> std::string {
        for (const PresetControl& p : trackPreset(profile))
            if (p.control == control)
                return p.isCheck() ? (p.checked ? "ticked" : "unticked") : std::string(p.text);
        return "absent";
    };
    for (int p = 1; p <= kTrackPresetCount; ++p) {
        EXPECT_EQ(trackPreset(p).size(), 19u);
        EXPECT_EQ(value(p, "Filter_coord"), "ticked");
        EXPECT_EQ(value(p, "MaxHdop"), "4");
        EXPECT_EQ(value(p, "Accel_sens"), "800");
    }
    // "Эконом" ticks all four filter switches.
    for (const char* box : {"ParkCheck", "Filter_coord", "Perestroi", "Filterline"})
        EXPECT_EQ(value(3, box), "ticked") << box;
    EXPECT_EQ(value(3, "Perpackmove"), "60");
    EXPECT_EQ(value(3, "Packdist"), "50");
    EXPECT_EQ(value(3, "Minangel"), "7");
    EXPECT_EQ(value(3, "Filterlineangel"), "7");
    EXPECT_EQ(value(1, "ParkCheck"), "unticked");
    EXPECT_EQ(value(1, "Packdist"), "20");
    EXPECT_EQ(value(2, "Perpackmove"), "40");
    EXPECT_EQ(value(2, "Packdist"), "30");
}

TEST(FuelTable, CellsStoreTheirValueOrNothing)
{
    EXPECT_EQ(fuel::cellValue(u""), 0);
    EXPECT_EQ(fuel::cellValue(u"65535"), 65535);
    EXPECT_EQ(fuel::cellValue(u"-1"), 0xFFFF); // a broken line's reading, inserted from the live block
    EXPECT_EQ(fuel::cellValue(u"-32768"), 0x8000);
    // A value the record cannot hold is never stored as another number (70000 is not 4464).
    EXPECT_EQ(fuel::cellValue(u"70000"), std::nullopt);
    EXPECT_EQ(fuel::cellValue(u"-32769"), std::nullopt);
    EXPECT_EQ(fuel::cellValue(u"12a"), std::nullopt);
    EXPECT_EQ(fuel::cellCorrection(u"70000"), QStringLiteral("65535"));
    EXPECT_EQ(fuel::cellCorrection(u"65535"), std::nullopt);
    EXPECT_EQ(fuel::cellCorrection(u""), std::nullopt);

    EXPECT_EQ(fuel::rowLabel(0), QStringLiteral("Объем"));
    EXPECT_EQ(fuel::rowLabel(1), QStringLiteral("Пустой бак"));
    EXPECT_EQ(fuel::rowLabel(2), QStringLiteral("1/20"));
    EXPECT_EQ(fuel::rowLabel(11), QStringLiteral("Половина"));
    EXPECT_EQ(fuel::rowLabel(20), QStringLiteral("19/20"));
    EXPECT_EQ(fuel::rowLabel(21), QStringLiteral("Полный бак"));
    EXPECT_EQ(fuel::columnTitle(2), QStringLiteral("Значение 2"));
}

TEST(FuelTable, StoringIsAllOrNothingAndTouchesOnlyTheTables)
{
    ConfigBlock c;
    QByteArray before(512, '\x5A');
    c.setBytes(before);
    QStringList one = fuel::column(c, 1);
    QStringList two = fuel::column(c, 2);
    ASSERT_EQ(one.size(), fuel::kPoints);
    EXPECT_EQ(one[0], QStringLiteral("23130"));

    one[10] = QString();           // "Половина" left empty: 0
    two[20] = QStringLiteral("-1");
    two[3] = QStringLiteral("70000");
    EXPECT_EQ(fuel::store(c, one, two), (QList<fuel::Cell>{{2, 3}}));
    EXPECT_EQ(c.bytes(), before);

    two[3] = QStringLiteral("65535");
    EXPECT_TRUE(fuel::store(c, one, two).isEmpty());
    QByteArray expected = before;
    expected[381 + 20] = 0;
    expected[381 + 21] = 0;
    expected[423 + 6] = char(0xFF);
    expected[423 + 7] = char(0xFF);
    expected[423 + 40] = char(0xFF);
    expected[423 + 41] = char(0xFF);
    EXPECT_EQ(c.bytes(), expected);
}

TEST(FuelTable, ReadingsComeSignedFromTheNavigationBlock)
{
    QByteArray gps(105, '\0');
    gps[59] = char(0xFF);
    gps[60] = char(0xFF);
    gps[61] = char(0x34);
    gps[62] = char(0x12);
    EXPECT_EQ(fuel::readingText(gps, 1), QStringLiteral("-1"));
    EXPECT_EQ(fuel::readingText(gps, 2), QStringLiteral("4660"));
    EXPECT_EQ(fuel::readingText(gps, 3), std::nullopt);
    EXPECT_EQ(fuel::readingText(gps.left(62), 2), std::nullopt);
}
