// The inputs, outputs and security pages: records with unusual bytes through all three and back, the input
// page's coupled controls, the key table, and the live bar and key capture fed by monitor blocks.

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
#include "ui/config/pages/inputs_page.h"
#include "ui/config/pages/ohrana_page.h"
#include "ui/monitor/monitor_binding.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QSlider>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <gtest/gtest.h>

using namespace rv;

namespace {

class InputPages : public rvtest::PagesTest {
protected:
    InputsPage* inputs() const { return dynamic_cast<InputsPage*>(pages.page(nav::Inputs)); }
    OhranaPage* ohrana() const { return dynamic_cast<OhranaPage*>(pages.page(nav::Ohrana)); }

    void openInput(int n) { click(QStringLiteral("Вход %1").arg(n)); }
    qint64 number(const char16_t* field, int index = 0) const { return records.config.number(field, index).value; }
    int modeByte(int input) const { return quint8(records.config.bytes().at(246 + input)); }
};

} // namespace

TEST_F(InputPages, UnusualRecordsComeBackByteForByteThroughTheThreePages)
{
    const ConfigRecords unusual = rvtest::unusualRecords();
    load(unusual);
    for (QTreeWidgetItemIterator it(w.tree()); *it; ++it) {
        w.tree()->setCurrentItem(*it);
        w.TreeView1Click();
    }
    for (int n = 1; n <= 8; ++n)
        openInput(n);
    EXPECT_EQ(records.config.bytes(), unusual.config.bytes());
    EXPECT_EQ(records.inpOut.bytes(), unusual.inpOut.bytes());

    // What the pages show of what they cannot show exactly.
    openInput(3);
    EXPECT_EQ(control<QComboBox>("Inputtype")->currentIndex(), -1);
    EXPECT_EQ(control<QComboBox>("Inputtype")->placeholderText(), QStringLiteral("(15)"));
    EXPECT_EQ(control<QComboBox>("Aktivinlevel")->placeholderText(), QStringLiteral("(9)"));
    EXPECT_EQ(control<QLabel>("Labelinput")->text(), QStringLiteral("Вход 3"));
    EXPECT_FALSE(control<QLineEdit>("Freq_level")->isVisibleTo(inputs()));
    EXPECT_EQ(ohrana()->keyCell(0), QStringLiteral("D7D0C9C2BBB4"));
    EXPECT_EQ(ohrana()->keyCell(1), QString());

    pages.Load_config(records);
    pages.gatherRecord(records, RecordKind::InpOut);
    EXPECT_EQ(records.config.bytes().mid(1), unusual.config.bytes().mid(1));
    EXPECT_EQ(records.inpOut.bytes(), unusual.inpOut.bytes());
}

TEST_F(InputPages, LoadingAnInputWritesNothingBackEvenWhenItsLimitsAreInverted)
{
    records.config.setNumber(u"InputThresholds", 2, 800);
    records.config.setNumber(u"InputThresholds", 3, 200);
    const QByteArray before = records.config.bytes();
    openInput(2);
    EXPECT_TRUE(inputs()->guard());
    EXPECT_EQ(control<QSlider>("VlowBar")->value(), 800);
    EXPECT_EQ(control<QSlider>("VhighBar")->value(), 200);
    openInput(1);
    openInput(2);
    EXPECT_EQ(records.config.bytes(), before);
}

TEST_F(InputPages, MovingOneLimitPastTheOtherDragsItAlongAndStoresBoth)
{
    records.config.setNumber(u"InputThresholds", 4, 500); // input 3
    records.config.setNumber(u"InputThresholds", 5, 500);
    openInput(3);
    control<QSlider>("VhighBar")->setValue(300);
    EXPECT_EQ(control<QSlider>("VlowBar")->value(), 300);
    EXPECT_EQ(number(u"InputThresholds", 4), 300);
    EXPECT_EQ(number(u"InputThresholds", 5), 300);
    EXPECT_EQ(control<QLabel>("LVlow")->text(), QStringLiteral("10,2 В"));

    control<QSlider>("VlowBar")->setValue(700);
    EXPECT_EQ(number(u"InputThresholds", 4), 700);
    EXPECT_EQ(number(u"InputThresholds", 5), 700);
    // No other input's limits moved.
    EXPECT_EQ(number(u"InputThresholds", 2), 0);
    EXPECT_EQ(number(u"InputThresholds", 6), 0);
}

