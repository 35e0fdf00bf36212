// The navigation, power and peripheral pages and the fuel table editor: filled from records with unusual
// bytes and gathered back unchanged; the profiles, the device rules and the editors as a user drives them,
// proven by the bytes of the records.

#include "core/config/defaults.h"
#include "core/config/fcg_file.h"
#include "core/config/records.h"
#include "core/link/memory_link.h"
#include "core/monitor/monitor_blocks.h"
#include "core/protocol/device_session.h"
#include "support/unusual_records.h"
#include "ui/config/pages_fixture.h"
#include "ui/app/main_window.h"
#include "ui/app/navigation.h"
#include "ui/app/session_binding.h"
#include "ui/config/config_pages.h"
#include "ui/config/edit_rules.h"
#include "ui/config/pages/dev_set_page.h"
#include "ui/config/pages/fuel_table_window.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QLocale>
#include <QStackedWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <gtest/gtest.h>

using namespace rv;

namespace {

class NavigationPages : public rvtest::PagesTest {
protected:
    DevSetPage* devSet() const { return qobject_cast<DevSetPage*>(pages.page(nav::Dev_set)); }
    FuelTableWindow* fuelTable() const { return qobject_cast<FuelTableWindow*>(w.window(QStringLiteral("TForm8"))); }
    // A negative number, typed sign first.
    void typeNegative(const char* edit, const QString& digits) { type(edit, u'-' + digits); }
    QAbstractButton* fuelButton(const char* name) const
    {
        auto* b = fuelTable()->findChild<QAbstractButton*>(QLatin1String(name));
        EXPECT_NE(b, nullptr) << name;
        return b;
    }
    QString text(const char* edit) const { return control<QLineEdit>(edit)->text(); }
    bool ticked(const char* box) const { return control<QAbstractButton>(box)->isChecked(); }
};

} // namespace

TEST_F(NavigationPages, UnusualRecordsComeBackByteForByte)
{
    const ConfigRecords unusual = rvtest::unusualRecords();
    load(unusual);
    visitEveryNode();
    control<QAbstractButton>("Edit_table1")->click();
    fuelButton("Cancel")->click();
    EXPECT_EQ(records.config.bytes(), unusual.config.bytes());

    // What the controls show of the values they cannot show exactly.
    EXPECT_EQ(control<QComboBox>("RS232_box1")->currentIndex(), -1);
    EXPECT_EQ(control<QComboBox>("RS232_box1")->placeholderText(), QStringLiteral("16855097"));
    EXPECT_EQ(control<QComboBox>("RS232_box2")->placeholderText(), QStringLiteral("-1"));
    EXPECT_EQ(control<QComboBox>("Device2")->placeholderText(), QStringLiteral("(12)"));
    EXPECT_EQ(control<QComboBox>("CANrate")->placeholderText(), QStringLiteral("(7)"));
    EXPECT_EQ(control<QComboBox>("GLONASS_rej")->currentIndex(), -1);
    EXPECT_EQ(text("Extvoltlev"), QStringLiteral("10,5"));
    EXPECT_EQ(text("MaxHdop"), QStringLiteral("25,5"));
    EXPECT_EQ(text("Maxaccel"), QStringLiteral("25,1"));
    EXPECT_EQ(text("TempLL1"), QStringLiteral("-128"));
    EXPECT_EQ(text("Full_bak1"), QStringLiteral("65535"));
    EXPECT_EQ(text("Out1act_extlow"), QStringLiteral("0"));
    // The RS485 fuel sensors stored on port 1 show both sensors' controls on its sub-page at once.
    EXPECT_EQ(control<QComboBox>("Device1")->currentIndex(), DevSetPage::kFuelSensors485);
    EXPECT_EQ(devSet()->subPage(1), DevSetPage::kOmnicomm);
    EXPECT_TRUE(devSet()->sensor2OnPort1());
    EXPECT_EQ(devSet()->subPage(2), -1); // device 12 has no sub-page

    gatherAll();
    EXPECT_EQ(records.config.bytes(), unusual.config.bytes());
    EXPECT_EQ(records.inpOut.bytes(), unusual.inpOut.bytes());
    EXPECT_EQ(records.confSe.bytes(), unusual.confSe.bytes());
}

