// The monitor's views fed through the session controller over the in-memory link, tick by tick.

#include "core/config/records.h"
#include "core/link/memory_link.h"
#include "core/monitor/monitor_blocks.h"
#include "core/protocol/device_session.h"
#include "support/unit_bytes.h"
#include "support/wait.h"
#include "ui/app/main_window.h"
#include "ui/app/message_box.h"
#include "ui/app/navigation.h"
#include "ui/app/session_binding.h"
#include "ui/monitor/label_updates.h"
#include "ui/monitor/monitor_binding.h"
#include "ui/monitor/monitor_page.h"
#include "ui/monitor/status_window.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <gtest/gtest.h>

#include <cstring>

using namespace rv;
using namespace rvtest;

namespace {

class MonitorViews : public ::testing::Test {
protected:
    QTemporaryDir home;
    MemoryLink link;
    ConfigRecords records;
    MonitorBlocks blocks;
    SessionController s{link, &records, &blocks};
    MainWindow w{records};
    SessionBinding sessionBinding{w, s, false};
    MonitorBinding monitor{w, s};
    QByteArray gps = QByteArray(GpsBlock::kSize, '\0');
    QByteArray device = QByteArray(DeviceBlock::kSize, '\0');

    void SetUp() override
    {
        qputenv("RVCONF_HOME", home.path().toLocal8Bit());
        s.setPortName(QStringLiteral("unit"));
        s.start(false);
        steps(10); // the port opens, "CONFIGO" goes out
        link.takeWritten();
    }
    void TearDown() override { qunsetenv("RVCONF_HOME"); }

    void steps(int n) { for (int i = 0; i < n; ++i) s.Find_deviceTimer(); }
    void unit(const QByteArray& bytes)
    {
        link.feed(bytes);
        for (int i = 0; i < 4; ++i)
            s.Receive_timerTimer();
    }
    void connectUnit(uint8_t type, uint32_t options = 1) { unit(rvTr(type, options)); }
    void sendGps() { unit(monitorReply("GPS", gps)); }
    void sendDevice() { unit(monitorReply("DEVICE", device)); }

    QString text(const char* name) const
    {
        auto* l = w.findChild<QLabel*>(QLatin1String(name));
        return l ? l->text() : QStringLiteral("<missing %1>").arg(QLatin1String(name));
    }
    QWidget* control(const char* name) const { return w.findChild<QWidget*>(QLatin1String(name)); }
    QStringList messages() const
    {
        QStringList out;
        for (QMessageBox* box : w.findChildren<QMessageBox*>(QStringLiteral("MessageBox")))
            out << box->text();
        return out;
    }
    QColor background(int statusLabel) const
    {
        QLabel* l = monitor.statusWindow()->label(statusLabel);
        return l->palette().color(l->backgroundRole());
    }
    QStringList memoLines() const
    {
        const QString t = w.findChild<QPlainTextEdit*>(QStringLiteral("CAN_memo"))->toPlainText();
        return t.isEmpty() ? QStringList() : t.split(u'\n');
    }
    void setKey(const uint8_t (&key)[6]) { std::memcpy(gps.data() + 45, key, 6); }
};

TEST_F(MonitorViews, PageShowsEachBlockKindFromItsOwnLatestBlock)
{
    connectUnit(2, 0x01);
    EXPECT_EQ(w.currentPage(), nav::Monitor);
    EXPECT_EQ(text("Label208"), QStringLiteral("Тип прибора: RV-2 v2"));

    le::put32(gps, 4, 55123456);
    gps[12] = 0x19;
    le::put16(gps, 16, 1234);
    gps[43] = 0x48;
    gps[51] = static_cast<char>(0x81);
    le::put16(device, 49, static_cast<uint16_t>(-7)); // Accel_X comes with the GPS refresh
    device[46] = static_cast<char>(0xF1);
    device[35] = 1;
    std::memcpy(device.data() + 16, "861234567890123", 15);
    le::put16(device, 110, 700);
    sendGps();
    sendDevice();

    EXPECT_EQ(text("LLat"), QStringLiteral("Широта: 55,123456"));
    EXPECT_EQ(text("LSat"), QStringLiteral("Видимых спутников: 9"));
    EXPECT_EQ(text("LSpeed"), QStringLiteral("Скорость, км/ч: 123,4"));
    EXPECT_EQ(text("Status_label"), QStringLiteral("Статус: 01001000"));
    // A DEVICE block shows with the GPS block after it; when none comes, on its own a little later.
    EXPECT_NE(text("LIMEI"), QStringLiteral("861234567890123"));
    ASSERT_TRUE(waitUntil([&] { return text("LIMEI") == QStringLiteral("861234567890123"); }));
    EXPECT_EQ(text("LTemp1"), QStringLiteral("Темп. 1: КЗ"));
    EXPECT_EQ(text("LAcelGPS"), QStringLiteral("Ускорение, м/с2: -1,5"));
    EXPECT_EQ(w.statusText(2), QStringLiteral("Движение"));
    // The accelerometer belongs to the GPS refresh: it showed the DEVICE block's value only at the next GPS.
    EXPECT_EQ(text("LAccel_X"), QStringLiteral("Accel_X: 0"));
    sendGps();
    EXPECT_EQ(text("LAccel_X"), QStringLiteral("Accel_X: -7"));

    // A newer GPS block alone leaves the labels of the DEVICE refresh as they were.
    gps[51] = 21;
    sendGps();
    EXPECT_EQ(text("LTemp1"), QStringLiteral("Темп. 1: КЗ"));
    sendDevice();
    EXPECT_EQ(text("LTemp1"), QStringLiteral("Темп. 1: КЗ")); // not before the next GPS block
    sendGps();
    EXPECT_EQ(text("LTemp1"), QStringLiteral("Темп. 1: 21"));
}

TEST_F(MonitorViews, CopyImeiShownOnlyWithAnImeiAndCopiesIt)
{
    connectUnit(2);
    QWidget* copy = control("Copy_IMEI");
    ASSERT_NE(copy, nullptr);
    EXPECT_TRUE(copy->isHidden());
    std::memcpy(device.data() + 16, "861234567890123", 15);
    sendDevice();
    sendGps(); // the DEVICE block shows with the next GPS block
    EXPECT_FALSE(copy->isHidden());
    static_cast<QAbstractButton*>(copy)->click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("861234567890123"));