TEST_F(InputPages, TheDifferentialCounterSetsBothInputsAndKeepsTheirLevels)
{
    records.config.setNumber(u"InputMode", 0, 0x12);
    records.config.setNumber(u"InputMode", 1, 0x25);
    openInput(1);
    choose("Inputtype", 6);
    EXPECT_EQ(modeByte(0), 0x62);
    EXPECT_EQ(modeByte(1), 0x65);
    EXPECT_EQ(modeByte(2), 0x00);
    openInput(2);
    EXPECT_EQ(control<QComboBox>("Inputtype")->currentText(), QStringLiteral("Счетный (дифф.--)"));

    // On a type 3 unit, counting on input 4 takes input 5 along.
    w.setDeviceType(3);
    openInput(4);
    EXPECT_EQ(control<QLabel>("Labelinput")->text(), QStringLiteral("Вход4"));
    choose("Inputtype", 1);
    EXPECT_EQ(modeByte(3) >> 4, 1);
    EXPECT_EQ(modeByte(4) >> 4, 1);
    EXPECT_EQ(modeByte(0), 0x62);
}

TEST_F(InputPages, ASpecialFunctionSetsTheLevelAndUpperLimitAndLeavesTheSecurityPage)
{
    records.config.setNumber(u"InputThresholds", 12, 600); // input 7, lower limit above 141
    records.config.setNumber(u"INOh", 6, 1);
    QByteArray c = records.config.bytes();
    c[286 + 6] = char(200); // a filter length the slider cannot show
    records.config.setBytes(c);
    pages.readAll();
    openInput(7);
    choose("Inputtype", 3);
    EXPECT_EQ(modeByte(6), 0x33);
    EXPECT_EQ(control<QComboBox>("Aktivinlevel")->currentIndex(), 3);
    EXPECT_EQ(number(u"InputThresholds", 13), 141);
    EXPECT_EQ(number(u"InputThresholds", 12), 141);
    EXPECT_EQ(control<QLabel>("LVhigh")->text(), QStringLiteral("4,79 В"));
    EXPECT_EQ(number(u"InputFilter", 6), 200);

    click(QStringLiteral("Охрана"));
    EXPECT_FALSE(control<QCheckBox>("INOh7")->isEnabled());
    EXPECT_FALSE(control<QCheckBox>("INOh7")->isChecked());
    EXPECT_TRUE(control<QCheckBox>("INOh6")->isEnabled());
    pages.Load_config(records);
    EXPECT_EQ(number(u"INOh", 6), 0);
}

TEST_F(InputPages, FilterLabelsAndTheFrequencyThresholdFollowTheType)
{
    records.config.setNumber(u"Inputtype", 0, 4);
    records.config.setNumber(u"InputFilter", 0, 3);
    records.config.setNumber(u"InputFilter", 2, 3);
    records.config.setNumber(u"FreqLevel", 0, 1234);
    openInput(1);
    EXPECT_EQ(control<QLabel>("LFilterms")->text(), QStringLiteral("(3 сек)"));
    EXPECT_TRUE(control<QLineEdit>("Freq_level")->isVisibleTo(inputs()));
    EXPECT_EQ(control<QLabel>("Label170")->text(), QStringLiteral("Порог частоты"));
    EXPECT_EQ(control<QLineEdit>("Freq_level")->text(), QStringLiteral("1234"));
    type("Freq_level", QStringLiteral("99999"));
    EXPECT_EQ(control<QLineEdit>("Freq_level")->text(), QStringLiteral("65535"));
    EXPECT_EQ(number(u"FreqLevel", 0), 65535);
    type("Freq_level", QString()); // empty: nothing is stored
    EXPECT_EQ(number(u"FreqLevel", 0), 65535);

    choose("Inputtype", 5);
    EXPECT_EQ(control<QLabel>("Label170")->text(), QStringLiteral("Переполнение"));
    EXPECT_EQ(control<QLabel>("LFilterms")->text(), QStringLiteral("(300 мс)"));
    choose("Inputtype", 1);
    EXPECT_FALSE(control<QLineEdit>("Freq_level")->isVisibleTo(inputs()));

    // Input 3 has no frequency threshold: the bytes at 469 + 2i beyond input 2 belong to other fields.
    const QByteArray before = records.config.bytes();
    openInput(3);
    EXPECT_EQ(control<QLabel>("LFilterms")->text(), QStringLiteral("(300 мс)"));
    EXPECT_FALSE(control<QLineEdit>("Freq_level")->isVisibleTo(inputs()));
    EXPECT_EQ(records.config.bytes(), before);
}