TEST_F(NavigationPages, ProfilesSetTheirControlsAndTheRecordFollowsAtTheGathering)
{
    load(rvtest::unusualRecords());
    const QByteArray before = records.config.bytes();
    control<QAbstractButton>("RzBitBtn3")->click(); // "Эконом"
    EXPECT_EQ(records.config.bytes(), before);
    for (const char* box : {"ParkCheck", "Filter_coord", "Perestroi", "Filterline"})
        EXPECT_TRUE(ticked(box)) << box;
    EXPECT_EQ(text("Perpackmove"), QStringLiteral("60"));
    EXPECT_EQ(text("MaxHdop"), QStringLiteral("4"));

    pages.Load_config(records);
    const ConfigBlock& c = records.config;
    EXPECT_EQ(c.number(u"Perpackmove").value, 60);
    EXPECT_EQ(c.number(u"Packdist").value, 50);
    EXPECT_EQ(c.number(u"Minangel").value, 7);
    EXPECT_EQ(c.number(u"Filterlineangel").value, 7);
    EXPECT_EQ(c.number(u"MaxHdop").value, 40);
    EXPECT_EQ(c.number(u"Maxaccel").value, 30);
    EXPECT_EQ(c.number(u"Perpackstop2").value, 120);
    EXPECT_EQ(c.number(u"TimePark").value, 30);
    EXPECT_EQ(c.number(u"EnableFlags").value & 0x2418, 0x2418);

    control<QAbstractButton>("RzBitBtn1")->click(); // "Красивый трэк"
    EXPECT_FALSE(ticked("ParkCheck"));
    EXPECT_TRUE(ticked("Filter_coord"));
    EXPECT_EQ(text("Packdist"), QStringLiteral("20"));
    pages.Load_config(records);
    EXPECT_EQ(records.config.number(u"EnableFlags").value & 0x2418, 0x0008);
    EXPECT_EQ(records.config.number(u"Packdist").value, 20);
    EXPECT_EQ(records.config.number(u"Perpackmove").value, 30);
}

TEST_F(NavigationPages, EditsTakeACommaAndCorrectTheirTextWhileTheUserTypes)
{
    // The decimal separator is ',' whatever the user's locale says.
    const QLocale was;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    struct Restore {
        QLocale locale;
        ~Restore() { QLocale::setDefault(locale); }
    } restore{was};
    load(rvtest::unusualRecords());
    type("MaxHdop", QStringLiteral("30"));
    EXPECT_EQ(text("MaxHdop"), QStringLiteral("25,0"));
    type("MaxHdop", QString());
    EXPECT_EQ(text("MaxHdop"), QStringLiteral("1"));
    type("Maxaccel", QStringLiteral("2.5")); // '.' never reaches the edit
    EXPECT_EQ(text("Maxaccel"), QStringLiteral("25"));
    type("Maxaccel", QStringLiteral("2,5"));
    EXPECT_EQ(text("Maxaccel"), QStringLiteral("2,5"));
    type("TempLH1", QStringLiteral("200"));
    EXPECT_EQ(text("TempLH1"), QStringLiteral("125"));
    typeNegative("TempLL1", QStringLiteral("60"));
    EXPECT_EQ(text("TempLL1"), QStringLiteral("-55"));
    // A lone "-" stands while typing; finishing the edit (Enter, or storing it) makes it "0".
    type("TempLL2", QStringLiteral("-"));
    EXPECT_EQ(text("TempLL2"), QStringLiteral("-"));
    QTest::keyClick(control<QLineEdit>("TempLL2"), Qt::Key_Return);
    EXPECT_EQ(text("TempLL2"), QStringLiteral("0"));
    type("TempLH2", QStringLiteral("-"));
    typeNegative("TempLH2", QStringLiteral("10"));
    type("Extvoltlev", QStringLiteral("30"));
    EXPECT_EQ(text("Extvoltlev"), QStringLiteral("25,5"));
    type("Extvoltlev", QStringLiteral("12,0"));
    type("Perpackstop", QStringLiteral("70000"));
    EXPECT_EQ(text("Perpackstop"), QStringLiteral("65535"));
    type("Perpackstop2", QString());
    EXPECT_EQ(text("Perpackstop2"), QStringLiteral("1"));
    type("Out2pause_extlow", QStringLiteral("300"));
    choose("Out3extlow", 3);

    gatherAll();
    const QByteArray c = records.config.bytes();
    EXPECT_EQ(uint8_t(c[241]), 10);
    EXPECT_EQ(uint8_t(c[243]), 25);
    EXPECT_EQ(c.mid(465, 4), QByteArray::fromHex("c97d00f6")); // −55, 125, 0, −10
    EXPECT_EQ(c.mid(297, 2), QByteArray::fromHex("5201"));     // 12,0 V: 338
    EXPECT_EQ(records.config.number(u"Perpackstop").value, 65535);
    EXPECT_EQ(records.config.number(u"Perpackstop2").value, 1);
    EXPECT_EQ(records.inpOut.number(u"Out2pause_extlow").value, 255);
    EXPECT_EQ(records.inpOut.number(u"Out3mode_extlow").value, 3);
    EXPECT_EQ(records.inpOut.number(u"Out1act_extlow").value, 0); // untouched, below the validator's 1
}

