// The charts against the virtual unit: the history fills from the serial polls while no chart is open,
// the window shows, picks, pauses, zooms and exports it; a unit calling over the network feeds the same
// history.

#include "core/config/records.h"
#include "core/link/memory_link.h"
#include "core/monitor/monitor_blocks.h"
#include "core/protocol/device_session.h"
#include "core/protocol/remote_session.h"
#include "support/app_program.h"
#include "support/rvsim_process.h"
#include "support/wait.h"
#include "ui/app/main_window.h"
#include "ui/monitor/chart_view.h"
#include "ui/monitor/chart_window.h"
#include "ui/monitor/monitor_binding.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

using namespace rv;
using namespace rv::chart;
using rvtest::waitUntil;

namespace {

QString label(const MainWindow& w, const char* name)
{
    return w.findChild<QLabel*>(QLatin1String(name))->text();
}

// A click on the box's indicator, as the user ticks it.
void tick(QCheckBox* box)
{
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
}

} // namespace

TEST(ChartsE2E, HistoryFillsUnseenThenTheWindowPicksPausesZoomsAndExports)
{
    rvtest::AppProgram program;
    rvtest::RvsimProcess unit(QStringLiteral(RVSIM_PATH), {QStringLiteral("--link"), program.port});
    ASSERT_TRUE(unit.started());
    MainWindow& window = program.window;
    {
        MonitorBinding monitor(window, program.session);
        const History& history = monitor.history();
        window.show();

        // No chart is open, yet every navigation block lands in the history, valued as the page shows it.
        ASSERT_TRUE(waitUntil([&] { return history.size() >= 3; }, 60000));
        EXPECT_EQ(monitor.chartWindow(), nullptr);
        EXPECT_EQ(label(window, "LExt_in"), "Uпит: " + history.newest().text(Supply));
        EXPECT_EQ(label(window, "LSpeed"), "Скорость, км/ч: " + history.newest().text(Speed));

        window.findChild<QAction*>(QStringLiteral("ChartsMenu"))->trigger();
        ChartWindow* charts = monitor.chartWindow();
        ASSERT_NE(charts, nullptr);
        ASSERT_TRUE(charts->isVisible());
        // The history is the unit's its device block named.
        ASSERT_TRUE(waitUntil([&] { return history.unit().has_value(); }, 60000));
        EXPECT_EQ(charts->windowTitle(), QStringLiteral("Графики: ID 1234, IMEI 861234567890123"));
        ChartView* view = charts->view();
        ASSERT_TRUE(waitUntil([&] { return view->paints() >= 1; }, 60000));
        EXPECT_TRUE(view->shown()[Supply]);
        EXPECT_EQ(view->range().second - view->range().first, 10 * 60 * 1000);

        // Pick: the fuel sensor in, the satellites out; the window narrowed to a minute.
        tick(charts->seriesBox(Fuel1));
        tick(charts->seriesBox(Satellites));
        EXPECT_TRUE(view->shown()[Fuel1]);
        EXPECT_FALSE(view->shown()[Satellites]);
        charts->spanBox()->setFocus();
        QTest::keyClick(charts->spanBox(), Qt::Key_Up);
        EXPECT_EQ(view->range().second - view->range().first, 60 * 1000);
        const QRect plot = view->plotRect();
        QMouseEvent hover(QEvent::MouseMove, QPointF(plot.center()), view->mapToGlobal(QPointF(plot.center())),
                          Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(view, &hover);
        const QString cursor = charts->cursorLabel()->text();
        EXPECT_TRUE(cursor.contains(QStringLiteral("Уровень1: "))) << cursor.toStdString();
        EXPECT_TRUE(cursor.contains(QStringLiteral("Uпит, В: ")));
        EXPECT_FALSE(cursor.contains(QStringLiteral("Видимых спутников")));

        // Paused, the chart stands still while the history goes on filling.
        QTest::mouseClick(charts->pauseButton(), Qt::LeftButton);
        ASSERT_TRUE(view->paused());
        const auto frozen = view->range();
        const uint64_t before = history.added();
        ASSERT_TRUE(waitUntil([&] { return history.added() >= before + 2; }, 60000));
        EXPECT_EQ(view->range(), frozen);

        // Zoom into the middle half with the mouse, and back with a double click.
        const int y = plot.center().y();
        QTest::mousePress(view, Qt::LeftButton, {}, QPoint(plot.left() + plot.width() / 4, y));
        QTest::mouseMove(view, QPoint(plot.left() + plot.width() * 3 / 4, y));
        QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(plot.left() + plot.width() * 3 / 4, y));
        ASSERT_TRUE(view->zoomed());
        EXPECT_NEAR(double(view->range().second - view->range().first), 30000.0, 1000.0);
        QTest::mouseDClick(view, Qt::LeftButton, {}, plot.center());
        EXPECT_FALSE(view->zoomed());
        EXPECT_EQ(view->range(), frozen);

        QTest::mouseClick(charts->pauseButton(), Qt::LeftButton);
        EXPECT_FALSE(view->paused());
        EXPECT_EQ(view->range().second, history.newest().msecs);

        // Export: one row per poll held, the newest as its labels show it.
        QTest::mouseClick(charts->exportButton(), Qt::LeftButton);
        QFileDialog* dialog = charts->exportDialog();
        ASSERT_NE(dialog, nullptr);
        ASSERT_TRUE(dialog->isVisible());
        const QString path = program.home.filePath(QStringLiteral("monitor.csv"));
        emit dialog->fileSelected(path);
        const qsizetype held = history.size();
        const QString shownSupply = history.newest().text(Supply);
        dialog->close();
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        ASSERT_TRUE(bytes.startsWith("\xEF\xBB\xBF" "Время;Uпит, В;Uбат, В;Скорость, км/ч;"));
        const QStringList rows = QString::fromUtf8(bytes).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        ASSERT_EQ(rows.size(), held + 1);
        QSet<QString> fuel;
        for (const QString& row : rows.mid(1)) {
            const QStringList cells = row.split(QLatin1Char(';'));
            ASSERT_EQ(cells.size(), SeriesCount + 1) << row.toStdString();
            EXPECT_TRUE(cells[0].startsWith(QStringLiteral("20"))) << row.toStdString();
            fuel << cells[1 + Fuel1];
        }
        EXPECT_EQ(rows.last().split(QLatin1Char(';'))[1 + Supply], shownSupply);
        EXPECT_GE(fuel.size(), 2); // the tank level moves
    }
}

