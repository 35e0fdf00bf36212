// Renders the main window offscreen and writes one PNG per navigation node, plus the About window,
// the confirmation dialog and the status window, into the folder given on the command line. The
// monitor views and the editor pages are fed with the virtual unit's data first, so they show believable values.
//   snap OUT_DIR [--type N] [--options N]

#include "core/config/records.h"
#include "core/link/memory_link.h"
#include "core/monitor/can_lines.h"
#include "core/protocol/device_session.h"
#include "telemetry.h"
#include "track_memory.h"
#include "virtual_unit.h"
#include "ui/app/main_window.h"
#include "ui/config/config_pages.h"
#include "ui/monitor/monitor_binding.h"
#include "ui/monitor/chart_view.h"
#include "ui/track/track_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <cstdio>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Keep the real program folder untouched: Config.ini is read and written in a scratch folder.
    QTemporaryDir home;
    qputenv("RVCONF_HOME", home.path().toLocal8Bit());

    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: snap OUT_DIR [--type N] [--options N]\n");
        return 2;
    }
    const QDir out(args.at(1));
    if (!QDir().mkpath(out.path())) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(out.path()));
        return 1;
    }

    // The session outlives the window: the bindings the window holds let go of it as they close.
    rv::MemoryLink link;
    rv::SessionController session(link);
    rv::MainWindow w;
    rv::MonitorBinding monitor(w, session);
    rv::ConfigPages pages(w, session);
    w.resize(1000, 700);
    w.show();
    for (int i = 2; i + 1 < args.size(); i += 2) {
        if (args.at(i) == QLatin1String("--type")) {
            const auto type = static_cast<quint8>(args.at(i + 1).toUInt());
            session.session().DeviceType = type;
            w.Button_Enabled(true);
            w.TypeConnectedDevice(type);
            w.Setting_typedevice();
            emit session.deviceConnected(type, session.session().DeviceOptions);
        } else if (args.at(i) == QLatin1String("--options")) {
            session.session().DeviceOptions = args.at(i + 1).toUInt();
            w.Configurate(static_cast<quint8>(args.at(i + 1).toUInt()));
        }
    }

    // A minute into a lap: the vehicle is on the move.
    rvsim::Telemetry telemetry(session.session().DeviceType);
    for (int i = 0; i < 60; ++i)
        telemetry.advance();
    // The editor pages show the virtual unit's configuration.
    rvsim::UnitOptions unitOptions;
    unitOptions.deviceType = session.session().DeviceType;
    rvsim::VirtualUnit unit(unitOptions);
    session.records().config.setBytes(unit.records().config);
    session.records().inpOut.setBytes(unit.records().inpOut);
    session.records().confSe.setBytes(unit.records().confSe);
    pages.readAll();

    session.monitor().gps.fillFrom(telemetry.gpsPayload());
    session.monitor().device.fillFrom(telemetry.devicePayload());
    monitor.Refresh_GPS();
    monitor.Refresh_DEVICE();
    if (auto* scanner = w.findChild<QCheckBox*>(QStringLiteral("SCANCAN_en")))
        scanner->setChecked(true);
    monitor.appendCanLines(rv::canMesLines(telemetry.canMessage()));
    monitor.appendCanLines(rv::canBufLines(telemetry.canBuffer()));

    int n = 0;
    for (QTreeWidgetItemIterator it(w.tree()); *it; ++it, ++n) {
        w.tree()->setCurrentItem(*it);
        w.TreeView1Click();
        app.processEvents();
        const QString name = QStringLiteral("%1_%2.png")
                                 .arg(n, 2, 10, QLatin1Char('0'))
                                 .arg((*it)->text(0).simplified().replace(u' ', u'_'));
        if (!w.grab().save(out.filePath(name))) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(out.filePath(name)));
            return 1;
        }
    }
    for (const char* form : {"TForm2", "TForm13", "TForm11", "TForm8"}) {
        QDialog* d = w.window(QString::fromLatin1(form));
        d->show();
        app.processEvents();
        d->grab().save(out.filePath(QString::fromLatin1(form) + QStringLiteral(".png")));
        d->hide();
    }
    // The track window on one round of the virtual unit's route, the cursor on the second lap of the block.
    uint32_t roundSeconds = 0;
    rvsim::TrackOptions route;
    route.route = true;
    route.invalidEvery = 0;
    route.size = 105 * qsizetype(rvsim::TrackMemory::routeDay(roundSeconds).size());
    rvsim::TrackMemory memory(route);
    rv::TrackWindow track([] { return rv::packet::PacketChoice{}; }, &w);
    track.setTrack(memory.packets(), QStringLiteral("Память устройства, пакетов: %1").arg(memory.packets().size() / 105));
    track.resize(1000, 820);
    track.show();
    app.processEvents();
    track.chart()->setCursorSample(qsizetype(track.overview().track.points.size() * 3 / 4));
    app.processEvents();
    track.grab().save(out.filePath(QStringLiteral("TrackWindow.png")));
    std::printf("%d pages written to %s\n", n, qPrintable(out.path()));
    return 0;
}
