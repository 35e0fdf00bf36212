// The connection settings pages: filled from records with unusual bytes, visited, gathered back; the user's
// edits through the keyboard and the mouse, proven by the bytes of the records.

#include "core/base/cp1251.h"
#include "core/config/records.h"
#include "core/config/sim_presets.h"
#include "core/link/memory_link.h"
#include "core/monitor/monitor_blocks.h"
#include "core/protocol/device_session.h"
#include "support/unit_bytes.h"
#include "support/unusual_records.h"
#include "ui/config/pages_fixture.h"
#include "ui/app/main_window.h"
#include "ui/app/session_binding.h"
#include "ui/config/config_pages.h"
#include "ui/config/edit_rules.h"
#include "ui/config/pages/connect_set_page.h"
#include "ui/config/pages/connections_page.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <gtest/gtest.h>

using namespace rv;

namespace {

class ConnectionPages : public rvtest::PagesTest {
protected:
    QStringList messages() const
    {
        QStringList out;
        for (QMessageBox* box : w.findChildren<QMessageBox*>(QStringLiteral("MessageBox")))
            out << box->text();
        return out;
    }
};

} // namespace

TEST_F(ConnectionPages, UnusualRecordsComeBackByteForByteAfterVisitingEveryPage)
{
    const ConfigRecords unusual = rvtest::unusualRecords();
    load(unusual);
    visitEveryNode();
    // Filling and visiting never wrote a record.
    EXPECT_EQ(records.config.bytes(), unusual.config.bytes());
    EXPECT_EQ(records.confSe.bytes(), unusual.confSe.bytes());

    // What the controls show of the values they cannot show exactly.
    EXPECT_EQ(control<QLineEdit>("SIM1APN")->text(), cp1251::decode(unusual.config.bytes().mid(93, 29)));
    EXPECT_TRUE(control<QLineEdit>("SIM1APN")->isEnabled());
    EXPECT_EQ(pages.connectSetPage()->simButton(1), kSimCustomButton);
    EXPECT_EQ(pages.connectSetPage()->simButton(2), 0);
    EXPECT_FALSE(control<QLineEdit>("SIM2APN")->isEnabled());
    EXPECT_EQ(control<QSlider>("MicLevel")->value(), 15);
    EXPECT_EQ(control<QLabel>("LMic")->text(), QStringLiteral("200"));
    EXPECT_EQ(control<QLineEdit>("BalansBox")->text(), QStringLiteral("255"));
    EXPECT_EQ(control<QLineEdit>("MCC1")->text(), QStringLiteral("65535"));
    EXPECT_EQ(control<QLineEdit>("TIMETOCON2")->text(), QStringLiteral("0"));
    click(QStringLiteral("Соединение 2"));
    EXPECT_EQ(control<QComboBox>("Type_message")->currentIndex(), 2);
    EXPECT_EQ(control<QComboBox>("Input_Call")->currentIndex(), -1);
    EXPECT_EQ(control<QComboBox>("Input_Call")->placeholderText(), QStringLiteral("(15)"));
    EXPECT_EQ(control<QComboBox>("Number_out_call")->placeholderText(), QStringLiteral("(9)"));
    EXPECT_EQ(control<QLineEdit>("Connect_number")->text(), QStringLiteral("8") + cp1251::decode(unusual.config.bytes().mid(41, 11)));

    gatherAll();
    EXPECT_EQ(records.config.bytes(), unusual.config.bytes());
    EXPECT_EQ(records.confSe.bytes(), unusual.confSe.bytes());
    EXPECT_EQ(records.inpOut.bytes(), unusual.inpOut.bytes());
    EXPECT_TRUE(messages().isEmpty());
}

TEST_F(ConnectionPages, GatheringSetsTheFormatMarkAndNothingElse)
{
    ConfigRecords r = rvtest::unusualRecords();
    QByteArray c = r.config.bytes();
    c[0] = 0x11;
    r.config.setBytes(c);
    load(r);
    gatherAll();
    c[0] = char(0xF0);
    EXPECT_EQ(records.config.bytes(), c);
}