TEST_F(InputPages, ReactionsAndTimingsOfTheInputShownAreWrittenAtOnce)
{
    openInput(5);
    choose("Out3inact", 3);
    choose("Out2inpass", 1);
    type("Out4per_passin", QStringLiteral("300"));
    EXPECT_EQ(control<QLineEdit>("Out4per_passin")->text(), QStringLiteral("255"));
    type("Out1act_actin", QString());
    EXPECT_EQ(control<QLineEdit>("Out1act_actin")->text(), QStringLiteral("1"));
    const QByteArray& io = records.inpOut.bytes();
    EXPECT_EQ(quint8(io.at(13 * 4)), 3 << 4);
    EXPECT_EQ(quint8(io.at(13 * 4 + 1)), 1);
    EXPECT_EQ(quint8(io.at(104 + 13 * 4)), 1 << 2);
    EXPECT_EQ(quint8(io.at(104 + 13 * 4 + 12)), 255);
    EXPECT_EQ(io.count('\0'), 513 - 4);
}

TEST_F(InputPages, KeyCellsConvertBothWaysAndAStoredKeyWithoutByteZeroSurvives)
{
    QByteArray c = records.config.bytes();
    rvtest::putHex(c, 302, "ab8967452301" "00ffeeddccbb");
    records.config.setBytes(c);
    pages.readAll();
    EXPECT_EQ(ohrana()->keyCell(0), QStringLiteral("0123456789AB"));
    EXPECT_EQ(ohrana()->keyCell(1), QString());
    pages.Load_config(records);
    EXPECT_EQ(records.config.bytes().mid(302, 12), QByteArray::fromHex("ab8967452301" "00ffeeddccbb"));

    QTableWidget* grid = ohrana()->keyGrid();
    grid->item(3, 1)->setText(QStringLiteral("1a2"));
    EXPECT_EQ(ohrana()->keyCell(2), QStringLiteral("0000000001A2")); // shown as it will be stored
    grid->item(1, 1)->setText(QString());
    grid->item(4, 1)->setText(QStringLiteral("not a key"));
    EXPECT_EQ(pages.Load_config(records), QStringList{QStringLiteral("iButtonGrid")});
    EXPECT_EQ(records.config.bytes().mid(302, 24),
              QByteArray::fromHex("000000000000" "00ffeeddccbb" "a20100000000" "000000000000"));
    EXPECT_FALSE(grid->item(4, 1)->toolTip().isEmpty());
}

TEST_F(InputPages, TheKeyCellEditorTakesTwelveHexDigitsOnly)
{
    QTableWidget* grid = ohrana()->keyGrid();
    w.show();
    w.showPage(nav::Ohrana);
    grid->setCurrentCell(1, 1);
    grid->editItem(grid->item(1, 1));
    auto* editor = grid->findChild<QLineEdit*>(QStringLiteral("iButtonCellEdit"));
    ASSERT_NE(editor, nullptr);
    QTest::keyClicks(editor, QStringLiteral("0x12-Gab34567890CDEF"));
    EXPECT_EQ(editor->text(), QStringLiteral("012ab3456789"));
}

TEST_F(InputPages, OutsAndOhranaEditsRefuseTextThatIsNotANumber)
{
    records.config.setNumber(u"SSimp", 6000);
    records.inpOut.setNumber(u"Out2pause_dtmf", 7);
    pages.readAll();
    type("Out2pause_dtmf", QStringLiteral("1x"));
    EXPECT_TRUE(hasInvalidCue(control("Out2pause_dtmf")));
    type("Out3per_trevoh", QStringLiteral("300"));
    EXPECT_EQ(control<QLineEdit>("Out3per_trevoh")->text(), QStringLiteral("255"));
    type("SSimp", QStringLiteral("70000"));
    EXPECT_EQ(control<QLineEdit>("SSimp")->text(), QStringLiteral("65000"));
    type("TINOh", QStringLiteral("-5"));
    EXPECT_EQ(control<QLineEdit>("TINOh")->text(), QStringLiteral("5")); // digits only

    const QStringList refused = pages.gatherRecord(records, RecordKind::InpOut);
    EXPECT_EQ(refused, QStringList{QStringLiteral("Out2pause_dtmf")});
    EXPECT_EQ(records.inpOut.number(u"Out2pause_dtmf").value, 7);
    EXPECT_EQ(records.inpOut.number(u"Out3per_trevoh").value, 255);
    pages.Load_config(records);
    EXPECT_EQ(number(u"SSimp"), 65000);
    EXPECT_EQ(number(u"TINOh"), 5);
}

