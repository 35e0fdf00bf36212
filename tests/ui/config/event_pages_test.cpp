// The event logic page and the packet structure page: filled from records with unusual bytes, visited,
// gathered back; the user's ticks, choices and texts, proven by the bytes of the records.

#include "core/config/packet_structure.h"
#include "core/config/records.h"
#include "core/link/memory_link.h"
#include "core/monitor/monitor_blocks.h"
#include "core/protocol/device_session.h"
#include "support/unit_bytes.h"
#include "support/unusual_records.h"
#include "ui/config/pages_fixture.h"
#include "ui/app/main_window.h"
#include "ui/app/navigation.h"
#include "ui/app/session_binding.h"
#include "ui/config/config_pages.h"
#include "ui/config/edit_rules.h"
#include "ui/config/pages/events_page.h"
#include "ui/config/pages/ps_page.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <gtest/gtest.h>

using namespace rv;

namespace {

class EventPages : public rvtest::PagesTest {
protected:
    EventsPage* eventsPage() const { return qobject_cast<EventsPage*>(pages.page(nav::TabSheet6)); }
    PsPage* psPage() const { return qobject_cast<PsPage*>(pages.page(nav::PS_page)); }
    void tick(const char* list, int row, bool on = true)
    {
        control<QListWidget>(list)->item(row)->setCheckState(on ? Qt::Checked : Qt::Unchecked);
    }
    bool ticked(const char* list, int row) const
    {
        return control<QListWidget>(list)->item(row)->checkState() == Qt::Checked;
    }
    quint32 word(const QByteArray& b, int at) const
    {
        return quint32(uint8_t(b[at])) | quint32(uint8_t(b[at + 1])) << 8 | quint32(uint8_t(b[at + 2])) << 16
               | quint32(uint8_t(b[at + 3])) << 24;
    }
    static ConfigRecords withProtocol(int protocol)
    {
        ConfigRecords r = rvtest::unusualRecords();
        QByteArray c = r.config.bytes();
        c[22] = char(protocol);
        r.config.setBytes(c);
        return r;
    }
};

} // namespace

TEST_F(EventPages, UnusualRecordsComeBackByteForByte_AfterEveryRuleAndEveryPage)
{
    for (int protocol : {0, 1, 2, 7}) {
        ConfigRecords unusual = withProtocol(protocol);
        QByteArray io = unusual.inpOut.bytes();
        io[260] = char(0xBF);      // rule 1: source 63, past the 32 sources
        io[267] = char(0xFF);      // rule 1: logic and bit 31 set, every condition
        unusual.inpOut.setBytes(io);
        load(unusual);
        visitEveryNode();
        for (int rule = 0; rule < 20; ++rule)
            choose("Event_Box", rule);
        choose("Event_Box", 0);
        EXPECT_EQ(records.inpOut.bytes(), unusual.inpOut.bytes()) << protocol;

        // What the page shows of the values it cannot show exactly.
        EXPECT_EQ(control<QComboBox>("Source_Box")->currentIndex(), -1);
        EXPECT_EQ(control<QComboBox>("Source_Box")->placeholderText(), QStringLiteral("(63)"));
        EXPECT_EQ(control<QComboBox>("State_Box")->currentIndex(), 2);
        EXPECT_TRUE(control<QRadioButton>("Check_logic")->isChecked());
        EXPECT_TRUE(ticked("ConditionList", 29));
        EXPECT_FALSE(ticked("ConditionList", 30));
        EXPECT_EQ(control<QComboBox>("Protocol")->currentIndex(), protocol == 7 ? -1 : protocol);

        pages.Load_config(records);
        EXPECT_EQ(records.config.bytes(), unusual.config.bytes()) << protocol;
        EXPECT_EQ(records.inpOut.bytes(), unusual.inpOut.bytes()) << protocol;
    }
}