TEST_F(ConnectionPages, AnOperatorNamedByTheRecordIsSelectedAndTheSimsOwnSettingsShown)
{
    ConfigRecords r = rvtest::unusualRecords();
    QByteArray c = r.config.bytes();
    c[122] = 0;               // SIM 1: no custom flag, login "b…": the first operator, with texts of its own
    c[153] = 'b';
    c[152] = char(63);        // SIM 2 stays custom
    r.config.setBytes(c);
    load(r);

    // The read selects the button and changes nothing: the edits show the unit's own settings, locked.
    EXPECT_EQ(records.config.bytes(), c);
    EXPECT_EQ(pages.connectSetPage()->simButton(1), 1);
    EXPECT_EQ(control<QLineEdit>("SIM1APN")->text(), cp1251::decode(c.mid(93, 29)));
    EXPECT_EQ(control<QLineEdit>("SIM1NUM")->text(), QString::number(quint8(c[343])));
    EXPECT_FALSE(control<QLineEdit>("SIM1LOGIN")->isEnabled());
    gatherAll();
    EXPECT_EQ(records.config.bytes(), c);

    // The same button clicked by the user writes its preset into SIM 1's fields and nowhere else.
    QTest::mouseClick(control<QAbstractButton>("SIM1Chek1"), Qt::LeftButton);
    ConfigBlock expected;
    expected.setBytes(c);
    applySimPreset(expected, 1, 1);
    EXPECT_EQ(records.config.bytes(), expected.bytes());
    EXPECT_EQ(control<QLineEdit>("SIM1NUM")->text(), QStringLiteral("102"));
    gatherAll();
    EXPECT_EQ(records.config.bytes(), expected.bytes());
}

TEST_F(ConnectionPages, OperatorButtonsWriteThePresetAndOtherUnlocksTheEdits)
{
    load(rvtest::unusualRecords());
    const QByteArray before = records.config.bytes();
    QTest::mouseClick(control<QAbstractButton>("SIM1Chek4"), Qt::LeftButton); // "Теле2"
    EXPECT_EQ(records.config.text(u"Sim1Apn").value, QStringLiteral("internet.tele2.ru"));
    EXPECT_EQ(records.config.text(u"Sim1Login").value, QString());
    EXPECT_EQ(records.config.number(u"Sim1Custom").value, 0);
    EXPECT_EQ(records.config.number(u"SIM1NUM").value, 105);
    EXPECT_EQ(control<QLineEdit>("SIM1NUM")->text(), QStringLiteral("105"));
    EXPECT_FALSE(control<QLineEdit>("SIM1APN")->isEnabled());
    EXPECT_EQ(records.config.bytes().mid(123, 30), before.mid(123, 30)); // SIM 2 untouched

    QTest::mouseClick(control<QAbstractButton>("SIM1Chek5"), Qt::LeftButton); // "Другой"
    EXPECT_TRUE(control<QLineEdit>("SIM1APN")->isEnabled());
    EXPECT_EQ(control<QLineEdit>("SIM1APN")->text(), QStringLiteral("internet.tele2.ru"));
    EXPECT_EQ(records.config.number(u"Sim1Custom").value, 0); // nothing written until the gathering
    type("SIM1LOGIN", QStringLiteral("user"));
    pages.Load_config(records);
    EXPECT_EQ(records.config.number(u"Sim1Custom").value, 63);
    EXPECT_EQ(records.config.text(u"Sim1Apn").value, QStringLiteral("internet.tele2.ru"));
    EXPECT_EQ(records.config.text(u"Sim1Login").value, QStringLiteral("user"));
    EXPECT_EQ(records.config.number(u"SIM1NUM").value, 105);
}

