#include "core/monitor/monitor_labels.h"

#include "core/base/bytes.h"

#include <gtest/gtest.h>

#include <QSet>

using namespace rv;

namespace {

QString textOf(const MonitorUpdate& u, const char* name)
{
    const LabelUpdate* l = u.find(QString::fromUtf8(name));
    return l && l->text ? *l->text : QStringLiteral("<unchanged>");
}

std::optional<bool> visibleOf(const MonitorUpdate& u, const char* name)
{
    const LabelUpdate* l = u.find(QString::fromUtf8(name));
    return l ? l->visible : std::nullopt;
}

// Counts giving a battery voltage (k = 2) of about 3.602, 3.447, 3.398, 3.497 and 3.503 V.
constexpr uint16_t kBat3602 = 583, kBat3447 = 558, kBat3398 = 550, kBat3497 = 566, kBat3503 = 567;

} // namespace

TEST(MonitorLabels, GpsGoldenValues)
{
    QByteArray g(GpsBlock::kSize, '\0');
    le::put32(g, 4, 55123456);
    le::put32(g, 8, static_cast<uint32_t>(-37500000));
    g[12] = '\x19';
    g[13] = 12;
    le::put16(g, 16, 1234);
    g[42] = '\xF6';
    g[43] = '\x48';
    BatteryWarning battery;
    const MonitorUpdate u = refreshGps(decodeGps(g), decodeDevice({}), UnitProfile(2, 0), battery);

    EXPECT_EQ(textOf(u, "LSat"), "Видимых спутников: 9");
    EXPECT_EQ(textOf(u, "LValid"), "Координаты: не валидны");
    EXPECT_EQ(textOf(u, "LLat"), "Широта: 55,123456");
    EXPECT_EQ(textOf(u, "LLon"), "Долгота: -37,500000");
    EXPECT_EQ(textOf(u, "LHDOP"), "Горизонтальная точность: 1,2");
    EXPECT_EQ(textOf(u, "LSpeed"), "Скорость, км/ч: 123,4");
    EXPECT_EQ(textOf(u, "LTemp"), "Темп. устройства: -10");
    EXPECT_EQ(textOf(u, "Status_label"), "Статус: 01001000");
    EXPECT_EQ(textOf(u, "Status_L3"), "Работа с первой СИМ картой");
    EXPECT_EQ(textOf(u, "Status_L5"), "Нет связи с приемником");
    EXPECT_EQ(u.find(u"Status_L5")->color, LabelColor::Red);
}

TEST(MonitorLabels, StatusWindowSimCardAndReceiverStates)
{
    auto status = [](uint8_t s) {
        QByteArray g(GpsBlock::kSize, '\0');
        g[43] = static_cast<char>(s);
        BatteryWarning b;
        return refreshGps(decodeGps(g), {}, UnitProfile(), b);
    };
    EXPECT_EQ(textOf(status(0x18), "Status_L3"), "Работа с первой СИМ картой");
    EXPECT_EQ(textOf(status(0x10), "Status_L3"), "Работа со второй СИМ картой");
    EXPECT_EQ(status(0x80).find(u"Status_L5")->color, LabelColor::Green);
    EXPECT_EQ(textOf(status(0xC1), "Status_L5"), "КЗ SAT антенны");
    EXPECT_EQ(status(0x01).find(u"Status_L0")->color, LabelColor::Red);
}

TEST(MonitorLabels, InputsFollowTypeAndScaleSelectors)
{
    QByteArray g(GpsBlock::kSize, '\0');
    le::put16(g, 20, 512);  // input 1
    le::put16(g, 22, 512);  // input 2
    le::put16(g, 24, 300);  // input 3
    le::put16(g, 77, 4321);
    g[41] = '\x0A';         // outputs 2 and 4 on
    QByteArray d(DeviceBlock::kSize, '\0');
    le::put16(d, 71, 17);
    le::put16(d, 73, 18);
    BatteryWarning b;

    MonitorUpdate u = refreshGps(decodeGps(g), decodeDevice(d), UnitProfile(2, 0), b);
    EXPECT_EQ(textOf(u, "LIN1"), "Вход 1: 17,4");
    EXPECT_EQ(textOf(u, "LIN3"), "Вход 3: 10,19");
    EXPECT_EQ(textOf(u, "LOUT2"), "Выход 2: 1");
    EXPECT_EQ(textOf(u, "LOUT4"), "Выход 4: 1");

    // Input 1 selector in bits 1-2, input 2 selector in bits 3-4.
    u = refreshGps(decodeGps(g), decodeDevice(d), UnitProfile(4, (1u << 1) | (3u << 3)), b);
    EXPECT_EQ(textOf(u, "LIN1"), "Вход 1: 3,019");
    EXPECT_EQ(textOf(u, "LIN2"), "<unchanged>");
    u = refreshGps(decodeGps(g), decodeDevice(d), UnitProfile(2, 2u << 1), b);
    EXPECT_EQ(textOf(u, "LIN1"), "Част.1: 4321");

    u = refreshGps(decodeGps(g), decodeDevice(d), UnitProfile(3, 3u << 3), b);  // type 3 ignores the input 2 selector
    EXPECT_EQ(textOf(u, "LIN2"), "Вход 2: 17,4");
    EXPECT_EQ(textOf(u, "LIN3"), "Вход 3: 300");
    EXPECT_EQ(textOf(u, "LIN4"), "Счет++: 17");
    EXPECT_EQ(textOf(u, "LIN5"), "Счет--: 18");
    EXPECT_EQ(textOf(u, "LIN6"), "<unchanged>");
    EXPECT_EQ(textOf(u, "LOUT4"), "<unchanged>");
}

