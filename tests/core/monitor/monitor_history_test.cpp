#include "core/monitor/monitor_history.h"

#include "core/monitor/monitor_labels.h"
#include "core/base/bytes.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace rv;
using namespace rv::chart;

namespace {

QString labelOf(const MonitorUpdate& u, const char* name)
{
    const LabelUpdate* l = u.find(QString::fromUtf8(name));
    return l && l->text ? *l->text : QString();
}

QByteArray gpsBytes()
{
    QByteArray g(GpsBlock::kSize, '\0');
    g[12] = '\x19';                                    // 9 satellites, fix not valid
    g[13] = 12;                                        // HDOP 1,2
    le::put16(g, 16, 425);                             // 42,5 km/h
    for (int i = 0; i < 8; ++i)
        le::put16(g, 20 + 2 * i, uint16_t(100 * (i + 1)));
    le::put16(g, 36, 640);                             // battery
    le::put16(g, 38, 400);                             // supply
    g[40] = '\x81';                                    // inputs 1 and 8 active
    g[41] = '\x0A';                                    // outputs 2 and 4 on
    g[42] = '\xF6';                                    // -10 °C
    const char temps[8] = {21, '\xFB', '\x80', '\x81', '\x82', 3, 0, '\xF4'};
    for (int i = 0; i < 8; ++i)
        g[51 + i] = temps[i];
    le::put16(g, 59, 2400);
    le::put16(g, 61, 0xFFFF);                          // sensor 2: line broken
    g[65] = char(150);                                 // 60 %
    return g;
}

Sample sampleAt(int64_t msecs)
{
    Sample s;
    s.msecs = msecs;
    return s;
}

} // namespace

// Every value a chart draws is the number its label shows, in the label's own words.
TEST(MonitorHistory, SampleValuesAreThoseOfTheLabels)
{
    const GpsSnapshot gps = decodeGps(gpsBytes());
    BatteryWarning battery;
    const MonitorUpdate page = refreshGps(gps, decodeDevice({}), UnitProfile(2, 0), battery);
    const MonitorUpdate periph = refreshDevice(gps, decodeDevice({}), UnitProfile(2));
    const Sample s = sampleOf(gps, UnitProfile(2, 0), 1000);

    EXPECT_EQ(labelOf(page, "LExt_in"), "Uпит: " + s.text(Supply));
    EXPECT_EQ(labelOf(page, "LAkk"), "Uбат: " + s.text(Battery));
    EXPECT_EQ(labelOf(page, "LSpeed"), "Скорость, км/ч: " + s.text(Speed));
    EXPECT_EQ(labelOf(page, "LHDOP"), "Горизонтальная точность: " + s.text(Hdop));
    EXPECT_EQ(labelOf(page, "LSat"), "Видимых спутников: " + s.text(Satellites));
    EXPECT_EQ(labelOf(page, "LTemp"), "Темп. устройства: " + s.text(UnitTemp));
    EXPECT_EQ(labelOf(periph, "Omnival1"), "Уровень1: " + s.text(Fuel1));
    EXPECT_EQ(labelOf(periph, "Lfuellev"), "Уровень топлива в баке, %: " + s.text(CanFuel));
    EXPECT_EQ(labelOf(periph, "LTemp2"), "Темп. 2: " + s.text(ExtTemp2));

    EXPECT_NEAR(s.value(Supply), 400 * 3.16 * 11 / 1023, 1e-9);
    EXPECT_DOUBLE_EQ(s.value(Speed), 42.5);
    EXPECT_DOUBLE_EQ(s.value(CanFuel), 60.0);
    EXPECT_DOUBLE_EQ(s.value(ExtTemp8), -12);
    EXPECT_EQ(s.value(InState1), 1);
    EXPECT_EQ(s.value(InState2), 0);
    EXPECT_EQ(s.value(InState8), 1);
    // No sensor, a short, an open line and a broken fuel line are gaps, not numbers.
    for (int series : {int(ExtTemp3), int(ExtTemp4), int(ExtTemp5), int(Fuel2)}) {
        EXPECT_TRUE(std::isnan(s.value(series))) << series;
        EXPECT_TRUE(s.text(series).isEmpty());
    }
}