TEST_F(EventPages, ActionTextsFollowTheRuleChosen_TheTicksStayTheRecords)
{
    load(rvtest::unusualRecords());
    auto* actions = control<QListWidget>("ActionList");
    choose("Event_Box", 5); // "Событие 6"
    EXPECT_EQ(actions->item(9)->text(), QStringLiteral("Отправить СМС по номеру 2"));
    EXPECT_EQ(actions->item(10)->text(), QStringLiteral("Набрать номер 2"));
    EXPECT_EQ(actions->item(22)->text(), QStringLiteral("Снимок на сервер, камера 2"));
    choose("Event_Box", 11);
    EXPECT_EQ(actions->item(11)->text(), QStringLiteral("Отправить текущие данные"));
    EXPECT_EQ(actions->item(22)->text(), QStringLiteral("Снимок в память, камера 2"));
    choose("Event_Box", 15);
    EXPECT_EQ(actions->item(20)->text(), QStringLiteral("Сбросить сч.1"));
    EXPECT_EQ(actions->item(21)->text(), QStringLiteral("Сбросить сч.2"));
    const quint32 word0 = word(records.inpOut.bytes(), 260 + 8 * 15);
    for (int i = 0; i < 24; ++i)
        EXPECT_EQ(ticked("ActionList", i), bool((word0 >> (8 + i)) & 1)) << i;
}

TEST_F(EventPages, EveryChangeToTheRuleShownIsWrittenAtOnce_AndOnlyItsBits)
{
    ConfigRecords zero;
    load(zero);
    QByteArray expected(513, '\0');
    choose("Event_Box", 19); // "Событие 20"
    EXPECT_EQ(eventsPage()->rule(), 19);

    // Condition "Вх./исх. вызов": bit 5 of byte 419; the state of that condition is selected, not ticked.
    tick("ConditionList", 29);
    expected[419] = char(0x20);
    EXPECT_EQ(records.inpOut.bytes(), expected);
    EXPECT_EQ(control<QListWidget>("ConditionState")->currentRow(), 29);
    EXPECT_FALSE(ticked("ConditionState", 29));
    // "И": bit 6 of the same byte.
    control<QRadioButton>("Check_logic")->click();
    expected[419] = char(0x60);
    EXPECT_EQ(records.inpOut.bytes(), expected);
    control<QRadioButton>("Check_logic2")->click();
    expected[419] = char(0x20);
    EXPECT_EQ(records.inpOut.bytes(), expected);
    // The required state of condition "Вход 3": bit 3 of the condition-state word; the other list follows.
    tick("ConditionState", 3);
    expected[420 + 4 * 19] = char(0x08);
    EXPECT_EQ(records.inpOut.bytes(), expected);
    EXPECT_EQ(control<QListWidget>("ConditionList")->currentRow(), 3);
    EXPECT_FALSE(ticked("ConditionList", 3));
    // Action 12 ("Запустить таймер 1"): bit 20 of word 0, bit 4 of byte 2 of the rule.
    tick("ActionList", 12);
    expected[260 + 8 * 19 + 2] = char(0x10);
    EXPECT_EQ(records.inpOut.bytes(), expected);
    // Source and state share byte 0.
    choose("Source_Box", 31);
    choose("State_Box", 3);
    expected[260 + 8 * 19] = char(0xDF);
    EXPECT_EQ(records.inpOut.bytes(), expected);

    // "Вход в геозону" offers no tick.
    EXPECT_FALSE(control<QListWidget>("ConditionList")->item(30)->flags() & Qt::ItemIsUserCheckable);
    EXPECT_FALSE(control<QListWidget>("ConditionState")->item(30)->flags() & Qt::ItemIsEnabled);

    // Another rule and back: shown from the record, nothing written.
    choose("Event_Box", 0);
    EXPECT_FALSE(ticked("ConditionList", 29));
    EXPECT_EQ(control<QComboBox>("Source_Box")->currentIndex(), 0);
    choose("Event_Box", 19);
    EXPECT_TRUE(ticked("ConditionList", 29));
    EXPECT_TRUE(ticked("ActionList", 12));
    EXPECT_TRUE(control<QRadioButton>("Check_logic2")->isChecked());
    EXPECT_EQ(records.inpOut.bytes(), expected);
}