TEST_F(InputPages, OutsAndOhranaBitsAreGatheredIntoTheirWords)
{
    pages.readAll();
    control<QCheckBox>("DTMFOUT_en")->click();
    control<QCheckBox>("Ohrana_en")->click();
    control<QCheckBox>("SSen")->click();
    control<QCheckBox>("INOh3")->click();
    choose("ActivOUT2", 1);
    control<QAbstractButton>("Image_dest_oh")->click();
    pages.Load_config(records);
    EXPECT_EQ(number(u"EnableFlags"), (1 << 9) | (1 << 7));
    EXPECT_EQ(number(u"ModeFlags"), (1 << 13) | (1 << 10));
    EXPECT_EQ(number(u"SecurityInputs"), 1 << 2);
    EXPECT_EQ(number(u"OutputActiveState"), 1 << 1);
}

TEST_F(InputPages, TheLiveBarFollowsNavigationBlocksWhileTheInputPageIsShown)
{
    s.setPortName(QStringLiteral("unit"));
    s.start(false);
    for (int i = 0; i < 10; ++i)
        s.Find_deviceTimer();
    auto unit = [this](const QByteArray& bytes) {
        link.feed(bytes);
        for (int i = 0; i < 4; ++i)
            s.Receive_timerTimer();
    };
    unit(rvtest::rvTr(2, 1));
    records.config.setNumber(u"Aktivinlevel", 3, 3); // input 4: active when high
    records.config.setNumber(u"InputThresholds", 6, 100);
    records.config.setNumber(u"InputThresholds", 7, 200);
    openInput(4);

    QByteArray gps(GpsBlock::kSize, '\0');
    gps[20 + 2 * 3] = char(0x2C); // input 4: 300
    gps[21 + 2 * 3] = char(0x01);
    unit(rvtest::monitorReply("GPS", gps));
    EXPECT_EQ(control<QProgressBar>("VtekBar")->value(), 300);
    EXPECT_EQ(control<QLabel>("LVtek")->text(), QStringLiteral("10,2 В"));
    EXPECT_EQ(inputs()->liveColour(), inputs::BarColour::Red);

    // Another page shown: the bar keeps its last value.
    click(QStringLiteral("Охрана"));
    gps[20 + 2 * 3] = char(0x32);
    gps[21 + 2 * 3] = 0;
    unit(rvtest::monitorReply("GPS", gps));
    EXPECT_EQ(control<QProgressBar>("VtekBar")->value(), 300);
    openInput(4);
    unit(rvtest::monitorReply("GPS", gps));
    EXPECT_EQ(control<QProgressBar>("VtekBar")->value(), 50);
    EXPECT_EQ(inputs()->liveColour(), inputs::BarColour::Blue);
}

TEST_F(InputPages, AKeyReadByTheUnitGoesIntoAFreeCellWhileTheSecurityPageIsShown)
{
    MonitorBinding monitor{w, s};
    s.setPortName(QStringLiteral("unit"));
    s.start(false);
    for (int i = 0; i < 10; ++i)
        s.Find_deviceTimer();
    auto unit = [this](const QByteArray& bytes) {
        link.feed(bytes);
        for (int i = 0; i < 4; ++i)
            s.Receive_timerTimer();
    };
    unit(rvtest::rvTr(2, 1));
    QByteArray c = records.config.bytes();
    rvtest::putHex(c, 302, "ab8967452301");
    records.config.setBytes(c);
    pages.readAll();
    click(QStringLiteral("Охрана"));

    QByteArray gps(GpsBlock::kSize, '\0');
    rvtest::putHex(gps, 45, "aabbccddee0f");
    unit(rvtest::monitorReply("GPS", gps));
    unit(rvtest::monitorReply("DEVICE", QByteArray(DeviceBlock::kSize, '\0')));
    EXPECT_EQ(ohrana()->keyCell(1), QStringLiteral("0FEEDDCCBBAA"));
    pages.Load_config(records);
    EXPECT_EQ(records.config.bytes().mid(302, 12), QByteArray::fromHex("ab8967452301" "aabbccddee0f"));
}
