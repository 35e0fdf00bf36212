#include "core/config/record_diff.h"

#include "core/config/defaults.h"

#include <gtest/gtest.h>

using namespace rv;

namespace {

// The single difference between `a` and `b`, as "name: before -> after".
QString only(const ConfigRecords& a, const ConfigRecords& b, const ListItems& lists = {})
{
    const QList<RecordDifference> d = compareRecords(a, b, lists);
    EXPECT_EQ(d.size(), 1) << formatDifferences(d).toStdString();
    return d.isEmpty() ? QString() : formatDifferences(d.mid(0, 1)).trimmed();
}

} // namespace

TEST(RecordDiff, IdenticalRecordsGiveNoDifferences)
{
    ConfigRecords zero, defaults;
    EXPECT_TRUE(compareRecords(zero, zero).isEmpty());
    loadDefaults(defaults);
    ConfigRecords copy = defaults;
    EXPECT_TRUE(compareRecords(defaults, copy).isEmpty());
    EXPECT_FALSE(compareRecords(zero, defaults).isEmpty());
}

TEST(RecordDiff, NumbersTenthsAndTextsAreNamedAndShownAsThePagesShowThem)
{
    ConfigRecords a, b;
    ASSERT_EQ(b.config.setNumber(u"ID_Device", 77), FieldError::None);
    EXPECT_EQ(only(a, b), QStringLiteral("Настройки соединения › ID устройства: 0 -> 77"));

    b = a;
    ASSERT_EQ(b.config.setNumber(u"MaxHdop", 25), FieldError::None);
    EXPECT_EQ(only(a, b), QStringLiteral("Параметры навигации › Максимальный HDOP: 0 -> 2,5"));

    b = a;
    ASSERT_EQ(b.config.setText(u"Sim1Apn", 0, u"internet"), FieldError::None);
    EXPECT_EQ(only(a, b), QStringLiteral("Настройки соединения › СИМ карта 1 › APN:  -> internet"));

    // A phone number behind the page's leading "8"; a connection is named by its item.
    b = a;
    ASSERT_EQ(b.config.setText(u"Phone", 2, u"9001234567"), FieldError::None);
    const QList<RecordDifference> d = compareRecords(a, b);
    ASSERT_EQ(d.size(), 1);
    EXPECT_EQ(d[0].name, QStringLiteral("Соединение 3 › Номер"));
    EXPECT_EQ(d[0].before, QStringLiteral("8"));
    EXPECT_EQ(d[0].after, QStringLiteral("89001234567"));
    EXPECT_EQ(d[0].control, QStringLiteral("Connect_number"));
    EXPECT_EQ(d[0].item, 2);

    // A volt threshold in the page's three digits.
    b = a;
    ASSERT_EQ(b.config.setNumber(u"Extvoltlev", 300), FieldError::None);
    EXPECT_EQ(only(a, b), QStringLiteral("Питание › Управление выходами при снижении напряжения ниже, В: 0 -> 10,6"));
}

TEST(RecordDiff, BitsOfViewsAndOfWordsAreNamedByTheirCheckBoxes)
{
    ConfigRecords a, b;
    ASSERT_EQ(b.config.setNumber(u"Filter_coord", 1), FieldError::None);
    EXPECT_EQ(only(a, b), QStringLiteral("Параметры навигации › Фильтрация координат: нет -> да"));

    // Bit 8 of the call sources of connection 4: a check box bound to a bit of a word.
    b = a;
    ASSERT_EQ(b.config.setNumber(u"RingSources", 3, 0x100), FieldError::None);
    EXPECT_EQ(only(a, b), QStringLiteral("Соединение 4 › Дозвон › Источники › Охрана: нет -> да"));

    // A radio pair shows the caption of the button the value checks.
    b = a;
    ASSERT_EQ(b.inpOut.setNumber(u"EventLogic", 4, 1), FieldError::None);
    EXPECT_EQ(only(a, b), QStringLiteral("Обработка событий › Событие 5 › Логика: ИЛИ -> И"));
}