// The labels and the charts read the inputs and outputs by the same layout: a chart has a value exactly where
// the label shows volts (or an output's state), and it is the label's number.
TEST(MonitorHistory, InputsAndOutputsFollowTheLayoutOfTheLabels)
{
    const GpsSnapshot gps = decodeGps(gpsBytes());
    // Type 2 as it starts, with input 1 in 5 V mode and input 2 counting frequency, and type 3.
    for (const UnitProfile& unit : {UnitProfile(2, 0), UnitProfile(2, (1u << 1) | (2u << 3)), UnitProfile(3, 0)}) {
        BatteryWarning battery;
        const MonitorUpdate page = refreshGps(gps, decodeDevice({}), unit, battery);
        const Sample s = sampleOf(gps, unit, 0);
        for (int i = 0; i < 12; ++i) {
            const int series = i < 8 ? Input1 + i : Output1 + i - 8;
            const QString name = i < 8 ? QStringLiteral("LIN%1").arg(i + 1) : QStringLiteral("LOUT%1").arg(i - 7);
            const QString caption = i < 8 ? QStringLiteral("Вход %1: ").arg(i + 1) : QStringLiteral("Выход %1: ").arg(i - 7);
            EXPECT_EQ(labelOf(page, name.toLatin1().constData()) == caption + s.text(series), !std::isnan(s.value(series)))
                << unit.type() << ' ' << unit.options() << ' ' << name.toStdString();
        }
    }
    EXPECT_NEAR(sampleOf(gps, UnitProfile(2, 1u << 1), 0).value(Input1), 100 * 3.16 * 1.909 / 1023, 1e-9);
}

TEST(MonitorHistory, KeepsAnHourAndWrapsAround)
{
    History h;
    constexpr int64_t kPoll = 270;
    const int64_t start = 1767225600000;
    const int polls = int(70 * 60 * 1000 / kPoll);      // seventy minutes of polls
    for (int i = 0; i < polls; ++i)
        h.add(sampleAt(start + i * kPoll));
    const int64_t newest = start + int64_t(polls - 1) * kPoll;
    EXPECT_EQ(h.newest().msecs, newest);
    EXPECT_GE(h.at(0).msecs, newest - History::kSpanMs);
    EXPECT_LT(h.at(0).msecs - kPoll, newest - History::kSpanMs);
    EXPECT_EQ(h.size(), History::kSpanMs / kPoll + 1);
    EXPECT_EQ(h.added(), uint64_t(polls));
    for (qsizetype i = 1; i < h.size(); ++i)
        ASSERT_EQ(h.at(i).msecs - h.at(i - 1).msecs, kPoll) << i; // in order across the ring's end
    EXPECT_EQ(h.at(h.lowerBound(newest - 1000)).msecs, newest - 810);
    EXPECT_EQ(h.lowerBound(newest + 1), h.size());
    EXPECT_EQ(h.lowerBound(0), 0);

    // A unit polled faster than the ring holds keeps its newest samples.
    History fast;
    for (int i = 0; i < History::kCapacity + 500; ++i)
        fast.add(sampleAt(start + i * 100));
    EXPECT_EQ(fast.size(), History::kCapacity);
    EXPECT_EQ(fast.newest().msecs, start + int64_t(History::kCapacity + 499) * 100);
    EXPECT_EQ(fast.at(0).msecs, start + 500 * 100);
}

