// The track window as a user works it: a square loop with one stop and one packet without a position,
// its summary figures, the chart's cursor and the path's marker following each other both ways (mouse and
// keys), the map's zoom, drag and fit, and the export of all five formats through the save dialog. Through
// the main window: it opens after a read of the unit's memory and from "Файл" for a saved .bin.

#include "core/config/records.h"
#include "core/link/memory_link.h"
#include "core/monitor/monitor_blocks.h"
#include "core/base/bytes.h"
#include "core/protocol/device_session.h"
#include "support/track_packets.h"
#include "support/unit_bytes.h"
#include "support/wait.h"
#include "ui/app/main_window.h"
#include "ui/app/message_box.h"
#include "ui/devicefiles/devicefiles_binding.h"
#include "ui/devicefiles/file_page.h"
#include "ui/monitor/chart_view.h"
#include "ui/track/track_binding.h"
#include "ui/track/track_chart_source.h"
#include "ui/track/track_map_view.h"
#include "ui/track/track_window.h"

#include <QAction>
#include <QDateTime>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>
#include <gtest/gtest.h>

#include <cmath>

using namespace rv;

namespace {

const QString kSquareSummary = QStringLiteral("Точек: 42 · Расстояние: 4,45 км · Время: 0:10:40 · В движении: 0:06:40 · "
                                              "Макс. скорость: 55,5 км/ч · Стоянок: 1 · Недостоверных пропущено: 1 · "
                                              "Сегментов: 1");

struct WindowRig {
    TrackWindow window{[] { return packet::PacketChoice{}; }};
    TrackMapView* map = window.map();
    ChartView* chart = window.chart();

