#include "core/config/setting_index.h"

#include <gtest/gtest.h>

using namespace rv;

namespace {
QStringList texts(const QList<SettingEntry>& entries)
{
    QStringList out;
    for (const SettingEntry& e : entries)
        out << e.text;
    return out;
}
} // namespace

TEST(SettingIndex, FindsByCaptionPartFieldNameOrControlName)
{
    EXPECT_EQ(settingIndex().size(), qsizetype(pageCaptions().size()));

    const QStringList apn = texts(findSettings(QStringLiteral("apn")));
    EXPECT_TRUE(apn.contains(QStringLiteral("Настройки соединения › СИМ карта 1 › APN")));
    EXPECT_TRUE(apn.contains(QStringLiteral("Настройки соединения › СИМ карта 2 › APN")));

    // Any case; pages of one item at a time are listed for item 1, found by their node.
    const QList<SettingEntry> speed = findSettings(QStringLiteral("СКОРОСТЬ"));
    ASSERT_FALSE(speed.isEmpty());
    for (const SettingEntry& e : speed)
        EXPECT_TRUE(e.text.toLower().contains(QStringLiteral("скорост")) || e.field.toLower().contains(QStringLiteral("скорост")))
            << e.text.toStdString();

    const QList<SettingEntry> id = findSettings(QStringLiteral(" ID_Device "));
    ASSERT_EQ(id.size(), 1);
    EXPECT_EQ(id[0].text, QStringLiteral("Настройки соединения › ID устройства"));
    EXPECT_EQ(id[0].node, QStringLiteral("Настройки соединения"));
    EXPECT_EQ(findSettings(QStringLiteral("IP_server")).size(), 4); // by the field all four parts share

    const QList<SettingEntry> count = findSettings(QStringLiteral("Дозвон › Количество"));
    ASSERT_EQ(count.size(), 1);
    EXPECT_EQ(count[0].node, QStringLiteral("Соединение 1"));
    EXPECT_TRUE(findSettings(QStringLiteral("a")).isEmpty());
    EXPECT_TRUE(findSettings(QStringLiteral("нет такой настройки")).isEmpty());
}

TEST(SettingIndex, RangeTextComesFromTheFieldAndTheCaptionsUnit)
{
    const CaptionRow* id = captionRowOf(u"ID_Device", RecordKind::Config);
    ASSERT_NE(id, nullptr);
    EXPECT_TRUE(settingRangeText(*id).startsWith(QStringLiteral("Диапазон: 0…"))) << settingRangeText(*id).toStdString();
    const CaptionRow* period = captionRowOf(u"USSDPERIOD", RecordKind::Config);
    ASSERT_NE(period, nullptr);
    EXPECT_TRUE(settingRangeText(*period).endsWith(QStringLiteral(" сек"))) << settingRangeText(*period).toStdString();
    const CaptionRow* apn = captionRowOf(u"SIM1APN", RecordKind::Config);
    ASSERT_NE(apn, nullptr);
    EXPECT_TRUE(settingRangeText(*apn).startsWith(QStringLiteral("Длина текста: до "))) << settingRangeText(*apn).toStdString();
    const CaptionRow* check = captionRowOf(u"SMSansver", RecordKind::Config);
    ASSERT_NE(check, nullptr);
    EXPECT_TRUE(settingRangeText(*check).isEmpty());
}