TEST_F(ConnectionPages, EditsCorrectTheirTextWhileTheUserTypes)
{
    load(rvtest::unusualRecords());
    type("IP_server1", QStringLiteral("300"));
    EXPECT_EQ(control<QLineEdit>("IP_server1")->text(), QStringLiteral("255"));
    const QString port = control<QLineEdit>("Port_server")->text();
    type("Port_update", QString());
    EXPECT_EQ(control<QLineEdit>("Port_update")->text(), QStringLiteral("0"));
    EXPECT_EQ(control<QLineEdit>("Port_server")->text(), port);
    type("ID_Device", QString());
    EXPECT_EQ(control<QLineEdit>("ID_Device")->text(), QStringLiteral("1"));
    // The default stands selected: the digits typed next replace it rather than follow it.
    QTest::keyClicks(control<QLineEdit>("ID_Device"), QStringLiteral("31337"));
    EXPECT_EQ(control<QLineEdit>("ID_Device")->text(), QStringLiteral("31337"));
    type("ID_Device", QStringLiteral("70000"));
    EXPECT_EQ(control<QLineEdit>("ID_Device")->text(), QStringLiteral("65535"));
    type("Password", QStringLiteral("99999"));
    EXPECT_EQ(control<QLineEdit>("Password")->text(), QStringLiteral("65535"));
    type("TIMETOCON2", QStringLiteral("0"));
    EXPECT_EQ(control<QLineEdit>("TIMETOCON2")->text(), QStringLiteral("10"));
    type("TIMETOCON2", QStringLiteral("1500"));
    EXPECT_EQ(control<QLineEdit>("TIMETOCON2")->text(), QStringLiteral("1000"));
    // '-' and letters never reach an unsigned edit.
    type("MNC2", QStringLiteral("-4x2"));
    EXPECT_EQ(control<QLineEdit>("MNC2")->text(), QStringLiteral("42"));

    gatherAll();
    EXPECT_EQ(records.config.number(u"IP_server", 0).value, 255);
    EXPECT_EQ(records.config.number(u"Port_update").value, 0);
    EXPECT_EQ(records.config.number(u"ID_Device").value, 65535);
    EXPECT_EQ(records.config.number(u"Password").value, 65535);
    EXPECT_EQ(records.confSe.number(u"TIMETOCON2").value, 1000);
    EXPECT_EQ(records.confSe.number(u"MNC2").value, 42);
}

TEST_F(ConnectionPages, TextThatIsNotANumberIsMarkedAndNeverStored)
{
    load(rvtest::unusualRecords());
    const qint64 stored = records.config.number(u"Radio_mute_time").value;
    type("Radio_mute_time", QStringLiteral("1a")); // this edit has no key filter
    auto* edit = control<QLineEdit>("Radio_mute_time");
    EXPECT_TRUE(hasInvalidCue(edit));
    gatherAll();
    EXPECT_EQ(records.config.number(u"Radio_mute_time").value, stored);
    EXPECT_EQ(messages().size(), 1);
    type("Radio_mute_time", QStringLiteral("12"));
    EXPECT_FALSE(hasInvalidCue(edit));
    pages.Load_config(records);
    EXPECT_EQ(records.config.number(u"Radio_mute_time").value, 12);
}

TEST_F(ConnectionPages, ConnectionPageWritesEachChangeAtOnceIntoItsConnection)
{
    const ConfigRecords unusual = rvtest::unusualRecords();
    load(unusual);
    click(QStringLiteral("Соединение 3"));
    EXPECT_EQ(w.currentConnection(), 2);
    EXPECT_EQ(control<QLabel>("Connection_num")->text(), QStringLiteral("Соединение 3"));

    // "Охрана" under "Дозвон": bit 8 of the third connection's call sources, nothing else.
    auto* guard = control<QAbstractButton>("Ring_sourse9");
    const bool was = guard->isChecked();
    QTest::mouseClick(guard, Qt::LeftButton);
    QByteArray expected = unusual.config.bytes();
    expected[350] = char(uint8_t(expected[350]) ^ 0x01);
    EXPECT_EQ(records.config.bytes(), expected);
    EXPECT_NE(guard->isChecked(), was);

    // A message type chosen while the incoming-call nibble is past its list leaves that nibble alone.
    click(QStringLiteral("Соединение 2"));
    auto* type = control<QComboBox>("Type_message");
    type->setFocus();
    QTest::keyClick(type, Qt::Key_Down);
    EXPECT_EQ(uint8_t(records.config.bytes()[373]) & 0xF0, 0xF0);
    EXPECT_EQ(type->currentIndex(), 3);
    EXPECT_EQ(uint8_t(records.config.bytes()[373]) & 0x0F, type->currentIndex());
    expected[373] = records.config.bytes()[373];
    EXPECT_EQ(records.config.bytes(), expected);

    // Typing the number: "8" and ten digits store the ten digits; without the "8" every digit is kept.
    this->type("Connect_number", QStringLiteral("89161234567"));
    EXPECT_EQ(records.config.bytes().mid(41, 11), QByteArray("9161234567\0", 11));
    this->type("Connect_number", QStringLiteral("9031112233"));
    EXPECT_EQ(records.config.bytes().mid(41, 11), QByteArray("9031112233\0", 11));
    // An 11-digit number typed with a 7, or with +7, keeps its ten significant digits.
    this->type("Connect_number", QStringLiteral("79031112233"));
    EXPECT_EQ(control<QLineEdit>("Connect_number")->text(), QStringLiteral("79031112233"));
    EXPECT_EQ(records.config.bytes().mid(41, 11), QByteArray("9031112233\0", 11));
    this->type("Connect_number", QStringLiteral("+79161234567"));
    EXPECT_EQ(records.config.bytes().mid(41, 11), QByteArray("9161234567\0", 11));
    // Without a 7 or an 8 in front the edit takes ten digits: it never shows a number the record cannot hold.
    this->type("Connect_number", QStringLiteral("99031112233"));
    EXPECT_EQ(control<QLineEdit>("Connect_number")->text(), QStringLiteral("9903111223"));
    EXPECT_EQ(records.config.bytes().mid(41, 11), QByteArray("9903111223\0", 11));

    // Going to another connection and back shows what was written; nothing is written by the visit.
    const QByteArray now = records.config.bytes();
    click(QStringLiteral("Соединение 5"));
    click(QStringLiteral("Соединение 2"));
    EXPECT_EQ(control<QLineEdit>("Connect_number")->text(), QStringLiteral("89903111223"));
    EXPECT_EQ(records.config.bytes(), now);
    gatherAll();
    expected = now;
    EXPECT_EQ(records.config.bytes(), expected);
}