    device[16] = 0;
    sendDevice();
    sendGps();
    EXPECT_TRUE(copy->isHidden());
}

TEST_F(MonitorViews, StatusWindowColoursBatteryHysteresisAndResetCaption)
{
    w.show(); // the status window comes with the main window
    StatusWindow* status = monitor.statusWindow();
    EXPECT_EQ(w.window(QStringLiteral("TForm11")), status);
    EXPECT_EQ(status->windowTitle(), QStringLiteral("Статус"));
    EXPECT_TRUE(status->isVisible());
    EXPECT_TRUE(status->label(6)->isHidden());
    EXPECT_EQ(status->label(6)->text(), QStringLiteral("Аккумулятор не подключен (разряжен)"));

    // Closing only hides it; it keeps being updated.
    status->close();
    EXPECT_TRUE(status->isHidden());
    connectUnit(2);
    gps[43] = 0x48;
    le::put16(gps, 36, 583); // 3.60 V
    le::put16(gps, 38, 147); // 4.99 V
    sendGps();
    EXPECT_EQ(status->label(3)->text(), QStringLiteral("Работа с первой СИМ картой"));
    EXPECT_EQ(status->label(5)->text(), QStringLiteral("Нет связи с приемником"));
    EXPECT_EQ(background(5), QColor(255, 0, 0));
    EXPECT_EQ(status->label(0)->text(), QStringLiteral("Внешнее напряжение в норме"));
    EXPECT_EQ(background(0), labelBackground(LabelColor::Normal, status));
    auto* reset = w.findChild<QAbstractButton*>(QStringLiteral("Reset_but"));
    EXPECT_EQ(reset->text(), QStringLiteral("Выключить"));
    EXPECT_EQ(reset->toolTip(), QStringLiteral("Выключить устройство"));

    gps[43] = static_cast<char>(0x81);
    le::put16(gps, 38, 148); // 5.03 V
    sendGps();
    EXPECT_EQ(status->label(0)->text(), QStringLiteral("Внешнее напряжение ниже нормы"));
    EXPECT_EQ(background(0), QColor(255, 0, 0));
    EXPECT_EQ(status->label(5)->text(), QStringLiteral("Нет SAT антенны"));
    EXPECT_EQ(background(5), QColor(0, 128, 0));
    EXPECT_EQ(reset->text(), QStringLiteral("Перезагрузить"));
    EXPECT_EQ(reset->toolTip(), QStringLiteral("Перезагрузить устройство"));

    // 3.60 → 3.45 → 3.38 → 3.48 → 3.51 V: hidden, hidden, shown, shown, hidden.
    const struct { uint16_t count; bool shown; } battery[] = {{558, false}, {548, true}, {563, true}, {569, false}};
    for (const auto& b : battery) {
        le::put16(gps, 36, b.count);
        sendGps();
        EXPECT_EQ(!status->label(6)->isHidden(), b.shown) << b.count;
    }
}

