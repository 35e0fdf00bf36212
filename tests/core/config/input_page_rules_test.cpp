// The rules of the inputs and security pages without a page: labels, coupled inputs, the live bar's colour and
// the iButton keys both ways.

#include "core/config/input_page_rules.h"

#include <gtest/gtest.h>

using namespace rv;
using namespace rv::inputs;

TEST(InputPageRules, VoltsUseTheFiveVoltDividerOnlyOnInputsOneAndTwo)
{
    EXPECT_EQ(voltsText(141, 6, 3), QStringLiteral("4,79 В"));
    EXPECT_EQ(voltsText(1023, 0, 1), QStringLiteral("34,8 В"));
    EXPECT_EQ(voltsText(1023, 1, kTypeAnalog5V), QStringLiteral("6,32 В"));
    EXPECT_EQ(voltsText(1023, 2, kTypeAnalog5V), QStringLiteral("34,8 В")); // item 3 of input 3 is not 5 V
    EXPECT_EQ(voltsText(0, 0, 0), QStringLiteral("0 В"));
}

TEST(InputPageRules, FilterTimeIsInSecondsOnlyOnAFrequencyInputOneOrTwo)
{
    EXPECT_EQ(filterTimeText(3, 0, kTypeFrequency), QStringLiteral("(3 сек)"));
    EXPECT_EQ(filterTimeText(3, 1, kTypeFrequency), QStringLiteral("(3 сек)"));
    EXPECT_EQ(filterTimeText(3, 0, kTypeCounter), QStringLiteral("(300 мс)"));
    EXPECT_EQ(filterTimeText(3, 4, kTypeFrequency), QStringLiteral("(300 мс)"));
}

TEST(InputPageRules, FrequencyThresholdExistsOnlyForInputsOneAndTwo)
{
    EXPECT_TRUE(hasFreqLevel(0, kTypeFrequency));
    EXPECT_TRUE(hasFreqLevel(1, kTypeCounter));
    EXPECT_FALSE(hasFreqLevel(0, kTypeDifferential));
    for (int input = 2; input < kInputs; ++input)
        EXPECT_FALSE(hasFreqLevel(input, kTypeFrequency)) << input;
    EXPECT_EQ(freqLevelCaption(kTypeFrequency), QStringLiteral("Порог частоты"));
    EXPECT_EQ(freqLevelCaption(kTypeCounter), QStringLiteral("Переполнение"));
}

TEST(InputPageRules, CoupledInputsAndSpecialFunctionsDependOnTheUnitType)
{
    EXPECT_EQ(coupledInput(UnitProfile(2), 0, kTypeDifferential), 1);
    EXPECT_EQ(coupledInput(UnitProfile(4), 1, kTypeDifferential), 0);
    EXPECT_EQ(coupledInput(UnitProfile(2), 0, kTypeCounter), std::nullopt);
    EXPECT_EQ(coupledInput(UnitProfile(3), 0, kTypeDifferential), std::nullopt); // type 3's list has no item 6
    EXPECT_EQ(coupledInput(UnitProfile(3), 3, 1), 4);
    EXPECT_EQ(coupledInput(UnitProfile(3), 4, 1), 3);
    EXPECT_EQ(coupledInput(UnitProfile(2), 3, 1), std::nullopt);
    EXPECT_EQ(coupledInput(UnitProfile(7), 0, kTypeDifferential), std::nullopt);

    EXPECT_TRUE(isSpecialFunction(UnitProfile(2), 5, 3));
    EXPECT_TRUE(isSpecialFunction(UnitProfile(4), 7, 3));
    EXPECT_FALSE(isSpecialFunction(UnitProfile(2), 4, 3));
    EXPECT_FALSE(isSpecialFunction(UnitProfile(2), 6, 2));
}

TEST(InputPageRules, BarColourFollowsTheActiveLevelOnEachSideOfTheLimits)
{
    const struct {
        int level;
        BarColour below, inside, above;
    } rows[] = {
        {0, BarColour::Red, BarColour::Blue, BarColour::Red},   {1, BarColour::Red, BarColour::Blue, BarColour::Blue},
        {2, BarColour::Blue, BarColour::Red, BarColour::Blue},  {3, BarColour::Blue, BarColour::Blue, BarColour::Red},
        {4, BarColour::Red, BarColour::Green, BarColour::Blue}, {5, BarColour::Blue, BarColour::Green, BarColour::Red},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(barColour(r.level, 100, 200, 99), r.below) << r.level;
        EXPECT_EQ(barColour(r.level, 100, 200, 100), r.inside) << r.level;
        EXPECT_EQ(barColour(r.level, 100, 200, 200), r.inside) << r.level;
        EXPECT_EQ(barColour(r.level, 100, 200, 201), r.above) << r.level;
    }
    EXPECT_EQ(barColour(9, 100, 200, 0), BarColour::Blue); // a level no item stands for
}

TEST(InputPageRules, KeysConvertBothWaysLastByteFirst)
{
    const QByteArray stored = QByteArray::fromHex("ab8967452301");
    EXPECT_EQ(keyText(stored), QStringLiteral("0123456789AB"));
    EXPECT_EQ(keyBytes(u"0123456789AB"), stored);
    EXPECT_EQ(keyBytes(u"0123456789ab"), stored);
    EXPECT_EQ(keyText(*keyBytes(u"0123456789AB")), QStringLiteral("0123456789AB"));

    // Byte 0 equal to 0 shows as no key; an empty cell stores six zeros.
    EXPECT_EQ(keyText(QByteArray::fromHex("00ffffffffff")), QString());
    EXPECT_EQ(keyBytes(u""), QByteArray(6, '\0'));
    EXPECT_EQ(keyText(QByteArray::fromHex("0102")), QString()); // short bytes are never read past
}

TEST(InputPageRules, AShortKeyIsPaddedOnTheLeftAndAnythingElseIsRefused)
{
    EXPECT_EQ(paddedKey(u"1a2"), QStringLiteral("0000000001A2"));
    EXPECT_EQ(keyBytes(u"1a2"), QByteArray::fromHex("a20100000000"));
    EXPECT_EQ(paddedKey(u""), QString());
    EXPECT_EQ(paddedKey(u"0123456789ABC"), std::nullopt);
    EXPECT_EQ(keyBytes(u"01234567 9AB"), std::nullopt);
    EXPECT_EQ(keyBytes(u"G"), std::nullopt);
    EXPECT_EQ(keyBytes(u"-1"), std::nullopt);
}