TEST_F(NavigationPages, DeviceChoicesSetTheSubPageTheBaudRateAndThePortSwitch)
{
    ConfigRecords r = rvtest::unusualRecords();
    QByteArray c = r.config.bytes();
    c[338] = 0x10; // port 1: none; port 2: Omnicomm
    c[5] = char(c[5] & ~0x03);
    r.config.setBytes(c);
    load(r);
    EXPECT_EQ(devSet()->subPage(1), 0);
    EXPECT_EQ(devSet()->subPage(2), 1);
    EXPECT_FALSE(devSet()->sensor2OnPort1());

    choose("Device1", 3); // "JPEG камера C328"
    EXPECT_EQ(control<QComboBox>("RS232_box1")->currentText(), QStringLiteral("115200"));
    EXPECT_TRUE(ticked("RS232_en1"));
    EXPECT_EQ(devSet()->subPage(1), 3);
    choose("Device1", 0); // "Не определен": the port is switched off, the rate stays
    EXPECT_FALSE(ticked("RS232_en1"));
    EXPECT_EQ(control<QComboBox>("RS232_box1")->currentText(), QStringLiteral("115200"));
    EXPECT_EQ(devSet()->subPage(1), 0);

    // The RS485 sensors on port 1 take port 2's Omnicomm sensor over: both sensors on one sub-page.
    choose("Device1", DevSetPage::kFuelSensors485);
    EXPECT_EQ(control<QComboBox>("Device2")->currentIndex(), 0);
    EXPECT_EQ(devSet()->subPage(2), 0);
    EXPECT_EQ(devSet()->subPage(1), DevSetPage::kOmnicomm);
    EXPECT_TRUE(devSet()->sensor2OnPort1());
    EXPECT_EQ(control<QComboBox>("RS232_box1")->currentText(), QStringLiteral("19200"));
    choose("Device1", 7); // "Дисплей Garmin": no sub-page; the sensor controls go back to port 2
    EXPECT_EQ(devSet()->subPage(1), -1);
    EXPECT_FALSE(devSet()->sensor2OnPort1());
    EXPECT_EQ(control<QComboBox>("RS232_box1")->currentText(), QStringLiteral("9600"));

    choose("Device2", 2); // "CAN LOG"
    EXPECT_EQ(control<QComboBox>("RS232_box2")->currentText(), QStringLiteral("9600"));
    EXPECT_TRUE(ticked("RS232_en2"));
    EXPECT_EQ(devSet()->subPage(2), 2);
    choose("Device2", DevSetPage::kIridium);
    EXPECT_EQ(w.currentPage(), int(nav::SAT_modem));

    pages.Load_config(records);
    EXPECT_EQ(uint8_t(records.config.bytes()[338]), 0x57);
    EXPECT_EQ(records.config.number(u"RS232_box1").value, 9600);
    EXPECT_EQ(records.config.number(u"RS232_box2").value, 19200);
    EXPECT_EQ(records.config.number(u"EnableFlags").value & 0x03, 0x03);
}