TEST(MonitorLabels, BatteryWarningHysteresisAndResetCaption)
{
    BatteryWarning b;
    EXPECT_FALSE(b.update(kBat3602));
    EXPECT_FALSE(b.update(kBat3447));  // inside the band: stays hidden
    EXPECT_TRUE(b.update(kBat3398));
    EXPECT_TRUE(b.update(kBat3447));   // inside the band: stays shown
    EXPECT_TRUE(b.update(kBat3497));
    EXPECT_FALSE(b.update(kBat3503));

    QByteArray g(GpsBlock::kSize, '\0');
    le::put16(g, 36, kBat3398);
    le::put16(g, 38, 147);             // 4.995 V supply
    BatteryWarning fresh;
    MonitorUpdate u = refreshGps(decodeGps(g), {}, UnitProfile(), fresh);
    EXPECT_EQ(visibleOf(u, "Status_L6"), true);
    EXPECT_EQ(textOf(u, "LAkk"), "Uбат: 3,398");
    EXPECT_EQ(textOf(u, "Reset_but"), "Выключить");
    le::put16(g, 38, 148);             // 5.029 V
    u = refreshGps(decodeGps(g), {}, UnitProfile(), fresh);
    EXPECT_EQ(textOf(u, "Reset_but"), "Перезагрузить");
}

TEST(MonitorLabels, DeviceGoldenValues)
{
    QByteArray d(DeviceBlock::kSize, '\0');
    le::put16(d, 2, 100);
    le::put16(d, 107, 200);
    d.replace(16, 15, "351234567890123");
    d[32] = 14;
    d[35] = 1;
    d[46] = '\xF1';
    le::put32(d, 38, std::bit_cast<uint32_t>(12.34f));
    le::put32(d, 42, std::bit_cast<uint32_t>(1234.56f));
    d[70] = 5;
    d[109] = 0x05;  // bits 1-2 = 2, bit 0 = 1
    le::put16(d, 110, 619);
    le::put16(d, 112, 12);
    d[114] = 3;
    const MonitorUpdate u = refreshDevice(decodeGps({}), decodeDevice(d), UnitProfile(4));

    EXPECT_EQ(textOf(u, "LAcelGPS"), "Ускорение, м/с2: -1,5");
    EXPECT_EQ(textOf(u, "LSendPack"), "Последний переданный пакет: 200");
    EXPECT_EQ(textOf(u, "Label242"), "Соединение с сервером: 3,1");
    EXPECT_EQ(textOf(u, "LVer"), "Прошивка: 14 (build 0619.0012.03)");
    EXPECT_EQ(textOf(u, "Label207"), "GSM ПО: 1137B05");
    EXPECT_EQ(textOf(u, "Label208"), "Тип прибора: RV-2 v4");
    EXPECT_EQ(textOf(u, "LIMEI"), "351234567890123");
    EXPECT_EQ(visibleOf(u, "Copy_IMEI"), true);
    EXPECT_EQ(textOf(u, "LSkach"), "Скачок, м: 12");
    EXPECT_EQ(textOf(u, "LMovedist"), "Пройденное расст., м: 1235");
    EXPECT_EQ(u.motionText, "Движение");

    d[109] = 0x01;  // bits 1-2 clear: the first counter
    d[16] = 0;
    d[70] = 0;
    const MonitorUpdate v = refreshDevice(decodeGps({}), decodeDevice(d), UnitProfile(7));
    EXPECT_EQ(textOf(v, "LSendPack"), "Последний переданный пакет: 100");
    EXPECT_EQ(visibleOf(v, "Copy_IMEI"), false);
    EXPECT_EQ(textOf(v, "Label207"), "<unchanged>");
    EXPECT_EQ(textOf(v, "Label208"), "<unchanged>");
}

