// Opening a large read in the track window ("Трек"), offscreen: 100 000 packets, once along the virtual unit's
// working day (the same streets again and again, as a unit's memory holds them) and once as a drive that never
// passes the same place twice and changes speed at every point (the most the path's drawing can have to do).
// Reported: the window's first full draw after setting the track (of it: working the track out, i.e. points,
// stops, summary and map), moving the path's marker (as the chart's cursor does), a wheel notch of zoom on the
// map (the path drawn again), and a redraw of the chart.

#include "core/base/bytes.h"
#include "core/base/checksum.h"
#include "track_memory.h"
#include "ui/monitor/chart_view.h"
#include "ui/track/track_map_view.h"
#include "ui/track/track_window.h"

#include <QApplication>
#include <QElapsedTimer>

#include <cmath>
#include <cstdio>
#include <functional>

using namespace rv;

namespace {

constexpr int kPackets = 100000;

double timed(const std::function<void()>& f)
{
    QElapsedTimer t;
    t.start();
    f();
    return t.nsecsElapsed() / 1e9;
}

QByteArray workingDays()
{
    rvsim::TrackOptions o;
    o.route = true;
    o.invalidEvery = 0;
    o.size = qsizetype(kPackets) * 105;
    rvsim::TrackMemory memory(o);
    return memory.packets();
}

// A spiral out from Moscow, 1 km further out every turn, a packet every 10 s at a speed that changes each time.
QByteArray wanderingDrive()
{
    QByteArray all;
    all.reserve(qsizetype(kPackets) * 105);
    for (int i = 0; i < kPackets; ++i) {
        QByteArray p(105, '\0');
        const double turn = i / 400.0, angle = turn * 2 * 3.14159265358979;
        le::put32(p, 0, uint32_t(1767250800 + i * 10));
        le::put32(p, 4, uint32_t(int32_t(55750000 + 9000 * turn * std::sin(angle))));
        le::put32(p, 8, uint32_t(int32_t(37620000 + 16000 * turn * std::cos(angle))));
        p[12] = 9;
        p[13] = 10;
        le::put16(p, 14, uint16_t(150 + i % 40));
        le::put16(p, 16, uint16_t((i * 37) % 900));
        le::put16(p, 103, crc16Modbus(QByteArrayView(p).first(103)));
        all += p;
    }
    return all;
}

void openOnce(const char* what, const QByteArray& buffer, int run)
{
    TrackWindow w([] { return packet::PacketChoice{}; });
    w.resize(1000, 820);
    double overview = 0;
    const double open = timed([&] {
        overview = timed([&] { w.setTrack(buffer, QStringLiteral("bench")); });
        w.show();
        // The first full draw: what the user waits for.
        w.repaint();
        QCoreApplication::processEvents();
    });
    const int mapPaints = w.map()->paints(), chartPaints = w.chart()->paints();
    const double marker = timed([&] {
        w.map()->setMarker(qsizetype(w.overview().track.points.size() / 2));
        w.map()->repaint();
    });
    const QPointF centre(w.map()->width() / 2.0, w.map()->height() / 2.0);
    const double zoom = timed([&] {
        w.map()->zoomBy(1.25, centre);
        w.map()->repaint();
    });
    const double chart = timed([&] { w.chart()->repaint(); });
    std::printf("  %-14s run %d: opened and drawn in %.3f s (of it %.3f s working the track out); the marker moved "
                "%.3f s, the map zoomed a notch %.3f s, the chart redrawn %.3f s%s\n",
                what, run + 1, open, overview, marker, zoom, chart,
                mapPaints > 0 && chartPaints > 0 ? "" : " (NOT DRAWN)");
    std::printf("  %-14s        %s\n", "", qPrintable(w.overview().summary.points ? track::summaryText(w.overview().summary)
                                                                                   : QStringLiteral("no points")));
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QByteArray days = workingDays(), drive = wanderingDrive();
    std::printf("the track window on %d packets (%.1f MB)\n", kPackets, days.size() / 1e6);
    for (int run = 0; run < 3; ++run)
        openOnce("working days", days, run);
    for (int run = 0; run < 3; ++run)
        openOnce("wandering", drive, run);
    return 0;
}