    WindowRig()
    {
        window.setTrack(rvtest::squareLoop(), QStringLiteral("square.bin"));
        window.resize(1000, 820);
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    // The text of the message box `owner` shows now, and closes it.
    static QString takeMessage(QWidget* owner)
    {
        for (QMessageBox* box : owner->findChildren<QMessageBox*>())
            if (box->isVisible()) {
                const QString text = box->text();
                box->close();
                return text;
            }
        return {};
    }
};

void hover(QWidget* w, QPoint at)
{
    QTest::mouseMove(w, at);
    QMouseEvent move(QEvent::MouseMove, QPointF(at), w->mapToGlobal(QPointF(at)), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(w, &move);
}

void wheel(QWidget* w, QPoint at, int delta)
{
    QWheelEvent e(QPointF(at), w->mapToGlobal(QPointF(at)), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                  Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(w, &e);
}

} // namespace

TEST(TrackWindow, SummaryOfTheSquareLoopAndTheCursorJoinsChartAndPath)
{
    WindowRig rig;
    EXPECT_EQ(rig.window.windowTitle(), QStringLiteral("Трек"));
    EXPECT_EQ(rig.window.summaryLabel()->text(), kSquareSummary);
    EXPECT_EQ(rig.window.originLabel()->text(), QStringLiteral("square.bin"));
    EXPECT_FALSE(rig.map->marker().has_value());
    // The whole drive on the time axis: the first point at its left edge, the last at its right.
    const QRect plot = rig.chart->plotRect();
    EXPECT_NEAR(rig.chart->xOfSample(0), plot.left(), 0.5);
    EXPECT_NEAR(rig.chart->xOfSample(rvtest::SquareLoop::kPoints - 1), plot.left() + plot.width(), 0.5);

    // The mouse over the chart: the marker goes to the point under the cursor.
    for (const int sample : {5, 17, 33}) {
        hover(rig.chart, QPoint(int(std::lround(rig.chart->xOfSample(sample))), plot.center().y()));
        ASSERT_EQ(rig.chart->cursorSample(), sample);
        EXPECT_EQ(rig.map->marker(), rig.window.chartSource().pointOfSample(sample));
        EXPECT_TRUE(rig.window.cursorLabel()->text().startsWith(
            QDateTime::fromSecsSinceEpoch(rvtest::SquareLoop::kStart + (sample <= 10 ? sample * 10 : sample * 10 + 230))
                .toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"))))
            << rig.window.cursorLabel()->text().toStdString();
    }
    // The marker moves over the path drawn once.
    rig.map->grab();
    const int pathDraws = rig.map->pathDraws();
    rig.chart->setCursorSample(20);
    rig.map->grab();
    EXPECT_EQ(rig.map->marker(), 20);
    EXPECT_EQ(rig.map->pathDraws(), pathDraws);
    rig.chart->setCursorSample(33);
    // Leaving the chart leaves both where they are.
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(rig.chart, &leave);
    EXPECT_EQ(rig.chart->cursorSample(), 33);
    EXPECT_EQ(rig.map->marker(), 33);

    // A click on the path moves the cursor: the stop at B, then a point on the fastest side.
    QTest::mouseClick(rig.map, Qt::LeftButton, {}, rig.map->pixelOf(rvtest::SquareLoop::kStopPoint).toPoint());
    EXPECT_EQ(rig.map->marker(), rvtest::SquareLoop::kStopPoint);
    EXPECT_EQ(rig.chart->cursorSample(), rvtest::SquareLoop::kStopPoint);
    EXPECT_TRUE(rig.window.cursorLabel()->text().contains(QStringLiteral("Скорость, км/ч: 0,0")))
        << rig.window.cursorLabel()->text().toStdString();
    QTest::mouseClick(rig.map, Qt::LeftButton, {}, rig.map->pixelOf(36).toPoint() + QPoint(3, -2));
    EXPECT_EQ(rig.map->marker(), 36);
    EXPECT_EQ(rig.chart->cursorSample(), 36);
    EXPECT_TRUE(rig.window.cursorLabel()->text().contains(QStringLiteral("Скорость, км/ч: 55,5")));
    EXPECT_TRUE(rig.window.cursorLabel()->text().contains(QStringLiteral("Спутников: 9")));
    // Far from the path a click picks nothing.
    QTest::mouseClick(rig.map, Qt::LeftButton, {}, QPoint(rig.map->width() / 2, rig.map->height() / 2));
    EXPECT_EQ(rig.map->marker(), 36);

    // The arrow keys step the chart's cursor from point to point, and the marker with it.
    rig.chart->setFocus();
    QTest::keyClick(rig.chart, Qt::Key_Right);
    EXPECT_EQ(rig.chart->cursorSample(), 37);
    EXPECT_EQ(rig.map->marker(), 37);
    QTest::keyClick(rig.chart, Qt::Key_Left);
    QTest::keyClick(rig.chart, Qt::Key_Left);
    EXPECT_EQ(rig.map->marker(), 35);
    EXPECT_EQ(rig.chart->cursorSample(), 35);
}

TEST(TrackWindow, TheMapZoomsMovesAndFitsAgain)
{
    WindowRig rig;
    TrackMapView* map = rig.map;
    ASSERT_TRUE(map->fitted());
    // The square fills the smaller side of the map less its margins.
    const QPointF a = map->pixelOf(0), b = map->pixelOf(10);
    EXPECT_NEAR(b.x() - a.x(), std::min(map->width(), map->height()) - 60, 1.0);
    EXPECT_NEAR(b.y(), a.y(), 1e-6); // east is to the right, on the same row
    EXPECT_LT(map->pixelOf(21).y(), b.y()); // north is up
    const double fitScale = map->pxPerKm();

    // The wheel zooms in around the pointer: the point under it stays.
    wheel(map, a.toPoint(), 120);
    EXPECT_NEAR(map->pxPerKm(), fitScale * 1.25, 1e-9);
    EXPECT_NEAR(map->pixelOf(0).x(), a.toPoint().x(), 1.0);
    EXPECT_FALSE(map->fitted());
    // A drag moves the map with the mouse.
    const QPointF before = map->pixelOf(0);
    const QPoint from(map->width() / 2, map->height() / 2);
    QTest::mousePress(map, Qt::LeftButton, {}, from);
    QMouseEvent drag(QEvent::MouseMove, QPointF(from + QPoint(40, 25)), map->mapToGlobal(QPointF(from + QPoint(40, 25))),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(map, &drag);
    QTest::mouseRelease(map, Qt::LeftButton, {}, from + QPoint(40, 25));
    EXPECT_NEAR(map->pixelOf(0).x() - before.x(), 40, 1e-6);
    EXPECT_NEAR(map->pixelOf(0).y() - before.y(), 25, 1e-6);
    EXPECT_FALSE(map->marker().has_value()); // a drag is not a click
    // Keys: minus zooms out, Home fits; a double click fits too.
    map->setFocus();
    QTest::keyClick(map, Qt::Key_Minus);
    EXPECT_NEAR(map->pxPerKm(), fitScale, 1e-9);
    QTest::keyClick(map, Qt::Key_Home);
    EXPECT_TRUE(map->fitted());
    EXPECT_EQ(map->pixelOf(0), a);
    QTest::keyClick(map, Qt::Key_Right);
    EXPECT_FALSE(map->fitted());
    QTest::mouseDClick(map, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(map->fitted());
    EXPECT_EQ(map->pixelOf(0), a);
    EXPECT_GE(map->paints(), 1);
    // The colour scale tops the maximum speed rounded up to ten: 55.5 km/h on a scale to 60.
    EXPECT_EQ(map->speedScaleTop(), 60);

    // As far in as the zoom goes (a metre in 100 px), off a corner of the square, and as far out: the path is
    // drawn each time, and only the marks in view.
    for (int i = 0; i < 80; ++i)
        wheel(map, a.toPoint() + QPoint(7, 3), 120);
    EXPECT_DOUBLE_EQ(map->pxPerKm(), 1e5);
    const int draws = map->pathDraws();
    EXPECT_FALSE(map->grab().isNull());
    EXPECT_GT(map->pathDraws(), draws);
    for (int i = 0; i < 120; ++i)
        wheel(map, a.toPoint(), -120);
    EXPECT_DOUBLE_EQ(map->pxPerKm(), 1e-3);
    EXPECT_FALSE(map->grab().isNull());
}

TEST(TrackWindow, ExportOffersAllFiveFormatsAndATypedExtensionDecides)
{
    WindowRig rig;
    QTemporaryDir dir;
    QTest::mouseClick(rig.window.exportButton(), Qt::LeftButton);
    QFileDialog* dialog = rig.window.exportDialog();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->nameFilters(), (QStringList{QStringLiteral("Binary file [*.bin] (*.bin)"),
                                                  QStringLiteral("Track File [*.plt] (*.plt)"),
                                                  QStringLiteral("Wialon message [*.wln] (*.wln)"),
                                                  QStringLiteral("GPX (*.gpx)"), QStringLiteral("KML (*.kml)")}));
    EXPECT_EQ(dialog->selectedNameFilter(), QStringLiteral("GPX (*.gpx)"));
    EXPECT_TRUE(dialog->selectedFiles().value(0).endsWith(QStringLiteral("Track.gpx")));

    const auto typeName = [&](const QString& typed) {
        if (!dialog->isVisible())
            QTest::mouseClick(rig.window.exportButton(), Qt::LeftButton);
        dialog->setDirectory(dir.path());
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        name->selectAll();
        QTest::keyClick(name, Qt::Key_Delete);
        QTest::keyClicks(name, typed);
        QTest::keyClick(name, Qt::Key_Return);
    };
    const auto fileAt = [&](const char* name) {
        QFile f(dir.filePath(QLatin1String(name)));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };

    // A bare name under the GPX filter: GPX, and the message counts what was left out. (The names begin
    // with different letters: the dialog completes a typed name from the files in the folder.)
    typeName(QStringLiteral("square"));
    EXPECT_TRUE(fileAt("square.gpx").contains("<gpx version=\"1.1\""));
    EXPECT_EQ(fileAt("square.gpx").count("<trkpt "), rvtest::SquareLoop::kPoints);
    EXPECT_EQ(WindowRig::takeMessage(&rig.window),
              QStringLiteral("Операция экспорта выполнена\nТочек: 42; пропущено: 1 без достоверных координат"));
    // Typed extensions decide whatever the filter.
    typeName(QStringLiteral("earth.kml"));
    EXPECT_TRUE(fileAt("earth.kml").contains("<gx:Track>"));
    WindowRig::takeMessage(&rig.window);
    typeName(QStringLiteral("ozi.plt"));
    EXPECT_TRUE(fileAt("ozi.plt").startsWith("OziExplorer Track Point File Version 2.1\r\n"));
    EXPECT_EQ(WindowRig::takeMessage(&rig.window), QStringLiteral("Операция экспорта выполнена"));
    typeName(QStringLiteral("fleet.wln"));
    EXPECT_EQ(fileAt("fleet.wln").count("REG;"), 43);
    WindowRig::takeMessage(&rig.window);
    typeName(QStringLiteral("raw.bin"));
    EXPECT_EQ(fileAt("raw.bin"), rvtest::squareLoop());
    WindowRig::takeMessage(&rig.window);
    // A folder that is not there: the message says so and nothing is written.
    const QString missing = dir.filePath(QStringLiteral("missing/x.gpx"));
    rig.window.exportTo(missing);
    const QString said = WindowRig::takeMessage(&rig.window);
    EXPECT_TRUE(said.startsWith(QStringLiteral("Не удалось сохранить ") + missing)) << said.toStdString();
    EXPECT_FALSE(QFile::exists(missing));
}

namespace {

// The main window with the page of the track read, on an in-memory line.
struct MainRig {
    QTemporaryDir home;
    MemoryLink link;
    ConfigRecords records;
    MonitorBlocks monitor;
    SessionController session{link, &records, &monitor};
    MainWindow window{records};
    DeviceFilesBinding files{window, session};

    MainRig()
    {
        qputenv("RVCONF_HOME", home.path().toLocal8Bit());
        session.setPortName(QStringLiteral("unit"));
        session.session().autoReadPending = false;
        session.start(false);
        step();
        unit(rvtest::rvTr(2, 1));
        link.takeWritten();
    }
    ~MainRig() { qunsetenv("RVCONF_HOME"); }
    void step() { for (int i = 0; i < 10; ++i) session.Find_deviceTimer(); }
    void unit(const QByteArray& bytes)
    {
        link.feed(bytes);
        for (int i = 0; i < 4; ++i)
            session.Receive_timerTimer();
    }
};

} // namespace

TEST(TrackWindow, OpensAfterAReadAndFromTheFileMenu)
{
    MainRig rig;
    rig.window.show();
    TrackBinding& view = rig.files.trackView();
    EXPECT_EQ(view.window(), nullptr);

    // "Считать": the unit sends the square in blocks of 1000 bytes; the window shows it when the read is whole.
    rig.files.page()->dumpButton()->click();
    rig.step();
    const QByteArray bytes = rvtest::squareLoop();
    rig.unit(QByteArray("+MEM\x00\x00", 6) + le::bytes32(uint32_t(bytes.size())));
    for (qsizetype at = 0; at < bytes.size(); at += 1000) {
        const QByteArray block = bytes.mid(at, 1000);
        rig.unit(QByteArray("+MEM\x01", 5) + le::bytes16(uint16_t(block.size())) + block);
        EXPECT_EQ(view.window(), nullptr);
    }
    rig.unit(QByteArray("+MEM\x00\x01", 6));
    ASSERT_NE(view.window(), nullptr);
    EXPECT_TRUE(view.window()->isVisible());
    EXPECT_EQ(view.window()->summaryLabel()->text(), kSquareSummary);
    EXPECT_EQ(view.window()->originLabel()->text(), QStringLiteral("Память устройства, пакетов: 43"));
    view.window()->close();

    // "Файл" › "Открыть трек…": a saved read opens in the same window.
    QByteArray later = bytes;
    later += rvtest::trackPacket({.time = rvtest::SquareLoop::kStart + 650, .lat = 0, .lon = 37600000, .speed = 0});
    const QString path = rig.home.filePath(QStringLiteral("saved.bin"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(later);
    f.close();
    QAction* open = rig.window.findChild<QAction*>(QStringLiteral("OpenTrack"));
    ASSERT_NE(open, nullptr);
    EXPECT_EQ(open->text().remove(QLatin1Char('&')), QStringLiteral("Открыть трек…")); // with its mnemonic
    EXPECT_EQ(open->parent()->objectName(), QStringLiteral("N1"));
    open->trigger();
    QFileDialog* dialog = view.openDialog();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(dialog->isVisible());
    emit dialog->fileSelected(path);
    dialog->close();
    ASSERT_TRUE(view.window()->isVisible());
    EXPECT_EQ(view.window()->originLabel()->text(), QStringLiteral("saved.bin"));
    EXPECT_TRUE(view.window()->summaryLabel()->text().startsWith(QStringLiteral("Точек: 43 ·")));

    // A file without one whole packet is named in a message, and the window keeps what it shows.
    const QString shortFile = rig.home.filePath(QStringLiteral("short.bin"));
    QFile s(shortFile);
    ASSERT_TRUE(s.open(QIODevice::WriteOnly));
    s.write(QByteArray(104, 'x'));
    s.close();
    view.openTrackFile(shortFile);
    EXPECT_EQ(WindowRig::takeMessage(&rig.window), QStringLiteral("В файле %1 нет ни одного пакета трека").arg(shortFile));
    EXPECT_EQ(view.window()->originLabel()->text(), QStringLiteral("saved.bin"));
    view.openTrackFile(rig.home.filePath(QStringLiteral("none.bin")));
    EXPECT_FALSE(WindowRig::takeMessage(&rig.window).isEmpty());
}
