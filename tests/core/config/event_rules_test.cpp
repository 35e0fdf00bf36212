// The event rules: the texts that depend on the rule, the bit each list item owns, the sources a unit lacks,
// and the rules of the timer and threshold edits.

#include "core/config/event_rules.h"
#include "core/config/input_rules.h"

#include <gtest/gtest.h>

using namespace rv;
using namespace rv::events;

TEST(EventRules, ActionTextsFollowTheRule)
{
    EXPECT_EQ(actionText(9, 6), QStringLiteral("Отправить СМС по номеру 2"));
    EXPECT_EQ(actionText(10, 6), QStringLiteral("Набрать номер 2"));
    EXPECT_EQ(actionText(22, 6), QStringLiteral("Снимок на сервер, камера 2"));
    EXPECT_EQ(actionText(11, 12), QStringLiteral("Отправить текущие данные"));
    EXPECT_EQ(actionText(22, 12), QStringLiteral("Снимок в память, камера 2"));
    EXPECT_EQ(actionText(20, 16), QStringLiteral("Сбросить сч.1"));
    EXPECT_EQ(actionText(21, 16), QStringLiteral("Сбросить сч.2"));
    // The edges of each range.
    EXPECT_EQ(actionText(9, 4), QStringLiteral("Отправить СМС по номеру 1"));
    EXPECT_EQ(actionText(10, 20), QStringLiteral("Набрать номер 5"));
    EXPECT_EQ(actionText(11, 10), QStringLiteral("Сообщить серверу"));
    EXPECT_EQ(actionText(22, 11), QStringLiteral("Снимок в память, камера 1"));
    EXPECT_EQ(actionText(20, 15), QStringLiteral("Взять под охрану"));
    EXPECT_EQ(actionText(21, 15), QStringLiteral("Снять с охраны"));
    // The others never change.
    for (int rule = 1; rule <= kRuleCount; ++rule) {
        EXPECT_EQ(actionText(8, rule), QStringLiteral("Воспр. сообщение"));
        EXPECT_EQ(actionText(23, rule), QStringLiteral("Записать пакет данных"));
        EXPECT_EQ(actionTexts(rule).size(), kActionCount);
    }
    EXPECT_EQ(sourceNames().size(), kSourceCount);
    EXPECT_EQ(conditionNames().size(), kConditionItems);
    EXPECT_EQ(conditionNames().first(), QStringLiteral("Акселерометр"));
    EXPECT_EQ(conditionNames().last(), QStringLiteral("Вход в геозону"));
    EXPECT_EQ(sourceNames()[22], QStringLiteral("Част/счет 2"));
}

TEST(EventRules, EachItemOwnsOneBitOfItsRule)
{
    InpOutBlock r;
    QByteArray b(513, '\0');
    b[260] = char(0xC5); // rule 1: source 5, state 3
    b[419] = char(0x80); // rule 20: bit 31 of the condition word
    b[499] = char(0xC0); // rule 20: bits 30 and 31 of the condition-state word
    r.setBytes(b);

    // Action 0 of rule 1 is bit 0 of byte 261; byte 260 stays.
    ASSERT_TRUE(setRuleBit(r, RuleList::Actions, 0, 0, true));
    EXPECT_EQ(uint8_t(r.bytes()[261]), 0x01);
    EXPECT_EQ(uint8_t(r.bytes()[260]), 0xC5);
    ASSERT_TRUE(setRuleBit(r, RuleList::Actions, 0, 23, true));
    EXPECT_EQ(uint8_t(r.bytes()[263]), 0x80);
    EXPECT_TRUE(ruleBit(r, RuleList::Actions, 0, 23));

    // Condition 29 of rule 20 is bit 5 of byte 419; bit 31 stays.
    ASSERT_TRUE(setRuleBit(r, RuleList::Conditions, 19, 29, true));
    EXPECT_EQ(uint8_t(r.bytes()[419]), 0xA0);
    ASSERT_TRUE(setRuleBit(r, RuleList::ConditionStates, 19, 29, true));
    EXPECT_EQ(uint8_t(r.bytes()[499]), 0xE0);
    ASSERT_TRUE(setRuleBit(r, RuleList::ConditionStates, 19, 29, false));
    EXPECT_EQ(uint8_t(r.bytes()[499]), 0xC0);

    // "Вход в геозону" has no bit: nothing is stored, and it never reads as ticked.
    const QByteArray before = r.bytes();
    EXPECT_FALSE(hasBit(RuleList::Conditions, 30));
    EXPECT_FALSE(setRuleBit(r, RuleList::Conditions, 19, 30, true));
    EXPECT_FALSE(setRuleBit(r, RuleList::ConditionStates, 19, 30, true));
    EXPECT_FALSE(ruleBit(r, RuleList::Conditions, 19, 30));
    EXPECT_FALSE(setRuleBit(r, RuleList::Actions, 20, 0, true));
    EXPECT_EQ(r.bytes(), before);
}

TEST(EventRules, SourcesATypeThreeUnitLacks)
{
    for (int s = 0; s < kSourceCount; ++s) {
        const QString name = sourceNames()[s];
        const bool lacking = name == u"Вход 6" || name == u"Вход 7" || name == u"Вход 8" || name == u"Выход 4"
                             || name == u"Част/счет 2";
        EXPECT_EQ(sourceMissing(UnitProfile(3), s), lacking) << s;
        EXPECT_FALSE(sourceMissing(UnitProfile(2), s));
    }
}

TEST(EventRules, TimerAndAccelerationEditRules)
{
    EXPECT_EQ(DelayTimer1Change(u""), QStringLiteral("1"));
    EXPECT_EQ(DelayTimer1Change(u"65001"), QStringLiteral("65000"));
    EXPECT_EQ(DelayTimer1Change(u"99999999999999"), QStringLiteral("65000"));
    EXPECT_FALSE(DelayTimer1Change(u"65000"));
    EXPECT_FALSE(DelayTimer1Change(u"0"));
    EXPECT_FALSE(DelayTimer1Change(u"1a")); // left for the page to mark
    EXPECT_EQ(validate(Validator::DelayTimer, u""), QStringLiteral("1"));

    EXPECT_EQ(ACCELPOROGChange(u""), QStringLiteral("1"));
    EXPECT_EQ(ACCELPOROGChange(u"26"), QStringLiteral("25,0"));
    EXPECT_EQ(ACCELPOROGChange(u"25,1"), QStringLiteral("25,0"));
    EXPECT_EQ(ACCELPOROGChange(u"999"), QStringLiteral("25,0"));
    EXPECT_FALSE(ACCELPOROGChange(u"25"));
    EXPECT_FALSE(ACCELPOROGChange(u"25,0"));
    EXPECT_FALSE(ACCELPOROGChange(u"2,5"));
    EXPECT_FALSE(ACCELPOROGChange(u","));
    EXPECT_EQ(validate(Validator::ACCELPOROG, u"30"), QStringLiteral("25,0"));
}
