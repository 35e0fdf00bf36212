#include "core/config/records.h"
#include "core/satellite/tariff_plan.h"

#include <gtest/gtest.h>

namespace rv::sat {
namespace {

struct PlanRow
{
    uint8_t value;
    const char16_t* name;
    const char16_t* fuel;
    const char16_t* odometer;
    std::optional<bool> groups;
    bool presets;
};

// Every plan code 0..8, an unknown one and the third-party service, each without the preset bit.
const PlanRow kPlans[] = {
    {0, u"не известен", u"выключены", u"выключены", std::nullopt, false},
    {1, u"A", u"выключены", u"выключены", true, false},
    {2, u"B", u"выключены", u"выключены", true, false},
    {3, u"C", u"выключены", u"выключены", true, false},
    {4, u"D1", u"выключены", u"выключены", false, true},
    {5, u"D2", u"включены", u"выключены", false, true},
    {6, u"D3", u"выключены", u"включены", false, true},
    {7, u"D4", u"включены", u"включены", false, true},
    {8, u"E", u"выключены", u"выключены", false, false},
    {9, u"не известен", u"выключены", u"выключены", std::nullopt, false},
    {63, u"не известен", u"выключены", u"выключены", std::nullopt, false},
    {255, u"255", u"выключены", u"выключены", true, false},
};

TEST(SatSetTarif, EveryPlan_NameDataGroupsPresetsAndServiceChoice)
{
    for (const PlanRow& row : kPlans) {
        SCOPED_TRACE(int(row.value));
        const SatResult r = SatSetTarif(row.value, SatMode::Page, true);
        ASSERT_TRUE(r.view);
        EXPECT_TRUE(r.message.isEmpty());
        EXPECT_EQ(r.tariff, row.value);
        EXPECT_EQ(r.view->tariffText, QStringLiteral("Тариф: ") + QString::fromUtf16(row.name));
        EXPECT_EQ(r.view->fuelText, QString::fromUtf16(row.fuel));
        EXPECT_EQ(r.view->odometerText, QString::fromUtf16(row.odometer));
        EXPECT_EQ(r.view->groupsEnabled, row.groups);
        EXPECT_EQ(r.params.has_value(), row.presets);
        EXPECT_EQ(r.view->transmitterChecked, row.value != 0);
        EXPECT_EQ(r.view->serviceItem, row.value == 255 ? 1 : 0);
        EXPECT_TRUE(r.view->serviceEnabled);
        EXPECT_FALSE(r.view->presetLabelVisible);
    }
    const SatParams preset = *SatSetTarif(4, SatMode::Page, true).params;
    EXPECT_EQ(preset.messend, true);
    EXPECT_EQ(preset.byTime, true);
    EXPECT_EQ(preset.moveInterval, 60);
    EXPECT_EQ(preset.manual, false);
    EXPECT_EQ(preset.parkInterval, 60);
    EXPECT_EQ(preset.parking, true);
    EXPECT_FALSE(preset.bufSize);
    EXPECT_FALSE(preset.dist);
}

TEST(SatSetTarif, PresetBit_LocksGroupsAndServiceAndShowsTheLabel_ButNotFor255)
{
    // 0x85: plan D2 with the server's parameters; bit 6 plays no part in the plan.
    for (uint8_t value : {uint8_t(0x85), uint8_t(0xC5)}) {
        const SatResult r = SatSetTarif(value, SatMode::Page, true);
        EXPECT_EQ(r.view->tariffText, "Тариф: D2");
        EXPECT_EQ(r.view->fuelText, "включены");
        EXPECT_EQ(r.view->odometerText, "выключены");
        EXPECT_EQ(r.view->groupsEnabled, false);
        EXPECT_FALSE(r.view->serviceEnabled);
        EXPECT_TRUE(r.view->presetLabelVisible);
    }
    // Plan A with the bit: its groups are locked all the same.
    EXPECT_EQ(SatSetTarif(0x81, SatMode::Page, true).view->groupsEnabled, false);
    // 0x80 alone: no known plan, yet the parameters came from the server.
    const SatResult unknown = SatSetTarif(0x80, SatMode::Page, true);
    EXPECT_EQ(unknown.view->tariffText, "Тариф: не известен");
    EXPECT_TRUE(unknown.view->presetLabelVisible);
    EXPECT_TRUE(unknown.view->transmitterChecked);
    // 255 has bit 7 too, but it means the third-party service.
    const SatResult third = SatSetTarif(255, SatMode::Page, true);
    EXPECT_EQ(third.view->groupsEnabled, true);
    EXPECT_TRUE(third.view->serviceEnabled);
    EXPECT_FALSE(third.view->presetLabelVisible);
}

TEST(SatSetTarif, AfterRead_ShowsNoPlanWithoutModemAndWarnsOfAMissingPlan)
{
    const SatResult noModem = SatSetTarif(0x85, SatMode::AfterRead, false);
    EXPECT_TRUE(noModem.message.isEmpty());
    EXPECT_FALSE(noModem.tariff); // the unit's byte goes back as it came
    EXPECT_FALSE(noModem.params);
    EXPECT_EQ(noModem.view->tariffText, "Тариф: не известен");
    EXPECT_FALSE(noModem.view->transmitterChecked);

    const SatResult withPlan = SatSetTarif(3, SatMode::AfterRead, true);
    EXPECT_TRUE(withPlan.message.isEmpty());
    EXPECT_EQ(withPlan.tariff, 3);
    EXPECT_EQ(withPlan.view->tariffText, "Тариф: C");

    const SatResult none = SatSetTarif(0, SatMode::AfterRead, true);
    EXPECT_EQ(none.message, "Спутниковый модем подключен, но для него не задан тарифный план !\r\n"
                            "Перейдите на вкладку \"Спутниковый модем\"");
    // The page does not go on showing an earlier plan.
    EXPECT_EQ(none.tariff, 0);
    EXPECT_EQ(none.view->tariffText, "Тариф: не известен");
    EXPECT_FALSE(none.view->transmitterChecked);
}

TEST(SatSetTarif, AfterOpen_WithModemClearsTheTariffAndSaysSo_WithoutItChangesNothing)
{
    const SatResult none = SatSetTarif(0x85, SatMode::AfterOpen, false);
    EXPECT_TRUE(none.message.isEmpty());
    EXPECT_FALSE(none.tariff);
    EXPECT_FALSE(none.view);
    EXPECT_FALSE(none.params);

    const SatResult modem = SatSetTarif(0x85, SatMode::AfterOpen, true);
    EXPECT_EQ(modem.message, "В конфигурации включено использование спутникового модема\r\n"
                             "но его тарифный план не известен !\r\n"
                             "Запишите конфигурацию в память прибора и перезагрузите его.\r\n"
                             "Перейдите на вкладку \"Спутниковый модем\" и получите тариф.");
    EXPECT_EQ(modem.tariff, 0);
    EXPECT_FALSE(modem.view->transmitterChecked);
    EXPECT_FALSE(modem.params);
}

TEST(SatSetTarif, Records_TariffAndPresetsWrittenByteExact)
{
    ConfigRecords r;
    r.config.setNumber(u"Device2", kIridiumDevice);
    EXPECT_TRUE(iridiumOnPort2(r.config));
    r.config.setNumber(u"IRSAVEINT_", 5);
    r.config.setNumber(u"HandIridium", 1);
    applyResult(r, SatSetTarif(0x86, SatMode::AfterRead, iridiumOnPort2(r.config)));
    EXPECT_EQ(uint8_t(r.config.bytes().at(511)), 0x86);
    // LinkFlags: HandIridium (bit 1) off, IRmessend (bit 3) on, IRbyDist (bit 4) off, IRparking (bit 5) on.
    EXPECT_EQ(uint8_t(r.config.bytes().at(494)), 0x28);
    EXPECT_EQ(r.config.bytes().mid(496, 2), QByteArray("\x3C\x00", 2));
    EXPECT_EQ(r.confSe.bytes().mid(16, 2), QByteArray("\x3C\x00", 2));

    r.config.setNumber(u"Device2", 1);
    applyResult(r, SatSetTarif(0x86, SatMode::AfterRead, iridiumOnPort2(r.config)));
    EXPECT_EQ(uint8_t(r.config.bytes().at(511)), 0x86);
    applyResult(r, SatSetTarif(0x86, SatMode::AfterOpen, iridiumOnPort2(r.config)));
    EXPECT_EQ(uint8_t(r.config.bytes().at(511)), 0x86);
    r.config.setNumber(u"Device2", kIridiumDevice);
    applyResult(r, SatSetTarif(0x86, SatMode::AfterOpen, iridiumOnPort2(r.config)));
    EXPECT_EQ(r.config.bytes().at(511), 0);
}

TEST(StrToParam, TheKeysOfTheServer)
{
    const ParamText t = StrToParam("stype=0,bsize=200,wrtype=0,dist=5,tmove=30,tstop=0");
    EXPECT_TRUE(t.refused.isEmpty());
    EXPECT_TRUE(t.corrected.isEmpty());
    EXPECT_EQ(t.params.messend, false);
    EXPECT_EQ(t.params.bufSize, 200);
    EXPECT_EQ(t.params.byTime, false);
    EXPECT_EQ(t.params.dist, 5);
    EXPECT_EQ(t.params.moveInterval, 30);
    EXPECT_EQ(t.params.parking, false);
    EXPECT_EQ(t.params.parkInterval, 0);
    EXPECT_FALSE(t.params.manual);

    // Any separator, keys anywhere and in any order, non-zero flags.
    const ParamText u = StrToParam("tstop:15 xx stype 7;wrtype=2");
    EXPECT_EQ(u.params.messend, true);
    EXPECT_EQ(u.params.byTime, true);
    EXPECT_EQ(u.params.parking, true);
    EXPECT_EQ(u.params.parkInterval, 15);

    // No keys: the defaults.
    const ParamText d = StrToParam("");
    EXPECT_EQ(d.params.messend, true);
    EXPECT_EQ(d.params.bufSize, 340);
    EXPECT_EQ(d.params.byTime, true);
    EXPECT_EQ(d.params.dist, 10);
    EXPECT_EQ(d.params.moveInterval, 60);
    EXPECT_EQ(d.params.parkInterval, 60);
    EXPECT_EQ(d.params.parking, false);
}

TEST(StrToParam, HostileTexts_NeverGiveAValueItsFieldCannotHold)
{
    // Numbers past the ranges, huge digit runs and leading zeros are brought into each field's range.
    const ParamText big = StrToParam("bsize=99999999999999999999999,dist=256,tmove=65536,tstop=000000000000070000");
    EXPECT_EQ(big.params.bufSize, 340);
    EXPECT_EQ(big.params.dist, 255);
    EXPECT_EQ(big.params.moveInterval, 65535);
    EXPECT_EQ(big.params.parkInterval, 65535);
    EXPECT_EQ(big.corrected.size(), 4);
    EXPECT_EQ(StrToParam("bsize=3").params.bufSize, 10);

    // Keys with no number: refused, their defaults stand.
    const ParamText bare = StrToParam("stype=,bsize=-5,wrtype,dist=x,tmove= 9,tstop");
    EXPECT_EQ(bare.refused,
              (QStringList{"stype", "bsize", "wrtype", "dist", "tmove", "tstop"}));
    EXPECT_EQ(bare.params.messend, true);
    EXPECT_EQ(bare.params.bufSize, 340);
    EXPECT_EQ(bare.params.dist, 10);
    EXPECT_EQ(bare.params.moveInterval, 60);
    EXPECT_EQ(bare.params.parking, false);

    // The text ends at its terminator; bytes after it are not read.
    EXPECT_EQ(StrToParam(QByteArray("dist=7\0tmove=1", 14)).params.moveInterval, 60);
    // A stray high byte or a cut-off text.
    EXPECT_EQ(StrToParam("\xFF\xFE" "dist=9\xFF").params.dist, 9);
    EXPECT_EQ(StrToParam("dis").params.dist, 10);

    // Whatever the text, the records take every value.
    for (const char* text : {"bsize=1,dist=0,tmove=0,tstop=0", "bsize=999999,dist=99999,tmove=99999999,tstop=9999999"}) {
        ConfigRecords r;
        const QByteArray before = r.config.bytes();
        applyParams(r, StrToParam(text).params);
        EXPECT_NE(r.config.bytes(), before);
        EXPECT_GE(r.config.number(u"IRbuf").value, 10);
        EXPECT_LE(r.config.number(u"IRbuf").value, 340);
    }
}

TEST(IRbuf, TooLargeAtOnceTooSmallWhenTypingIsDone)
{
    EXPECT_EQ(IRbufChange(u"999"), QStringLiteral("340"));
    EXPECT_EQ(IRbufChange(u"99999999999999999999"), QStringLiteral("340"));
    EXPECT_FALSE(IRbufChange(u"5"));  // "5" on the way to "50"
    EXPECT_FALSE(IRbufChange(u""));
    EXPECT_EQ(IRbufDone(u"5"), QStringLiteral("10"));
    EXPECT_EQ(IRbufDone(u""), QStringLiteral("10"));
    EXPECT_EQ(IRbufDone(u"341"), QStringLiteral("340"));
    EXPECT_FALSE(IRbufDone(u"200"));
}

} // namespace
} // namespace rv::sat
