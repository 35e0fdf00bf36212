// The editor pages between a read and a write, against the virtual unit: the program as a user runs it
// reads the unit at once, the user walks through every page, writes, and the unit holds what it held.

#include "core/config/fcg_file.h"
#include "core/config/records.h"
#include "core/link/serial_link.h"
#include "core/monitor/monitor_blocks.h"
#include "core/protocol/device_session.h"
#include "support/app_program.h"
#include "support/rvsim_process.h"
#include "support/unusual_records.h"
#include "support/wait.h"
#include "ui/app/main_window.h"
#include "ui/app/navigation.h"
#include "ui/app/session_binding.h"
#include "ui/config/config_pages.h"
#include "ui/config/editor_page.h"
#include "ui/config/pages/connect_set_page.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <gtest/gtest.h>

#include <memory>

using namespace rv;
using rvtest::waitUntil;

namespace {

// rvconf started on a program folder whose Config.ini names the unit's port.
using Program = rvtest::AppProgram;

ConfigRecords held(const rvtest::RvsimProcess& unit)
{
    ConfigRecords r;
    EXPECT_TRUE(openFcg(unit.statePath(), r).ok());
    return r;
}

} // namespace

TEST(ConfigPagesE2E, ReadVisitEveryPageWrite_TheUnitHoldsTheBytesItHad)
{
    auto program = std::make_unique<Program>();
    const ConfigRecords unusual = rvtest::unusualRecords();
    rvtest::RvsimProcess unit(QStringLiteral(RVSIM_PATH), unusual, {QStringLiteral("--link"), program->port});
    ASSERT_TRUE(unit.started());

    ASSERT_TRUE(program->startAndRead()) << program->closed.join(u',').toStdString();
    program->visitEveryPage();
    // The write goes out after the automatic read: no "read or open a configuration first".
    ASSERT_TRUE(program->write()) << program->closed.join(u',').toStdString();
    EXPECT_EQ(program->closed.last(), QStringLiteral("Конфигурация устройства обновлена"));

    const ConfigRecords after = held(unit);
    EXPECT_EQ(after.config.bytes(), unusual.config.bytes());
    EXPECT_EQ(after.inpOut.bytes(), unusual.inpOut.bytes());
    EXPECT_EQ(after.confSe.bytes(), unusual.confSe.bytes());
    EXPECT_EQ(unit.count("CONFIGW"), 1);
    EXPECT_TRUE(unit.received().contains(cmd::writeConfig(unusual.config.bytes()).join()));
}

TEST(ConfigPagesE2E, AnEditReachesTheUnitAndIsTheOnlyChange)
{
    auto program = std::make_unique<Program>();
    // The unit's own configuration: both SIMs marked "Теле2" (no custom settings, an empty login), SIM 1 with
    // an APN of the fleet's own, which the read keeps.
    rvtest::RvsimProcess unit(QStringLiteral(RVSIM_PATH), {QStringLiteral("--link"), program->port});
    ASSERT_TRUE(unit.started());
    ASSERT_TRUE(program->startAndRead());
    const ConfigRecords before = held(unit);

    program->window.tree()->setCurrentItem(program->window.node(QStringLiteral("Дополнительно")));
    program->window.TreeView1Click();
    auto* port = program->window.findChild<QLineEdit*>(QStringLiteral("IPport2"));
    ASSERT_NE(port, nullptr);
    port->setFocus();
    port->selectAll();
    QTest::keyClicks(port, QStringLiteral("10000"));
    program->visitEveryPage();
    ASSERT_TRUE(program->write());

    ConfigRecords expected;
    expected.config.setBytes(before.config.bytes());
    expected.inpOut.setBytes(before.inpOut.bytes());
    expected.confSe.setBytes(before.confSe.bytes());
    expected.confSe.setNumber(u"IPport2", 10000);
    const ConfigRecords after = held(unit);
    EXPECT_EQ(after.config.bytes(), expected.config.bytes());
    EXPECT_EQ(after.inpOut.bytes(), expected.inpOut.bytes());
    EXPECT_EQ(after.confSe.bytes().mid(22, 2), QByteArray::fromHex("1027"));
    EXPECT_EQ(after.confSe.bytes(), expected.confSe.bytes());
}