TEST(RecordDiff, NibblesAndListsShowTheirItemsOrTheStoredNumberPastTheEnd)
{
    const ListItems lists = [](QStringView control) {
        if (control == u"Device2")
            return QStringList{QStringLiteral("Нет"), QStringLiteral("Датчик"), QStringLiteral("Камера")};
        return QStringList();
    };
    ConfigRecords a, b;
    // The upper nibble of the device byte; its lower nibble (Device1) stays.
    ASSERT_EQ(b.config.setNumber(u"Device2", 2), FieldError::None);
    EXPECT_EQ(only(a, b, lists), QStringLiteral("Настройка периферии › RS232 2 › Тип подключенного устройства: Нет -> Камера"));
    // A value no item stands for shows as the stored number.
    ASSERT_EQ(b.config.setNumber(u"Device2", 7), FieldError::None);
    EXPECT_EQ(only(a, b, lists), QStringLiteral("Настройка периферии › RS232 2 › Тип подключенного устройства: Нет -> 7"));
    // Without items (a front end without pages) every list shows its number.
    EXPECT_EQ(only(a, b), QStringLiteral("Настройка периферии › RS232 2 › Тип подключенного устройства: 0 -> 7"));

    // A nibble of an input: named by the input.
    b = a;
    ASSERT_EQ(b.config.setNumber(u"Inputtype", 5, 3), FieldError::None);
    EXPECT_EQ(only(a, b), QStringLiteral("Вход 6 › Тип входа: 0 -> 3"));

    // Two controls of one field (the cameras share the resolution) list it once.
    b = a;
    ASSERT_EQ(b.config.setNumber(u"Image_rez", 1), FieldError::None);
    EXPECT_EQ(only(a, b), QStringLiteral("Настройка периферии › RS232/RS485 1 › Камера › Разрешение: 0 -> 1"));
}

TEST(RecordDiff, BitsNoControlShowsAreListedByRecordAndOffset)
{
    ConfigRecords a, b;
    // A reserved byte.
    QByteArray bytes = b.config.bytes();
    bytes[20] = char(0x5A);
    ASSERT_TRUE(b.config.setBytes(bytes));
    EXPECT_EQ(only(a, b), QStringLiteral("ConfigBlock, байт 20 (Reserved20): 00 -> 5A"));

    // Bit 7 of a flag word whose other bits have check boxes; a named bit beside it is listed by its name.
    b = a;
    ASSERT_EQ(b.config.setNumber(u"LinkFlags", 0x81), FieldError::None);
    const QList<RecordDifference> d = compareRecords(a, b);
    ASSERT_EQ(d.size(), 2) << formatDifferences(d).toStdString();
    EXPECT_EQ(d[0].name, QStringLiteral("Настройки соединения › Входящие звонки с любого номера"));
    EXPECT_EQ(d[1].name, QStringLiteral("ConfigBlock, байт 494 (LinkFlags)"));
    EXPECT_EQ(d[1].before, QStringLiteral("00"));
    EXPECT_EQ(d[1].after, QStringLiteral("81"));
    EXPECT_EQ(d[1].offset, 494);

    // The extended record, and the order: controls first, then bytes by record and offset.
    b = a;
    bytes = b.confSe.bytes();
    bytes[15] = char(0x80); // a roaming flag bit that no control shows
    ASSERT_TRUE(b.confSe.setBytes(bytes));
    ASSERT_EQ(b.config.setNumber(u"ID_Device", 5), FieldError::None);
    const QList<RecordDifference> e = compareRecords(a, b);
    ASSERT_GE(e.size(), 2);
    EXPECT_EQ(e.front().control, QStringLiteral("ID_Device"));
    EXPECT_EQ(e.back().record, RecordKind::ConfSe);
    EXPECT_TRUE(e.back().control.isEmpty());
    EXPECT_EQ(e.back().name, QStringLiteral("ConfSeBlock, байт 15 (RoamFlags)"));
}

TEST(RecordDiff, EveryCaptionRowNamesAFieldOfItsRecord)
{
    ConfigRecords r;
    for (const CaptionRow& row : pageCaptions()) {
        EXPECT_NE(fieldOf(recordOf(r, row.binding.record), row.binding), nullptr)
            << std::string(row.binding.control);
        EXPECT_FALSE(row.page.empty());
        EXPECT_FALSE(row.caption.empty());
    }
}