// Across the ring's end: unit B is found while the ring is full of A's samples; its samples from before its
// device block named it stay, A's go.
TEST(MonitorHistory, AnotherUnitKeepsOnlyItsOwnSamples_AcrossTheRingsEnd)
{
    History h;
    const int64_t start = 1767225600000;
    int64_t t = start;
    h.connectionStarted();
    for (int i = 0; i < History::kCapacity + 100; ++i)
        h.add(sampleAt(t += 100));
    EXPECT_FALSE(h.identify({7, QStringLiteral("861234567890007")})); // the first unit named: nothing goes
    EXPECT_EQ(h.size(), History::kCapacity);
    h.connectionStarted(); // A found again: still A
    h.add(sampleAt(t += 100));
    EXPECT_FALSE(h.identify({7, QStringLiteral("861234567890007")}));
    EXPECT_EQ(h.size(), History::kCapacity);

    h.connectionStarted(); // B
    const int64_t bFirst = t + 100;
    for (int i = 0; i < 3; ++i)
        h.add(sampleAt(t += 100));
    EXPECT_TRUE(h.identify({8, QStringLiteral("861234567890008")}));
    ASSERT_EQ(h.size(), 3);
    EXPECT_EQ(h.at(0).msecs, bFirst);
    EXPECT_EQ(h.newest().msecs, t);
    EXPECT_EQ(h.unit()->text(), QStringLiteral("ID 8, IMEI 861234567890008"));
    // Named again without a new connection, by another IMEI: from here on.
    EXPECT_TRUE(h.identify({8, QStringLiteral("861234567890009")}));
    EXPECT_TRUE(h.empty());
    h.add(sampleAt(t += 100));
    EXPECT_EQ(h.size(), 1);
    EXPECT_EQ(UnitIdentity{5}.text(), QStringLiteral("ID 5"));
}

TEST(MonitorHistory, ClockSetBack)
{
    History h;
    h.add(sampleAt(100000));
    h.add(sampleAt(99000)); // jitter: kept in order
    EXPECT_EQ(h.size(), 2);
    EXPECT_EQ(h.newest().msecs, 100000);
    h.add(sampleAt(10000)); // set back: the old times no longer line up
    EXPECT_EQ(h.size(), 1);
    EXPECT_EQ(h.newest().msecs, 10000);
}

TEST(MonitorHistory, CsvBytes)
{
    History h;
    const int64_t t = 1767225600000; // 2026-01-01 00:00:00 UTC
    h.add(sampleOf(decodeGps(gpsBytes()), UnitProfile(2, 0), t + 270));
    h.add(sampleOf(decodeGps(QByteArray(GpsBlock::kSize, '\0')), UnitProfile(3, 0), t + 1800540));
    const QByteArray expected =
        "\xEF\xBB\xBF"
        "Время;Uпит, В;Uбат, В;Скорость, км/ч;Видимых спутников;Горизонтальная точность;"
        "Вход 1, В;Вход 2, В;Вход 3, В;Вход 4, В;Вход 5, В;Вход 6, В;Вход 7, В;Вход 8, В;Темп. устройства, °C;"
        "Выход 1;Выход 2;Выход 3;Выход 4;"
        "Состояние входа 1;Состояние входа 2;Состояние входа 3;Состояние входа 4;"
        "Состояние входа 5;Состояние входа 6;Состояние входа 7;Состояние входа 8;"
        "Темп. 1, °C;Темп. 2, °C;Темп. 3, °C;Темп. 4, °C;Темп. 5, °C;Темп. 6, °C;Темп. 7, °C;Темп. 8, °C;"
        "Уровень1;Уровень2;Уровень топлива в баке, %\r\n"
        "2026-01-01T03:00:00.270+03:00;13,59;3,954;42,5;9;1,2;"
        "3,398;6,796;10,19;13,59;16,99;20,39;23,78;27,18;-10;"
        "0;1;0;1;1;0;0;0;0;0;0;1;21;-5;;;;3;0;-12;2400;;60,00\r\n"
        "2026-01-01T03:30:00.540+03:00;0;0;0,0;0;0,0;0;0;;;;;;;0;0;0;0;;0;0;0;0;0;0;0;0;"
        "0;0;0;0;0;0;0;0;0;;0,00\r\n";
    const QByteArray got = csv(h, QTimeZone(3 * 3600));
    EXPECT_EQ(got, expected) << got.toStdString();
    EXPECT_EQ(isoTime(t, QTimeZone(-(3 * 3600 + 1800))), QStringLiteral("2025-12-31T20:30:00.000-03:30"));
}
