// What drawing one monitor block costs: the main window as rvconf builds it (the editor pages, the Monitor page
// showing) and the status window, offscreen, fed the virtual unit's changing GPS and DEVICE blocks as the
// session hands them over (one every 270 ms). Reported per block: the CPU of working out and setting the labels,
// of the layout that follows and of the paint, and what that comes to as a share of one core at the poll
// period. `--png DIR [N]` saves what the two windows show after each of the first N blocks (default 20), taken
// from the windows' own backing stores, so that two builds can be compared pixel for pixel. `--pause MS` sleeps
// that long between blocks, as rvconf does between polls: a block then runs with the caches as cold as they are
// in rvconf, which costs two to three times as much as back to back.
//   bench_monitor_page [BLOCKS=2000] [--png DIR [N]] [--pause MS]

#include "core/config/records.h"
#include "core/link/memory_link.h"
#include "core/monitor/monitor_blocks.h"
#include "core/protocol/device_session.h"
#include "telemetry.h"
#include "ui/app/main_window.h"
#include "ui/app/session_binding.h"
#include "ui/config/config_pages.h"
#include "ui/monitor/monitor_binding.h"
#include "ui/monitor/status_window.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QScreen>
#include <QTemporaryDir>
#include <QThread>
#include <QWindow>

#include <cstdio>
#include <ctime>

using namespace rv;

namespace {

double cpuSeconds()
{
    return double(std::clock()) / CLOCKS_PER_SEC;
}

// What the window shows now: its backing store, as the last paint left it (not a fresh render).
bool saveShown(QWidget* w, const QString& path)
{
    QScreen* screen = w->screen();
    return screen && screen->grabWindow(w->winId()).save(path);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    int blocks = 2000;
    QString pngDir;
    int pngBlocks = 20;
    int pauseMs = 0;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--pause") && i + 1 < args.size()) {
            pauseMs = args[++i].toInt();
        } else if (args[i] == QLatin1String("--png") && i + 1 < args.size()) {
            pngDir = args[++i];
            if (i + 1 < args.size() && args[i + 1].toInt() > 0)
                pngBlocks = args[++i].toInt();
        } else if (args[i].toInt() > 0) {
            blocks = args[i].toInt();
        }
    }
    if (!pngDir.isEmpty()) {
        QDir().mkpath(pngDir);
        blocks = pngBlocks;
    }

    QTemporaryDir home;
    qputenv("RVCONF_HOME", home.path().toLocal8Bit());
    MemoryLink link;
    ConfigRecords records;
    MonitorBlocks monitorBlocks;
    SessionController session(link, &records, &monitorBlocks);
    MainWindow window;
    SessionBinding binding(window, session, false);
    MonitorBinding monitor(window, session);
    ConfigPages pages(window, session);
    window.show();
    QCoreApplication::processEvents();

    // The unit's handshake as the views see it: an RV-2 with a GLONASS receiver, the Monitor page brought up.
    session.session().DeviceType = 2;
    session.session().DeviceOptions = 1;
    session.session().connected = true;
    emit session.deviceConnected(2, 1);
    QCoreApplication::processEvents();
    StatusWindow* status = monitor.statusWindow();
    if (!status->isVisible())
        status->show();
    QCoreApplication::processEvents();

    rvsim::Telemetry unit(2);
    double refresh = 0, layout = 0, paint = 0;
    // How many labels a block changes: what any view must at least redraw.
    const auto texts = [&] {
        QStringList all;
        for (QWidget* root : {static_cast<QWidget*>(&window), static_cast<QWidget*>(status)})
            for (const QLabel* l : root->findChildren<QLabel*>())
                all << l->text();
        return all;
    };
    QStringList before = texts();
    qint64 changed = 0;
    // The first blocks bring values never seen before, and the page settles round them; not counted.
    const int warmup = pngDir.isEmpty() ? 20 : 0;
    for (int i = -warmup; i < blocks; ++i) {
        // The unit's values move on with every poll; the polls ask for GPS and DEVICE in turn.
        if (pauseMs > 0)
            QThread::msleep(pauseMs);
        unit.advance();
        const bool gps = (i + warmup) % 2 == 0;
        const double t0 = cpuSeconds();
        if (gps) {
            monitorBlocks.gps.fillFrom(unit.gpsPayload());
            monitor.Refresh_GPS();
        } else {
            monitorBlocks.device.fillFrom(unit.devicePayload());
            monitor.Refresh_DEVICE();
        }
        const double t1 = cpuSeconds();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        const double t2 = cpuSeconds();
        QCoreApplication::processEvents();
        const double t3 = cpuSeconds();
        const QStringList after = texts();
        if (i < 0) {
            before = after;
            continue;
        }
        for (qsizetype k = 0; k < after.size() && k < before.size(); ++k)
            changed += after[k] != before[k];
        before = after;
        refresh += t1 - t0;
        layout += t2 - t1;
        paint += t3 - t2;
        if (!pngDir.isEmpty()) {
            const QString n = QString::number(i).rightJustified(3, u'0');
            if (!saveShown(&window, pngDir + QStringLiteral("/main_%1.png").arg(n)) ||
                !saveShown(status, pngDir + QStringLiteral("/status_%1.png").arg(n))) {
                std::fprintf(stderr, "bench_monitor_page: cannot save into %s\n", qPrintable(pngDir));
                return 1;
            }
        }
    }
    if (!pngDir.isEmpty()) {
        std::printf("bench_monitor_page: %d blocks shown, saved in %s\n", blocks, qPrintable(pngDir));
        return 0;
    }
    const double total = refresh + layout + paint;
    const auto us = [blocks](double s) { return 1e6 * s / blocks; };
    std::printf("bench_monitor_page: %d monitor blocks (GPS and DEVICE in turn), main window %dx%d and status window\n",
                blocks, window.width(), window.height());
    std::printf("  labels changed: %.1f a block\n", double(changed) / blocks);
    std::printf("  per block: %.0f us of CPU: labels %.0f us, layout %.0f us, paint %.0f us\n", us(total),
                us(refresh), us(layout), us(paint));
    std::printf("  at one block every 270 ms: %.3f %% of a core\n", 100 * (total / blocks) / 0.270);
    return 0;
}
