// What the monitor's windows keep between runs and between units: the status window opens beside the main
// window at the first start and where it was left afterwards; the charts start a history of their own when
// another unit connects, and the ticked series come back at the next start.

#include "core/config/records.h"
#include "core/link/memory_link.h"
#include "core/monitor/monitor_blocks.h"
#include "core/base/bytes.h"
#include "core/protocol/device_session.h"
#include "support/unit_bytes.h"
#include "support/wait.h"
#include "ui/app/main_window.h"
#include "ui/app/session_binding.h"
#include "ui/monitor/chart_window.h"
#include "ui/monitor/monitor_binding.h"
#include "ui/monitor/status_window.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QFileDialog>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <cstring>

using namespace rv;
using rvtest::waitUntil;

namespace {

// The program with its monitor views over the in-memory link, in the program folder `home`.
struct Program {
    MemoryLink link;
    ConfigRecords records;
    MonitorBlocks blocks;
    SessionController s{link, &records, &blocks};
    MainWindow w{records};
    SessionBinding binding{w, s, false};
    MonitorBinding monitor{w, s};

    explicit Program(const QString& home)
    {
        qputenv("RVCONF_HOME", home.toLocal8Bit());
        monitor.setScreenArea([] { return kScreen; });
    }
    // A desktop's screen (the offscreen one is too small for a main window and a window beside it).
    static constexpr QRect kScreen{0, 0, 1600, 900};
    ~Program()
    {
        w.close(); // Config.ini is written as at "Выход"
        qunsetenv("RVCONF_HOME");
    }
    // Shown on the port "unit" (the port of the command line, as --port gives it).
    void start()
    {
        w.setPortOverride(QStringLiteral("unit"));
        w.show();
        for (int i = 0; i < 10; ++i)
            s.Find_deviceTimer(); // the port opens
    }
    void unit(const QByteArray& bytes)
    {
        link.feed(bytes);
        for (int i = 0; i < 4; ++i)
            s.Receive_timerTimer();
    }
    // A unit found on the line: its handshake, then its navigation and device blocks.
    void connectUnit() { unit(rvtest::rvTr(2, 1)); }
    void sendGps(int n)
    {
        for (int i = 0; i < n; ++i)
            unit(rvtest::monitorReply("GPS", QByteArray(GpsBlock::kSize, '\0')));
    }
    void sendDevice(uint16_t id, const QByteArray& imei)
    {
        QByteArray device(DeviceBlock::kSize, '\0');
        le::put16(device, 14, id);
        std::memcpy(device.data() + 16, imei.constData(), size_t(imei.size()));
        unit(rvtest::monitorReply("DEVICE", device));
    }
    QCheckBox* tickBox(const char* name) const { return monitor.chartWindow()->findChild<QCheckBox*>(QLatin1String(name)); }
};

QByteArray settings(const QTemporaryDir& home)
{
    QFile f(home.filePath(QStringLiteral("Config.ini")));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void tick(QCheckBox* box)
{
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
}

} // namespace

TEST(StatusWindow, PlacedBesideTheMainWindowWhereverThereIsRoom)
{
    const QRect screen(0, 0, 1600, 900);
    const QSize status(300, 200);
    // Room on the right.
    StatusPlacement p = placeBeside(QRect(100, 50, 1000, 700), status, screen);
    EXPECT_EQ(p.main, QPoint(100, 50));
    EXPECT_EQ(p.status, QPoint(1112, 50));
    // Only on the left.
    p = placeBeside(QRect(400, 50, 1150, 700), status, screen);
    EXPECT_EQ(p.main, QPoint(400, 50));
    EXPECT_EQ(p.status, QPoint(88, 50));
    // Neither, but both fit when the main window moves over; a window low on the screen keeps the status
    // window on it.
    p = placeBeside(QRect(200, 800, 1200, 700), status, screen);
    EXPECT_EQ(p.main, QPoint(44, 800));
    EXPECT_EQ(p.status, QPoint(1256, 700));
    // A screen too small for both: its lower right corner.
    p = placeBeside(QRect(0, 0, 1500, 880), status, screen);
    EXPECT_EQ(p.main, QPoint(0, 0));
    EXPECT_EQ(p.status, QPoint(1300, 700));
}

TEST(StatusWindow, BesideTheMainWindowAtTheFirstStart_ThenWhereAndWhetherItWasLeft)
{
    QTemporaryDir home;
    {
        Program first(home.path());
        first.w.resize(420, 300);
        first.w.move(60, 80);
        first.w.show();
        StatusWindow* status = first.monitor.statusWindow();
        ASSERT_TRUE(waitUntil([&] { return status->isVisible(); }));
        EXPECT_FALSE(status->frameGeometry().intersects(first.w.frameGeometry()))
            << status->frameGeometry().x() << " " << first.w.frameGeometry().right();
        EXPECT_TRUE(Program::kScreen.contains(status->frameGeometry()));
        EXPECT_TRUE(Program::kScreen.contains(first.w.frameGeometry()));
        // The user puts it elsewhere and closes it.
        status->move(500, 333);
        status->close();
    }
    const QByteArray ini = settings(home);
    EXPECT_TRUE(ini.contains("[Status window]\nShown=0\nPosition=500,333")) << ini.constData();

    {
        Program second(home.path());
        second.w.show();
        StatusWindow* status = second.monitor.statusWindow();
        QCoreApplication::processEvents();
        EXPECT_FALSE(status->isVisible()); // it was closed at the last exit
        second.w.findChild<QAction*>(QStringLiteral("N12"))->trigger(); // "Диагностика" › "Статус"
        ASSERT_TRUE(status->isVisible());
        EXPECT_EQ(status->pos(), QPoint(500, 333));
    }
    EXPECT_TRUE(settings(home).contains("[Status window]\nShown=1\nPosition=500,333"));

    // A place on no screen (the monitor it was on is gone): beside the main window again.
    QFile f(home.filePath(QStringLiteral("Config.ini")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[Status window]\nShown=1\nPosition=-9000,-9000\n");
    f.close();
    Program third(home.path());
    third.w.resize(420, 300);
    third.w.move(900, 80); // no room on its right now: on its left
    third.w.show();
    StatusWindow* status = third.monitor.statusWindow();
    ASSERT_TRUE(waitUntil([&] { return status->isVisible(); }));
    EXPECT_FALSE(status->frameGeometry().intersects(third.w.frameGeometry()));
    EXPECT_TRUE(Program::kScreen.contains(status->frameGeometry()));
}

// Two units of different IDs, one after the other on the same port: the second unit's values start a new
// history (its samples from before its device block named it included), the same unit found again keeps
// its history, and the window and the CSV hold only the unit now connected.
TEST(Charts, AnotherUnitStartsAHistoryOfItsOwn_TheTickedSeriesComeBackAtTheNextStart)
{
    QTemporaryDir home;
    {
        Program p(home.path());
        p.start();
        const chart::History& history = p.monitor.history();
        p.connectUnit();
        p.sendGps(3);
        p.sendDevice(101, "861234567890101");
        p.sendGps(2);
        ASSERT_EQ(history.size(), 5);
        ASSERT_TRUE(history.unit());
        EXPECT_EQ(history.unit()->id, 101);
        p.monitor.showCharts();
        ChartWindow* charts = p.monitor.chartWindow();
        ASSERT_NE(charts, nullptr);
        EXPECT_EQ(charts->windowTitle(), QStringLiteral("Графики: ID 101, IMEI 861234567890101"));

        // The same unit found again (a cable wiggled): the history goes on.
        p.connectUnit();
        p.sendGps(1);
        p.sendDevice(101, "861234567890101");
        EXPECT_EQ(history.size(), 6);

        // Another unit on the line.
        p.connectUnit();
        p.sendGps(2);
        p.sendDevice(202, "861234567890202");
        EXPECT_EQ(history.size(), 2);
        EXPECT_EQ(history.unit()->id, 202);
        EXPECT_EQ(charts->windowTitle(), QStringLiteral("Графики: ID 202, IMEI 861234567890202"));
        p.sendGps(1);
        EXPECT_EQ(history.size(), 3);
        // An IMEI of its own is another unit too, whatever its ID: the history starts there.
        p.sendDevice(202, "861234567890303");
        EXPECT_EQ(history.size(), 0);
        p.sendGps(2);

        QTest::mouseClick(charts->exportButton(), Qt::LeftButton);
        ASSERT_NE(charts->exportDialog(), nullptr);
        const QString path = home.filePath(QStringLiteral("monitor.csv"));
        emit charts->exportDialog()->fileSelected(path);
        charts->exportDialog()->close();
        QFile csv(path);
        ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
        EXPECT_EQ(QString::fromUtf8(csv.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts).size(), 1 + 2);

        // The user ticks what to watch: speed off, input 1 on.
        tick(p.tickBox("Chart_Speed"));
        tick(p.tickBox("Chart_Input1"));
        EXPECT_EQ(charts->tickedKeys(), (QStringList{"Supply", "Battery", "Satellites", "Input1"}));
    }
    EXPECT_TRUE(settings(home).contains("[Charts]\nSeries=Supply,Battery,Satellites,Input1")) << settings(home).constData();

    Program next(home.path());
    next.start();
    next.monitor.showCharts();
    EXPECT_FALSE(next.tickBox("Chart_Speed")->isChecked());
    EXPECT_TRUE(next.tickBox("Chart_Input1")->isChecked());
    EXPECT_TRUE(next.tickBox("Chart_Supply")->isChecked());
    EXPECT_EQ(next.monitor.chartWindow()->windowTitle(), QStringLiteral("Графики"));
}
