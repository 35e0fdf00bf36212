#include "core/monitor/monitor_text.h"

#include <gtest/gtest.h>

#include <limits>

using namespace rv;

TEST(MonitorText, TenthsAndCoordinatesKeepSignOfValuesBelowOne)
{
    EXPECT_EQ(tenthsText(1234), "123,4");
    EXPECT_EQ(tenthsText(-15), "-1,5");
    EXPECT_EQ(tenthsText(-5), "-0,5");
    EXPECT_EQ(coordinateText(55123456), "55,123456");
    EXPECT_EQ(coordinateText(5000), "0,005000");
    EXPECT_EQ(coordinateText(-37500000), "-37,500000");
    EXPECT_EQ(coordinateText(-1), "-0,000001");
    EXPECT_EQ(coordinateText(std::numeric_limits<int32_t>::min()), "-2147,483648");
    EXPECT_EQ(hundredthsText(250 * 40), "100,00");
}

TEST(MonitorText, GeneralFormatRoundsToSignificantDigits)
{
    EXPECT_EQ(generalText(adcVolts(512, kAdcInput36V), 4), "17,4");
    EXPECT_EQ(generalText(adcVolts(512, kAdcInput5V), 4), "3,019");
    EXPECT_EQ(generalText(adcVolts(0, kAdcBattery), 4), "0");
    EXPECT_EQ(generalText(-0.25, 2), "-0,25");
    EXPECT_EQ(generalText(9999.7, 4), "1E4");      // rounding carries into a fifth whole digit
    EXPECT_EQ(generalText(12346, 4), "1,235E4");
    EXPECT_EQ(generalText(0.000001, 2), "1E-6");
    EXPECT_EQ(generalText(std::numeric_limits<double>::quiet_NaN(), 2), "NAN");
    EXPECT_EQ(generalText(-std::numeric_limits<double>::infinity(), 2), "-INF");
}

TEST(MonitorText, TimeTemperaturesAndKeyCodes)
{
    EXPECT_EQ(unitTimeText(0), "01.01.1970 00:00:00");
    EXPECT_EQ(unitTimeText(1700000000), "14.11.2023 22:13:20");
    EXPECT_EQ(unitTimeText(0xFFFFFFFF), "07.02.2106 06:28:15");
    EXPECT_EQ(externalTemperatureText(0x80), "нет");
    EXPECT_EQ(externalTemperatureText(0x81), "КЗ");
    EXPECT_EQ(externalTemperatureText(0x82), "обрыв");
    EXPECT_EQ(externalTemperatureText(0xFB), "-5");
    EXPECT_EQ(iButtonText({0x01, 0x02, 0x03, 0x04, 0xAB, 0xFF}), "FFAB04030201");
}