TEST_F(NavigationPages, SumOfTwoSensorsIsOfferedOnlyWithTwoSensorsAndTwoFullTanks)
{
    ConfigRecords r = rvtest::unusualRecords();
    QByteArray c = r.config.bytes();
    c[338] = 0x10; // port 2: Omnicomm
    r.config.setBytes(c);
    load(r);
    type("Full_bak1", QStringLiteral("100"));
    type("Full_bak2", QStringLiteral("100"));
    auto* sum = control<QAbstractButton>("Omni_sum");
    EXPECT_TRUE(sum->isEnabled());
    if (!sum->isChecked())
        sum->click();
    type("Full_bak2", QString());
    EXPECT_EQ(text("Full_bak2"), QStringLiteral("0"));
    EXPECT_FALSE(sum->isEnabled());
    EXPECT_FALSE(sum->isChecked());
    pages.Load_config(records);
    EXPECT_EQ(records.config.number(u"Omni_sum").value, 0);
    EXPECT_EQ(records.config.number(u"Full_bak1").value, 100);

    // A fill shows what the record says: a sum switched on without two full tanks stays on, locked.
    QByteArray again = records.config.bytes();
    again[336] = char(again[336] | 0x08);
    again[379] = 0;
    again[380] = 0;
    records.config.setBytes(again);
    pages.Read_config();
    EXPECT_TRUE(sum->isChecked());
    EXPECT_FALSE(sum->isEnabled());
    pages.Load_config(records);
    EXPECT_EQ(records.config.bytes(), again);
}

TEST_F(NavigationPages, FuelTableEditorSavesOrCancelsAndInsertsTheLiveReading)
{
    load(rvtest::unusualRecords());
    const QByteArray before = records.config.bytes();
    control<QAbstractButton>("Edit_table2")->click();
    FuelTableWindow* window = fuelTable();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->isModal());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Редактирование таблицы"));
    auto* grid = window->findChild<QTableWidget*>(QStringLiteral("Table_grid"));
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(grid->item(11, 0)->text(), QStringLiteral("Половина"));
    EXPECT_EQ(grid->item(11, 1)->text(), QString::number(records.config.number(u"FuelTable1", 10).value));

    // Typed in a cell: digits only, five at most, 70000 brought down to 65535; backspace still works.
    grid->setCurrentCell(2, 2);
    grid->editItem(grid->item(2, 2));
    auto* cell = grid->findChild<QLineEdit*>(QStringLiteral("Table_gridEdit"));
    ASSERT_NE(cell, nullptr);
    cell->selectAll();
    QTest::keyClicks(cell, QStringLiteral("7x0000"));
    EXPECT_EQ(cell->text(), QStringLiteral("65535"));
    QTest::keyClick(cell, Qt::Key_Backspace);
    EXPECT_EQ(cell->text(), QStringLiteral("6553"));
    QTest::keyClick(cell, Qt::Key_Return);
    QCoreApplication::processEvents(); // the view commits the cell once the key is handled
    EXPECT_EQ(grid->item(2, 2)->text(), QStringLiteral("6553"));

    // "Отмена" after edits leaves both tables as they were; the next showing reloads the cells.
    grid->item(11, 1)->setText(QString());
    fuelButton("Cancel")->click();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(records.config.bytes(), before);
    control<QAbstractButton>("Edit_table1")->click();
    EXPECT_NE(grid->item(11, 1)->text(), QString());

    // Before any click in the grid the insertion does nothing; then it takes the clicked column's sensor.
    QByteArray gps(105, '\0');
    gps[59] = char(0xFF);
    gps[60] = char(0xFF);
    gps[61] = char(0x34);
    gps[62] = char(0x12);
    blocks.gps.fillFrom(gps);
    auto* insert = window->findChild<QAction*>(QStringLiteral("N1"));
    ASSERT_NE(insert, nullptr);
    EXPECT_EQ(insert->text(), QStringLiteral("Вставить текущее значение"));
    const QString first = grid->item(1, 1)->text();
    insert->trigger();
    EXPECT_EQ(grid->item(1, 1)->text(), first);
    grid->scrollToItem(grid->item(21, 1));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualItemRect(grid->item(21, 1)).center());
    EXPECT_EQ(window->rememberedColumn(), 1);
    EXPECT_EQ(window->rememberedRow(), 21);
    insert->trigger();
    EXPECT_EQ(grid->item(21, 1)->text(), QStringLiteral("-1"));
    window->Table_gridClick(3, 2);
    insert->trigger();
    EXPECT_EQ(grid->item(3, 2)->text(), QStringLiteral("4660"));

    // A cell the record cannot hold keeps the window open, marked, and nothing is written.
    grid->item(5, 2)->setText(QStringLiteral("70000"));
    fuelButton("Save")->click();
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(grid->item(5, 2)->toolTip().isEmpty());
    EXPECT_EQ(records.config.bytes(), before);
    grid->item(5, 2)->setText(QString::number(records.config.number(u"FuelTable2", 4).value));

    // "Сохранить": an empty "Половина" stores 0, the broken line's −1 its 16 bits.
    grid->item(11, 1)->setText(QString());
    fuelButton("Save")->click();
    EXPECT_FALSE(window->isVisible());
    QByteArray expected = before;
    expected[381 + 20] = 0;
    expected[381 + 21] = 0;
    expected[381 + 40] = char(0xFF);
    expected[381 + 41] = char(0xFF);
    expected[423 + 4] = char(0x34);
    expected[423 + 5] = char(0x12);
    EXPECT_EQ(records.config.bytes(), expected);
    // The pages' gathering leaves the tables as the editor wrote them.
    gatherAll();
    EXPECT_EQ(records.config.bytes(), expected);
}