TEST_F(MonitorViews, CanScannerSwitchesTheMemoAndTheFlagAndListsCompleteRecords)
{
    auto* scanner = w.findChild<QCheckBox*>(QStringLiteral("SCANCAN_en"));
    auto* memo = w.findChild<QPlainTextEdit*>(QStringLiteral("CAN_memo"));
    ASSERT_TRUE(scanner && memo);
    ASSERT_NE(w.findChild<QWidget*>(QStringLiteral("GLONASS_rej")), nullptr);
    EXPECT_FALSE(memo->isEnabled());
    scanner->click();
    EXPECT_TRUE(memo->isEnabled());
    EXPECT_EQ(s.session().monitorFlags & cmd::kFlagCanScanner, cmd::kFlagCanScanner);

    unit(QByteArray("CANMES") + le::bytes32(7) + le::bytes32(0x18FEF100) + le::bytes32(0x11223344) + le::bytes32(0));
    EXPECT_EQ(memoLines(), QStringList{QStringLiteral("Frame: 00000007 ID: 18FEF100 DataA: 11223344 DataB: 00000000")});

    QByteArray buffer = pattern(480, 3);
    buffer.replace(0, 4, QByteArray("\x9A\x56\x34\x92", 4));
    unit("CANBUF" + buffer.left(300)); // cut short: nothing is read past the bytes that came
    EXPECT_EQ(memoLines().size(), 1);
    unit("CANBUF" + buffer);
    const QStringList lines = memoLines();
    ASSERT_EQ(lines.size(), 41);
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("ID: 9234569A DataA: "))) << lines[1].toStdString();

    scanner->click();
    EXPECT_FALSE(memo->isEnabled());
    EXPECT_EQ(s.session().monitorFlags & cmd::kFlagCanScanner, 0);

    // A peripheral page installed later is bound the same way.
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    auto* box = new QCheckBox(page);
    box->setObjectName(QStringLiteral("SCANCAN_en"));
    auto* newMemo = new QPlainTextEdit(page);
    newMemo->setObjectName(QStringLiteral("CAN_memo"));
    layout->addWidget(box);
    layout->addWidget(newMemo);
    w.setPage(nav::Dev_set, page);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    box->click();
    EXPECT_TRUE(newMemo->isEnabled());
    EXPECT_EQ(s.session().monitorFlags & cmd::kFlagCanScanner, cmd::kFlagCanScanner);
}

TEST_F(MonitorViews, KeysAreCapturedIntoTheGridOnlyOnTheSecurityPage)
{
    auto* grid = w.findChild<QTableWidget*>(QStringLiteral("iButtonGrid"));
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(grid->item(0, 1)->text(), QStringLiteral("код i-Button"));
    EXPECT_EQ(grid->item(5, 0)->text(), QStringLiteral("5"));
    connectUnit(2);

    const uint8_t first[6] = {0x01, 0x5A, 0x3C, 0x12, 0x00, 0x00};
    setKey(first);
    sendGps();
    sendDevice(); // another page is shown: the key is only remembered
    w.showPage(nav::Ohrana);
    sendDevice();
    EXPECT_EQ(grid->item(1, 1), nullptr);

    const uint8_t second[6] = {0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0x0F};
    setKey(second);
    sendGps();
    sendDevice();
    ASSERT_NE(grid->item(1, 1), nullptr);
    EXPECT_EQ(grid->item(1, 1)->text(), QStringLiteral("0FEEDDCCBBAA"));

    // Rows 2..5 fill with other keys; a new key then finds no room, said once.
    for (int r = 2; r <= 5; ++r)
        grid->setItem(r, 1, new QTableWidgetItem(QStringLiteral("00000000000%1").arg(r)));
    setKey(first);
    sendGps();
    sendDevice();
    sendDevice();
    EXPECT_EQ(messages(), QStringList{QStringLiteral("Нет свободного места")});
    setKey(second);
    sendGps();
    sendDevice();
    EXPECT_EQ(messages().count(QStringLiteral("Данный ключ уже записан")), 1);
}