TEST(ChartsE2E, ANetworkUnitFeedsTheSameHistory)
{
    QTemporaryDir home;
    qputenv("RVCONF_HOME", home.path().toLocal8Bit());
    MemoryLink link; // the serial side stays unused
    ConfigRecords records;
    MonitorBlocks blocks;
    SessionController session(link, &records, &blocks);
    RemoteSession remote(session);
    session.setPortName(QStringLiteral("TCP/IP"));
    session.start(true);
    ASSERT_TRUE(remote.startServer(QStringLiteral("0"), QHostAddress::LocalHost));
    {
        MainWindow window{records};
        MonitorBinding monitor(window, session);
        rvtest::RvsimProcess unit(QStringLiteral(RVSIM_PATH),
                                  {QStringLiteral("--tcp"), QStringLiteral("127.0.0.1:%1").arg(remote.server().port())});
        ASSERT_TRUE(unit.started());
        ASSERT_TRUE(waitUntil([&] { return monitor.history().size() >= 2; }, 60000));
        EXPECT_EQ(label(window, "LExt_in"), "Uпит: " + monitor.history().newest().text(Supply));
        EXPECT_EQ(monitor.history().newest().value(Speed), decodeGps(blocks.gps.bytes()).speed10 / 10.0);
        // The monitor page's own button opens the window on that history.
        window.show();
        QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("Charts_but")), Qt::LeftButton);
        ASSERT_NE(monitor.chartWindow(), nullptr);
        EXPECT_TRUE(monitor.chartWindow()->isVisible());
    }
    qunsetenv("RVCONF_HOME");
}

// The fitter pulls one unit's cable and plugs in another's: the program finds the second unit on the same
// port, and the history (so the chart and the CSV) holds only the second unit's values from then on.
TEST(ChartsE2E, AnotherUnitOnTheSamePortStartsItsOwnHistory)
{
    rvtest::AppProgram program;
    MonitorBinding monitor(program.window, program.session);
    const History& history = monitor.history();
    auto first = std::make_unique<rvtest::RvsimProcess>(
        QStringLiteral(RVSIM_PATH), QStringList{QStringLiteral("--link"), program.port, QStringLiteral("--unit-id"), QStringLiteral("101")});
    ASSERT_TRUE(first->started());
    ASSERT_TRUE(program.startAndRead());
    ASSERT_TRUE(waitUntil([&] { return history.unit() && history.size() >= 3; }, 60000));
    EXPECT_EQ(history.unit()->id, 101);

    first.reset(); // the cable pulled
    const int64_t swapped = QDateTime::currentMSecsSinceEpoch();
    rvtest::RvsimProcess second(QStringLiteral(RVSIM_PATH), {QStringLiteral("--link"), program.port, QStringLiteral("--unit-id"),
                                                             QStringLiteral("202"), QStringLiteral("--imei"), QStringLiteral("861234567890202")});
    ASSERT_TRUE(second.started());
    ASSERT_TRUE(waitUntil([&] { return history.unit() && history.unit()->id == 202 && history.size() >= 2; }, 60000));
    EXPECT_EQ(history.unit()->imei, QStringLiteral("861234567890202"));
    for (qsizetype i = 0; i < history.size(); ++i)
        EXPECT_GE(history.at(i).msecs, swapped) << i; // nothing of the first unit is left
    EXPECT_EQ(program.window.findChild<QLabel*>(QStringLiteral("LNumber"))->text(), QStringLiteral("ID устройства: 202"));
}