TEST(MonitorLabels, PeripheralsFuelAndAxles)
{
    QByteArray g(GpsBlock::kSize, '\0');
    g.replace(45, 6, QByteArray::fromHex("0102030405A6"));
    g[51] = '\x81';
    g[52] = '\xFB';
    le::put16(g, 59, 0xFFFF);
    le::put16(g, 61, 812);
    g[64] = '\xFE';
    g[65] = static_cast<char>(250);
    le::put32(g, 69, 3);
    QByteArray d(DeviceBlock::kSize, '\0');
    d[62] = 2;
    le::put16(d, 63, 1001);
    le::put32(d, 58, 12345);

    MonitorUpdate u = refreshDevice(decodeGps(g), decodeDevice(d), UnitProfile(2));
    EXPECT_EQ(textOf(u, "LiBut"), "iButton: A60504030201");
    EXPECT_EQ(textOf(u, "LTemp1"), "Темп. 1: КЗ");
    EXPECT_EQ(textOf(u, "LTemp2"), "Темп. 2: -5");
    EXPECT_EQ(textOf(u, "Omnival1"), "Уровень1: обрыв");
    EXPECT_EQ(textOf(u, "Omnitemp1"), "Темп.1:");
    EXPECT_EQ(textOf(u, "Omnival2"), "Уровень2: 812");
    EXPECT_EQ(textOf(u, "Lfuellev"), "Уровень топлива в баке, %: 100,00");
    EXPECT_EQ(textOf(u, "Ltotalfuel"), "Общий расход топлива, л: 1,50");
    EXPECT_EQ(textOf(u, "Ltotalhoursengine"), "Моточасы, ч: 123,45");
    EXPECT_EQ(textOf(u, "Laxletire"), "Ось 2");
    EXPECT_EQ(textOf(u, "Laxleweight"), "Вес, кг: 500,50");
    EXPECT_EQ(visibleOf(u, "L229"), false);
    EXPECT_EQ(u.motionText, "Стоянка");

    le::put16(d, 77 + 8, 7000);  // axle 5
    u = refreshDevice(decodeGps(g), decodeDevice(d), UnitProfile(3));
    EXPECT_EQ(textOf(u, "Laxletire"), "Ось1: 0 кг");
    EXPECT_EQ(textOf(u, "L231"), "Ось5: 7000 кг");
    EXPECT_EQ(visibleOf(u, "L230"), true);
    EXPECT_EQ(textOf(u, "Omnival2"), "<unchanged>");  // type 3 has one fuel sensor
}

TEST(MonitorLabels, FirmwareCheckEndsOnlyOldType3Units)
{
    DeviceSnapshot d;
    d.build1 = 619;
    const FirmwareCheck old = checkFirmware(UnitProfile(3), d);
    EXPECT_TRUE(old.incompatible);
    EXPECT_EQ(old.message, "Версия прошивки прибора не совместима с данным конфигуратором.\r\n"
                           "Необходимый build не ниже: 0620.хххх.хх");
    EXPECT_FALSE(checkFirmware(UnitProfile(2), d).incompatible);
    d.build1 = 620;
    EXPECT_FALSE(checkFirmware(UnitProfile(3), d).incompatible);
}

TEST(MonitorSnapshot, ShortBytesReadAsZeroAndTextsStopAtTheirWidth)
{
    QByteArray d(DeviceBlock::kSize, '7');  // IMEI fields without a terminating zero
    const DeviceSnapshot full = decodeDevice(d);
    EXPECT_EQ(full.imei, QString(16, '7'));
    EXPECT_EQ(full.satelliteImei, QString(20, '7'));
    // A view ending inside fields: partial fields read as zero, never past the end (ASan checks).
    const DeviceSnapshot cut = decodeDevice(QByteArrayView(d).first(111));
    EXPECT_EQ(cut.serverLink, '7');
    EXPECT_EQ(cut.build1, 0);
    EXPECT_EQ(decodeDevice(QByteArrayView(d).first(20)).imei, "7777");
    EXPECT_EQ(decodeGps(QByteArrayView("\x01\x02\x03", 3)).unitTime, 0u);
}

TEST(MonitorLabels, EachControlAppearsOnceSoViewsCanApplyInAnyOrder)
{
    const QByteArray g(GpsBlock::kSize, '\x5A'), d(DeviceBlock::kSize, '\x5A');
    for (int type : {2, 3, 4, 9}) {
        BatteryWarning b;
        for (const MonitorUpdate& u : {refreshGps(decodeGps(g), decodeDevice(d), UnitProfile(type, 0xFFFFFFFF), b),
                                       refreshDevice(decodeGps(g), decodeDevice(d), UnitProfile(type))}) {
            QSet<QString> seen;
            for (const auto* list : {&u.monitorPage, &u.statusWindow, &u.mainWindow})
                for (const LabelUpdate& l : *list)
                {
                    EXPECT_FALSE(seen.contains(l.objectName)) << l.objectName.toStdString();
                    seen.insert(l.objectName);
                }
        }
    }
}