TEST_F(EventPages, TypeThreeUnit_ASourceItLacksBecomesNoSource)
{
    ConfigRecords zero;
    load(zero);
    w.TypeConnectedDevice(3);
    choose("State_Box", 1);
    choose("Source_Box", 8); // "Вход 7"
    EXPECT_EQ(control<QComboBox>("Source_Box")->currentIndex(), 0);
    EXPECT_EQ(uint8_t(records.inpOut.bytes()[260]), 0x40);
    choose("Source_Box", 6); // "Вход 5" stays
    EXPECT_EQ(uint8_t(records.inpOut.bytes()[260]), 0x46);
    EXPECT_FALSE(control<QListWidget>("ConditionList")->item(6)->flags() & Qt::ItemIsEnabled);
    EXPECT_TRUE(control<QListWidget>("ConditionList")->item(4)->flags() & Qt::ItemIsEnabled);
    EXPECT_FALSE(control<QListWidget>("ActionList")->item(8)->flags() & Qt::ItemIsEnabled);

    // A type 2 unit has them all.
    w.TypeConnectedDevice(2);
    choose("Source_Box", 8);
    EXPECT_EQ(uint8_t(records.inpOut.bytes()[260]), 0x48);
}

TEST_F(EventPages, ReplacedInputOutputRecord_ShowsRuleOne)
{
    ConfigRecords r = rvtest::unusualRecords();
    load(r);
    choose("Event_Box", 7);
    QByteArray io(513, '\0');
    io[260] = 0x02; // rule 1: "Вход 1"
    records.inpOut.setBytes(io);
    pages.readRecord(RecordKind::InpOut);
    EXPECT_EQ(control<QComboBox>("Event_Box")->currentIndex(), 0);
    EXPECT_EQ(control<QComboBox>("Event_Box")->currentText(), QStringLiteral("Событие 1"));
    EXPECT_EQ(control<QComboBox>("Source_Box")->currentText(), QStringLiteral("Вход 1"));
    EXPECT_EQ(records.inpOut.bytes(), io);
}

TEST_F(EventPages, TimersAndThresholds_CorrectedInPlace_TextThatIsNoNumberIsRefused)
{
    ConfigRecords r;
    QByteArray c(512, '\0');
    c[480] = char(0x10); c[481] = char(0x27); // T1 10000
    c[495] = 60;
    c[498] = 25;                              // 2,5 m/s²
    c[336] = 0x10;                            // event processing on
    r.config.setBytes(c);
    load(r);
    EXPECT_EQ(control<QLineEdit>("DelayTimer1")->text(), QStringLiteral("10000"));
    EXPECT_EQ(control<QLineEdit>("ACCELPOROG")->text(), QStringLiteral("2,5"));
    EXPECT_TRUE(control<QAbstractButton>("Events_en")->isChecked());

    type("DelayTimer2", QStringLiteral("70000"));
    EXPECT_EQ(control<QLineEdit>("DelayTimer2")->text(), QStringLiteral("65000"));
    type("DelayTimer3", QString());
    EXPECT_EQ(control<QLineEdit>("DelayTimer3")->text(), QStringLiteral("1"));
    type("ACCELPOROG", QStringLiteral("30"));
    EXPECT_EQ(control<QLineEdit>("ACCELPOROG")->text(), QStringLiteral("25,0"));
    type("HISPEED", QStringLiteral("1o0"));
    EXPECT_TRUE(hasInvalidCue(control<QLineEdit>("HISPEED")));
    type("DelayTimer1", QStringLiteral("12x"));
    EXPECT_TRUE(hasInvalidCue(control<QLineEdit>("DelayTimer1")));

    const QStringList refused = pages.Load_config(records);
    EXPECT_TRUE(refused.contains(QStringLiteral("HISPEED")));
    EXPECT_TRUE(refused.contains(QStringLiteral("DelayTimer1")));
    const QByteArray b = records.config.bytes();
    EXPECT_EQ(uint8_t(b[480]) | uint8_t(b[481]) << 8, 10000); // kept, never 0
    EXPECT_EQ(uint8_t(b[482]) | uint8_t(b[483]) << 8, 65000);
    EXPECT_EQ(uint8_t(b[484]) | uint8_t(b[485]) << 8, 1);
    EXPECT_EQ(uint8_t(b[495]), 60);
    EXPECT_EQ(uint8_t(b[498]), 250);
}