TEST_F(NavigationPages, ACorrectionFitsItsEdit)
{
    ConfigRecords r;
    loadDefaults(r);
    load(r);
    type("Maxaccel", QStringLiteral("30")); // "25,0" does not fit its three characters; "25" is the same value
    EXPECT_EQ(text("Maxaccel"), QStringLiteral("25"));
    type("MaxHdop", QStringLiteral("30"));
    EXPECT_EQ(text("MaxHdop"), QStringLiteral("25,0"));
    gatherAll();
    EXPECT_EQ(records.config.number(u"Maxaccel").value, 250);
    EXPECT_EQ(records.config.number(u"MaxHdop").value, 250);
}

TEST_F(NavigationPages, FuelTableEditorOpenWhileTheRecordsAreReplacedSavesOnlyTheNewTables)
{
    load(rvtest::unusualRecords());
    // Another configuration, with tables of its own, in a file.
    ConfigRecords other = rvtest::randomRecords(88);
    const QString otherPath = home.filePath(QStringLiteral("other.fcg"));
    ASSERT_EQ(saveFcg(otherPath, other), FcgStatus::Ok);

    control<QAbstractButton>("Edit_table1")->click();
    FuelTableWindow* window = fuelTable();
    ASSERT_TRUE(window && window->isVisible());
    auto* grid = window->findChild<QTableWidget*>(QStringLiteral("Table_grid"));
    ASSERT_NE(grid, nullptr);
    grid->item(4, 1)->setText(QStringLiteral("1")); // an edit of the old tables, lost with them

    // The records are replaced while the editor is open: it shows the new tables at once.
    w.openConfigFile(otherPath);
    ASSERT_EQ(records.config.bytes(), other.config.bytes());
    EXPECT_EQ(grid->item(4, 1)->text(), QString::number(other.config.number(u"FuelTable1", 3).value));

    // One cell typed, "Сохранить", then the configuration saved: the file holds the new tables and that cell.
    grid->setCurrentCell(2, 2);
    grid->editItem(grid->item(2, 2));
    auto* cell = grid->findChild<QLineEdit*>(QStringLiteral("Table_gridEdit"));
    ASSERT_NE(cell, nullptr);
    cell->selectAll();
    QTest::keyClicks(cell, QStringLiteral("4321"));
    QTest::keyClick(cell, Qt::Key_Return);
    QCoreApplication::processEvents();
    QTest::mouseClick(fuelButton("Save"), Qt::LeftButton);
    EXPECT_FALSE(window->isVisible());
    const QString savedPath = home.filePath(QStringLiteral("saved.fcg"));
    w.saveConfigFile(savedPath);
    QFile saved(savedPath);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    QByteArray expected = fcgBytes(other);
    expected[423 + 2] = char(4321 & 0xFF); // FuelTable2[1]
    expected[423 + 3] = char(4321 >> 8);
    EXPECT_EQ(saved.readAll().toHex().toStdString(), expected.toHex().toStdString());
}

TEST_F(NavigationPages, HiddenCommandButtonSendsItsTextAfterTheCommandWord)
{
    s.setPortName(QStringLiteral("unit"));
    s.start(false);
    for (int i = 0; i < 10; ++i)
        s.Find_deviceTimer(); // the port opens and the search goes out
    ASSERT_TRUE(link.isOpen());
    link.takeWritten();
    auto* edit = control<QLineEdit>("Edit1");
    auto* button = control<QAbstractButton>("Button1");
    EXPECT_TRUE(edit->isHidden());
    EXPECT_TRUE(button->isHidden());
    edit->setText(QStringLiteral("15"));
    button->click();
    EXPECT_EQ(link.takeWritten(), QByteArray("CONFIGE15"));
}