TEST(ConfigPagesE2E, AnInputTypeChosenOnThePageChangesOnlyThatNibbleOnTheUnit)
{
    auto program = std::make_unique<Program>();
    rvtest::RvsimProcess unit(QStringLiteral(RVSIM_PATH), {QStringLiteral("--link"), program->port});
    ASSERT_TRUE(unit.started());
    ASSERT_TRUE(program->startAndRead());
    const ConfigRecords before = held(unit);

    program->window.tree()->setCurrentItem(program->window.node(QStringLiteral("Вход 3")));
    program->window.TreeView1Click();
    auto* type = program->pages.page(nav::Inputs)->findChild<QComboBox*>(QStringLiteral("Inputtype"));
    ASSERT_NE(type, nullptr);
    ASSERT_EQ(type->count(), 3);
    const int stored = quint8(before.config.bytes().at(246 + 2)) >> 4;
    const int chosen = (stored + 1) % 3;
    type->setCurrentIndex(chosen);
    emit type->activated(chosen);
    program->visitEveryPage();
    ASSERT_TRUE(program->write());

    ConfigRecords expected;
    expected.config.setBytes(before.config.bytes());
    QByteArray c = expected.config.bytes();
    c[246 + 2] = char((chosen << 4) | (quint8(c.at(246 + 2)) & 0x0F));
    expected.config.setBytes(c);
    const ConfigRecords after = held(unit);
    QStringList differ;
    for (qsizetype i = 0; i < after.config.size(); ++i)
        if (after.config.bytes().at(i) != expected.config.bytes().at(i))
            differ << QStringLiteral("%1: %2 not %3")
                          .arg(i)
                          .arg(quint8(after.config.bytes().at(i)))
                          .arg(quint8(expected.config.bytes().at(i)));
    EXPECT_TRUE(differ.isEmpty()) << differ.join(u", ").toStdString();
    EXPECT_EQ(after.inpOut.bytes(), before.inpOut.bytes());
    EXPECT_EQ(after.confSe.bytes(), before.confSe.bytes());
}

TEST(ConfigPagesE2E, NavigationAndPeripheralEditsReachTheUnitAndNothingElseChanges)
{
    auto program = std::make_unique<Program>();
    rvtest::RvsimProcess unit(QStringLiteral(RVSIM_PATH), {QStringLiteral("--link"), program->port});
    ASSERT_TRUE(unit.started());
    ASSERT_TRUE(program->startAndRead());
    const ConfigRecords before = held(unit);
    MainWindow& w = program->window;
    auto show = [&w](const char16_t* node) {
        w.tree()->setCurrentItem(w.node(QString::fromUtf16(node)));
        w.TreeView1Click();
    };

    show(u"Параметры навигации");
    auto* economy = w.findChild<QAbstractButton*>(QStringLiteral("RzBitBtn3"));
    ASSERT_NE(economy, nullptr);
    QTest::mouseClick(economy, Qt::LeftButton);
    show(u"Питание");
    auto* volts = w.findChild<QLineEdit*>(QStringLiteral("Extvoltlev"));
    ASSERT_NE(volts, nullptr);
    volts->setFocus();
    volts->selectAll();
    QTest::keyClicks(volts, QStringLiteral("12,0"));
    show(u"Настройка периферии");
    auto* device = w.findChild<QComboBox*>(QStringLiteral("Device1"));
    ASSERT_NE(device, nullptr);
    device->setFocus();
    device->setCurrentIndex(2);
    QTest::keyClick(device, Qt::Key_Down); // "JPEG камера C328"
    ASSERT_EQ(device->currentIndex(), 3);
    program->visitEveryPage();
    ASSERT_TRUE(program->write());

    ConfigBlock expected;
    expected.setBytes(before.config.bytes());
    for (const auto& [field, value] : std::initializer_list<std::pair<const char16_t*, int>>{
             {u"ParkCheck", 1}, {u"Filter_coord", 1}, {u"Perestroi", 1}, {u"Filterline", 1}, {u"TimePark", 30},
             {u"Perpackstop", 120}, {u"Perpackstop2", 120}, {u"Accel_sens", 800}, {u"Timeoutstop", 60},
             {u"Perpackmove", 60}, {u"Packdist", 50}, {u"Minangel", 7}, {u"Minspeedangel", 3}, {u"MaxHdop", 40},
             {u"Minspeed", 3}, {u"Maxspeed", 150}, {u"Maxdist", 50}, {u"Maxaccel", 30}, {u"Filterlineangel", 7},
             {u"Extvoltlev", 338}, {u"Device1", 3}, {u"RS232_box1", 115200}, {u"RS232_en1", 1}})
        EXPECT_EQ(expected.setNumber(QStringView(field), value), FieldError::None) << QString::fromUtf16(field).toStdString();
    const ConfigRecords after = held(unit);
    EXPECT_EQ(after.config.bytes().toHex().toStdString(), expected.bytes().toHex().toStdString());
    EXPECT_EQ(after.inpOut.bytes(), before.inpOut.bytes());
    EXPECT_EQ(after.confSe.bytes(), before.confSe.bytes());
}

