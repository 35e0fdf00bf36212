#include "core/config/input_rules.h"

#include <gtest/gtest.h>

using namespace rv;

TEST(InputRules, KeyFilters)
{
    for (QChar c : QStringLiteral("0123456789\b"))
        EXPECT_TRUE(KeyPressDigit(c) && KeyPressFloat(c) && KeyPressHex(c));
    EXPECT_FALSE(KeyPressDigit(u'-'));          // unsigned fields: a '-' never reaches the record
    EXPECT_TRUE(KeyPressDigit(u'-', true));
    EXPECT_FALSE(KeyPressDigit(u','));
    EXPECT_TRUE(KeyPressFloat(u','));
    EXPECT_FALSE(KeyPressFloat(u'.'));
    EXPECT_TRUE(KeyPressHex(u'a') && KeyPressHex(u'F'));
    EXPECT_FALSE(KeyPressHex(u'g') || KeyPressHex(u'G') || KeyPressHex(u'-'));
    EXPECT_FALSE(KeyPressDigit(QChar(0x0663))); // an Arabic-Indic three is not a digit here
}

TEST(InputRules, ValidatorsReplaceEmptyTextAndTooLargeValues)
{
    const struct {
        Validator v;
        const char* in;
        const char* out; // nullptr: the text stands
    } cases[] = {
        {Validator::Val_0_255, "300", "255"},     {Validator::Val_0_255, "", "0"},
        {Validator::Val_0_255, "255", nullptr},   {Validator::Val_1_255, "", "1"},
        {Validator::Val_1_255, "0", nullptr},     {Validator::Val_1_255, "256", "255"},
        {Validator::Val_1_65535, "65536", "65535"}, {Validator::Val_1_65535, "", "1"},
        {Validator::Port, "", "0"},               {Validator::Port, "70000", "65535"},
        {Validator::ID_Device, "", "1"},          {Validator::ID_Device, "70000", "65535"},
        {Validator::CONF_PASS, "", "1"},          {Validator::Password, "", "0"},
        {Validator::Password, "99999", "65535"},  {Validator::BalansBox, "", "50"},
        {Validator::BalansBox, "251", "250"},     {Validator::BalansBox, "250", nullptr},
        {Validator::TIMETOCON2, "0", "10"},       {Validator::TIMETOCON2, "", "10"},
        {Validator::TIMETOCON2, "1500", "1000"},  {Validator::TIMETOCON2, "00", nullptr},
        {Validator::Val_0_255, "99999999999999999999999", "255"},
        {Validator::Val_0_255, "-5", nullptr},    {Validator::Val_0_255, "1x", nullptr},
        // A phone number keeps its significant digits: a leading 8, 7 or +7 makes room for one more.
        {Validator::Phone, "89161234567", nullptr}, {Validator::Phone, "79161234567", nullptr},
        {Validator::Phone, "+79161234567", nullptr}, {Validator::Phone, "9161234567", nullptr},
        {Validator::Phone, "791612345678", "79161234567"}, {Validator::Phone, "+791612345678", "+79161234567"},
        {Validator::Phone, "91612345678", "9161234567"},
    };
    for (const auto& c : cases) {
        const auto out = validate(c.v, QString::fromLatin1(c.in));
        if (c.out)
            EXPECT_EQ(out, QString::fromLatin1(c.out)) << int(c.v) << " " << c.in;
        else
            EXPECT_EQ(out, std::nullopt) << int(c.v) << " " << c.in;
    }
}

TEST(InputRules, DefaultsAreSelectedAndCorrectionsFitTheirEdit)
{
    // A default stands for an empty text; a bound is not one.
    EXPECT_TRUE(isDefaultFill(Validator::ID_Device, u""));
    EXPECT_TRUE(isDefaultFill(Validator::TIMETOCON2, u"0"));
    EXPECT_FALSE(isDefaultFill(Validator::ID_Device, u"70000"));
    EXPECT_FALSE(isDefaultFill(Validator::Phone, u""));
    // "25,0" in a 3-character edit is "25", the same value; what cannot be shortened stays whole.
    EXPECT_EQ(fitCorrection(QStringLiteral("25,0"), 3), QStringLiteral("25"));
    EXPECT_EQ(fitCorrection(QStringLiteral("25,0"), 4), QStringLiteral("25,0"));
    EXPECT_EQ(fitCorrection(QStringLiteral("25,5"), 3), QStringLiteral("25,5"));
    EXPECT_EQ(fitCorrection(QStringLiteral("65535"), 3), QStringLiteral("65535"));
    // The phone's stored digits, and texts that are no phone number.
    EXPECT_EQ(phoneDigits(u"+79161234567"), QStringLiteral("9161234567"));
    EXPECT_EQ(phoneDigits(u"79161234567"), QStringLiteral("9161234567"));
    EXPECT_EQ(phoneDigits(u"7916123456"), QStringLiteral("7916123456")); // ten digits are the number
    EXPECT_EQ(phoneDigits(u"8112"), QStringLiteral("112"));
    EXPECT_EQ(phoneDigits(u"+"), QString());
    EXPECT_EQ(phoneDigits(u"+8916"), std::nullopt);
    EXPECT_EQ(phoneDigits(u"8+7916"), std::nullopt);
}