TEST_F(ConnectionPages, SlidersShowTheirValueBesideThem)
{
    load(rvtest::unusualRecords());
    auto* speaker = control<QSlider>("SpkLevel");
    speaker->setFocus();
    QTest::keyClick(speaker, Qt::Key_Home);
    QTest::keyClick(speaker, Qt::Key_Right);
    EXPECT_EQ(control<QLabel>("LSpk")->text(), QStringLiteral("1"));
    pages.Load_config(records);
    EXPECT_EQ(records.config.number(u"SpkLevel").value, 1);
    EXPECT_EQ(uint8_t(records.config.bytes()[27]), 200); // the untouched microphone keeps its value
}

TEST_F(ConnectionPages, UssdSwitchEnablesItsGroupButNotItsEdits)
{
    load(rvtest::unusualRecords());
    auto* ussd = control<QAbstractButton>("USSDEN");
    auto* group = control<QGroupBox>("GroupUSSD");
    EXPECT_EQ(group->isEnabled(), ussd->isChecked());
    if (ussd->isChecked())
        QTest::mouseClick(ussd, Qt::LeftButton);
    EXPECT_FALSE(group->isEnabled());
    QTest::mouseClick(ussd, Qt::LeftButton);
    EXPECT_TRUE(group->isEnabled());
    EXPECT_FALSE(control("USSDPREF")->isEnabled());
    EXPECT_FALSE(control("USSDPERIOD")->isEnabled());
}

TEST_F(ConnectionPages, ARecordReadThroughTheSessionFillsThePagesAndTheWriteSendsTheGatheredBytes)
{
    s.setPortName(QStringLiteral("unit"));
    s.start(false);
    auto steps = [this](int n) { for (int i = 0; i < n; ++i) s.Find_deviceTimer(); };
    auto unit = [this](const QByteArray& bytes) {
        link.feed(bytes);
        for (int i = 0; i < 4; ++i)
            s.Receive_timerTimer();
    };
    steps(10);
    unit(rvtest::rvTr(2, 1));
    s.session().autoReadPending = false;
    const ConfigRecords unusual = rvtest::unusualRecords();
    s.Download_deviceClick();
    steps(10);
    unit(rvtest::recordReply("CONFIG", unusual.config.bytes()));
    steps(10);
    unit(rvtest::recordReply("INPOUT", unusual.inpOut.bytes()));
    steps(10);
    unit(rvtest::recordReply("CONFSE", unusual.confSe.bytes(), 0, "0"));
    EXPECT_EQ(control<QLineEdit>("MCC1")->text(), QStringLiteral("65535"));
    EXPECT_EQ(control<QLineEdit>("ID_Device")->text(), QString::number(unusual.config.number(u"ID_Device").value));

    type("ID_Device", QStringLiteral("4321"));
    link.takeWritten();
    w.Upload_deviceClick();
    steps(10);
    QByteArray expected = unusual.config.bytes();
    expected[3] = char(4321 & 0xFF);
    expected[4] = char(4321 >> 8);
    EXPECT_EQ(link.takeWritten(), cmd::writeConfig(expected).join());
}