namespace {

// A unit of one type whose SIMs are marked with operator buttons but hold the fleet's own settings.
struct HeldUnit
{
    int type;
    int sim1; // button 1..5 the record names for SIM 1
    int sim2;
    bool split;
};

void PrintTo(const HeldUnit& u, std::ostream* os)
{
    *os << "type " << u.type << ", SIM buttons " << u.sim1 << "/" << u.sim2 << (u.split ? ", split" : "");
}

class ReadVisitWrite : public ::testing::TestWithParam<HeldUnit> {};

// Read, walk through every page, write: the unit gets back exactly what it sent.
void expectWrittenAsRead(Program& program, const rvtest::RvsimProcess& unit, const ConfigRecords& before)
{
    program.visitEveryPage();
    ASSERT_TRUE(program.writeConfirmed()) << program.closed.join(u',').toStdString();
    EXPECT_TRUE(unit.received().contains(cmd::writeConfig(before.config.bytes()).join()));
    const ConfigRecords after = held(unit);
    QStringList differ;
    for (qsizetype i = 0; i < after.config.size(); ++i)
        if (after.config.bytes().at(i) != before.config.bytes().at(i))
            differ << QString::number(i);
    EXPECT_TRUE(differ.isEmpty()) << "main record bytes changed: " << differ.join(u' ').toStdString();
    EXPECT_EQ(after.inpOut.bytes(), before.inpOut.bytes());
    EXPECT_EQ(after.confSe.bytes(), before.confSe.bytes());
}

} // namespace

TEST_P(ReadVisitWrite, TheSimButtonsFollowTheRecordAndTheUnitGetsBackItsOwnBytes)
{
    const HeldUnit u = GetParam();
    auto program = std::make_unique<Program>();
    QStringList args{QStringLiteral("--link"), program->port, QStringLiteral("--type"), QString::number(u.type),
                     QStringLiteral("--sim"), QStringLiteral("1=%1").arg(u.sim1),
                     QStringLiteral("--sim"), QStringLiteral("2=%1").arg(u.sim2)};
    if (u.split)
        args << QStringLiteral("--split");
    rvtest::RvsimProcess unit(QStringLiteral(RVSIM_PATH), args);
    ASSERT_TRUE(unit.started());
    const ConfigRecords before = held(unit);
    ASSERT_TRUE(program->startAndRead()) << program->closed.join(u',').toStdString();
    EXPECT_EQ(program->window.deviceType(), u.type);

    // The buttons the record names are selected, and the edits show the unit's own settings.
    for (int sim : {1, 2}) {
        const QString n = QString::number(sim);
        EXPECT_EQ(program->pages.connectSetPage()->simButton(sim), sim == 1 ? u.sim1 : u.sim2);
        auto* apn = program->window.findChild<QLineEdit*>(QStringLiteral("SIM%1APN").arg(n));
        auto* number = program->window.findChild<QLineEdit*>(QStringLiteral("SIM%1NUM").arg(n));
        ASSERT_TRUE(apn && number);
        EXPECT_EQ(apn->text(), before.config.text(QStringLiteral("Sim%1Apn").arg(n)).value);
        EXPECT_TRUE(apn->text().startsWith(QStringLiteral("fleet")));
        EXPECT_EQ(number->text(), QString::number(before.config.number(QStringLiteral("SIM%1NUM").arg(n)).value));
    }
    expectWrittenAsRead(*program, unit, before);
}

// Every unit type with each of the five buttons (on one SIM or the other), some over a line that splits replies.
INSTANTIATE_TEST_SUITE_P(UnitTypesAndSimChoices, ReadVisitWrite,
                         ::testing::Values(HeldUnit{2, 1, 2, false}, HeldUnit{2, 3, 4, false}, HeldUnit{2, 5, 1, true},
                                           HeldUnit{3, 2, 3, false}, HeldUnit{3, 4, 5, true}, HeldUnit{3, 1, 2, false},
                                           HeldUnit{4, 3, 4, true}, HeldUnit{4, 5, 1, false}, HeldUnit{4, 2, 3, false}));

TEST(ConfigPagesE2E, RandomRecordsComeBackFromEveryUnitType)
{
    for (int type : {2, 3, 4}) {
        SCOPED_TRACE(type);
        ConfigRecords random = rvtest::randomRecords(quint32(type) * 7919u);
        auto program = std::make_unique<Program>();
        rvtest::RvsimProcess unit(QStringLiteral(RVSIM_PATH), random,
                                  {QStringLiteral("--link"), program->port, QStringLiteral("--type"),
                                   QString::number(type)});
        ASSERT_TRUE(unit.started());
        ASSERT_TRUE(program->startAndRead()) << program->closed.join(u',').toStdString();
        expectWrittenAsRead(*program, unit, random);
    }
}