TEST_F(EventPages, PacketTree_ShownFromTheRecord_KeptUntilTheUserTicks)
{
    ConfigRecords r = withProtocol(2);
    QByteArray c = r.config.bytes();
    rvtest::putHex(c, 15, "01080000");       // block 1 and "HDOP"
    rvtest::putHex(c, 503, "000000a55a");    // bytes 3 and 4 hold bits no node shows
    r.config.setBytes(c);
    load(r);
    PsPage* ps = psPage();
    ASSERT_NE(ps, nullptr);
    EXPECT_EQ(control<QLabel>("Label228")->text(), QStringLiteral("Размер пакета, байт: 26"));
    EXPECT_EQ(ps->node(4)->checkState(0), Qt::Checked);
    EXPECT_EQ(ps->node(0)->checkState(0), Qt::PartiallyChecked);
    EXPECT_TRUE(control<QTreeWidget>("PackStrV1")->isVisibleTo(ps));
    EXPECT_FALSE(control<QListWidget>("PacketStruct_new")->isVisibleTo(ps));

    pages.Load_config(records);
    c[0] = char(0xF0);
    EXPECT_EQ(records.config.bytes(), c);

    // The user ticks "Данные от 485 сумматора": the tree is stored, bytes 3 and 4 cleared.
    ps->node(31)->setCheckState(0, Qt::Checked);
    EXPECT_EQ(control<QLabel>("Label228")->text(), QStringLiteral("Размер пакета, байт: 45"));
    pages.Load_config(records);
    EXPECT_EQ(records.config.bytes().mid(15, 4), QByteArray::fromHex("09080000"));
    EXPECT_EQ(records.config.bytes().mid(503, 5), QByteArray::fromHex("0800000000"));
}

TEST_F(EventPages, PacketList_PlaceholderStoresVersionOneWithTheList)
{
    ConfigRecords r = withProtocol(0);
    QByteArray c = r.config.bytes();
    rvtest::putHex(c, 15, "ffff0100");
    r.config.setBytes(c);
    load(r);
    EXPECT_EQ(control<QComboBox>("Protocol")->currentText(), QStringLiteral("Выберите версию протокола"));
    // Every item is ticked: 30 + 60 bytes.
    EXPECT_EQ(psPage()->listShown(), 0xFFFFu);
    choose("Protocol", 1);
    EXPECT_EQ(control<QLabel>("Label228")->text(), QStringLiteral("Размер пакета, байт: 90"));
    EXPECT_TRUE(control<QListWidget>("PacketStruct_new")->isVisibleTo(psPage()));
    choose("Protocol", 0);
    tick("PacketStruct_new", 15, false);
    pages.Load_config(records);
    EXPECT_EQ(uint8_t(records.config.bytes()[22]), 1);
    EXPECT_EQ(records.config.bytes().mid(15, 4), QByteArray::fromHex("ff7f0000"));
    EXPECT_EQ(records.config.bytes().mid(503, 5), c.mid(503, 5));
    // Read back, "Версия 0" is shown.
    pages.readAll();
    EXPECT_EQ(control<QComboBox>("Protocol")->currentText(), QStringLiteral("Версия 0"));

    // Switching to "Версия 1" stores what the tree shows of the same bits.
    choose("Protocol", 2);
    pages.Load_config(records);
    const packet::TreeWords stored = packet::treeWordsOf(records.config);
    EXPECT_EQ(stored, packet::treeWords(packet::treeChoice({0x7FFF, {uint8_t(c[503]), uint8_t(c[504]), uint8_t(c[505]), 0, 0}})));
}