TEST_F(MonitorViews, OldFirmwareEndsTheConnectionBeforeTheAutomaticRead)
{
    connectUnit(3);
    EXPECT_TRUE(w.deviceButtonsEnabled());
    EXPECT_EQ(text("Label208"), QStringLiteral("Тип прибора: RV-1"));
    EXPECT_EQ(w.statusText(3), QStringLiteral("Соединение установлено"));
    le::put16(device, 110, 600);
    sendDevice();

    // The connection panel says why the buttons went grey.
    EXPECT_EQ(w.statusText(3), QStringLiteral("Прошивка не совместима: build 0600, нужен не ниже 0620"));

    EXPECT_FALSE(s.session().connected);
    EXPECT_FALSE(s.session().autoReadPending);
    EXPECT_FALSE(s.armed());
    EXPECT_NE(s.session().OperationState, osReadConfig);
    EXPECT_FALSE(control("Download_device")->isEnabled());
    EXPECT_FALSE(control("Reset_but")->isEnabled());
    EXPECT_TRUE(control("Program_but")->isEnabled());
    // The unit's "\r\n" is shown as a line break.
    EXPECT_EQ(messages(), QStringList{QStringLiteral("Версия прошивки прибора не совместима с данным конфигуратором.\n"
                                                      "Необходимый build не ниже: 0620.хххх.хх")});
    // Nothing more goes to the unit: no read, no polls; a late block does not repeat the message.
    steps(30);
    for (int i = 0; i < 60; ++i)
        s.Receive_timerTimer();
    sendDevice();
    EXPECT_EQ(link.takeWritten(), QByteArray());
    EXPECT_EQ(messages().size(), 1);
    EXPECT_NE(w.statusText(3), QStringLiteral("Соединение установлено"));
}

TEST_F(MonitorViews, CompatibleFirmwareGoesOnToTheAutomaticRead)
{
    connectUnit(3);
    le::put16(device, 110, 620);
    sendDevice();
    EXPECT_TRUE(s.session().connected);
    EXPECT_EQ(s.session().OperationState, osReadConfig);
    EXPECT_TRUE(messages().isEmpty());
}

TEST_F(MonitorViews, StatusWindowShowsItsCaptionsBeforeTheFirstBlock)
{
    w.show();
    StatusWindow* status = monitor.statusWindow();
    ASSERT_TRUE(status->isVisible());
    const QStringList captions = {QStringLiteral("Питание:"), QStringLiteral("Движение:"), QStringLiteral("Охрана:"),
                                  QStringLiteral("GSM:"), QStringLiteral("GPRS:"), QStringLiteral("Приемник:")};
    for (int i = 0; i < captions.size(); ++i) {
        auto* caption = status->findChild<QLabel*>(QStringLiteral("Status_caption%1").arg(i));
        ASSERT_NE(caption, nullptr) << i;
        EXPECT_EQ(caption->text(), captions[i]);
        EXPECT_TRUE(caption->isVisible()) << i;
        EXPECT_TRUE(status->findChild<QLabel*>(QStringLiteral("Status_L%1").arg(i))->text().isEmpty()) << i;
    }

    connectUnit(2);
    gps[43] = 0x02;
    sendGps();
    EXPECT_EQ(status->findChild<QLabel*>(QStringLiteral("Status_caption1"))->text(), QStringLiteral("Движение:"));
    EXPECT_EQ(status->findChild<QLabel*>(QStringLiteral("Status_L1"))->text(), QStringLiteral("Объект движется"));
}

TEST_F(MonitorViews, ConnectingShowsTheMonitorPageAndHighlightsItsNode)
{
    w.show();
    w.tree()->setCurrentItem(w.node(QStringLiteral("Питание")));
    EXPECT_EQ(w.currentPage(), nav::Power);
    connectUnit(2);
    EXPECT_EQ(w.currentPage(), nav::Monitor);
    EXPECT_EQ(w.tree()->currentItem()->text(0), QStringLiteral("Мониторинг"));
    EXPECT_TRUE(w.tree()->currentItem()->isSelected());
}

TEST_F(MonitorViews, AChatteringLineOpensOneBoxPerText)
{
    connectUnit(2);
    for (int i = 0; i < 100; ++i)
        unit("TRACKDEL");
    for (int i = 0; i < 100; ++i)
        unit("FAIL"); // closes the progress: its message box comes through the progress window
    for (int i = 0; i < 100; ++i)
        unit("NEWCONF");
    QStringList shown = messages();
    shown.sort();
    EXPECT_EQ(shown, (QStringList{QStringLiteral("Не удалось обновить конфигурацию"),
                                  QStringLiteral("Необходимо сконфигурировать устройство"),
                                  QStringLiteral("Трек удален из памяти")}));
    EXPECT_EQ(openMessageBoxes(), 3);
    for (QMessageBox* box : w.findChildren<QMessageBox*>(QStringLiteral("MessageBox")))
        EXPECT_EQ(box->windowTitle(), w.windowTitle());

    // The user closes the track box: the next "TRACKDEL" is said again, once.
    for (QMessageBox* box : w.findChildren<QMessageBox*>(QStringLiteral("MessageBox")))
        if (box->text() == QStringLiteral("Трек удален из памяти"))
            box->button(QMessageBox::Ok)->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(messages().count(QStringLiteral("Трек удален из памяти")), 0);
    unit("TRACKDEL");
    unit("TRACKDEL");
    EXPECT_EQ(messages().count(QStringLiteral("Трек удален из памяти")), 1);
    EXPECT_EQ(messages().size(), 3);
}

} // namespace
