// Renders the main window offscreen and writes one PNG per navigation node, plus the About window,
// the confirmation dialog, the status window, the port dialog with its list open (port-dialog.png) and the
// screen at the first start (first-start.png), into the folder given on the command line. The monitor views
// and the editor pages are fed with the virtual unit's data first, so they show believable values.
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
#include "ui/monitor/status_window.h"
#include "ui/protocol/port_dialog.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QScreen>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <cstdio>

namespace {

// A fitter's desk for the port dialog's picture.
QList<rv::PortInfo> deskPorts()
{
    using State = rv::PortInfo::State;
    return {{"/dev/ttyUSB0", "FTDI FT232R USB UART (A10K3XYZ)", true, true, State::Free},
            {"/dev/ttyUSB1", "Prolific Technology Inc. USB-Serial Controller", true, true, State::Busy},
            {"/dev/ttyACM0", "STMicroelectronics Virtual COM Port (2076327E4D4B)", true, true, State::Free},
            {"/dev/ttyS0", {}, true, false, State::Free}};
}

// Top-level windows as a screen shows them, on a plain desktop; `area` in screen coordinates.
QImage desktop(const QRect& area, const QList<QWidget*>& windows)
{
    QImage image(area.size(), QImage::Format_RGB32);
    image.fill(QColor(0x4a, 0x63, 0x7a));
    QPainter p(&image);
    for (QWidget* w : windows) {
        const QRect at = w->geometry().translated(-area.topLeft());
        p.drawPixmap(at.topLeft(), w->grab());
        p.setPen(QColor(0x20, 0x20, 0x20));
        p.drawRect(at.adjusted(-1, -1, 0, 0));
        if (w->windowType() == Qt::Popup)
            continue;
        // A plain title bar, as a window manager draws one.
        const QRect bar(at.left() - 1, at.top() - 24, at.width() + 1, 24);
        p.fillRect(bar, QColor(0x2b, 0x3a, 0x4a));
        p.setPen(Qt::white);
        p.drawText(bar.adjusted(8, 0, -8, 0), Qt::AlignVCenter | Qt::AlignLeft, w->windowTitle());
    }
    return image;
}

} // namespace

int main(int argc, char** argv)
{
    // Keep the real program folder untouched: Config.ini is read and written in a scratch folder.
    QTemporaryDir home;
    qputenv("RVCONF_HOME", home.path().toLocal8Bit());
    // Offscreen, on a 1600 x 900 screen: room for the main window and the status window beside it.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || qgetenv("QT_QPA_PLATFORM") == "offscreen") {
        QFile screen(home.filePath(QStringLiteral("screen.json")));
        if (screen.open(QIODevice::WriteOnly))
            screen.write(R"({"windowFrameMargins": false,
                             "screens": [{"name": "snap", "x": 0, "y": 0, "width": 1600, "height": 900,
                                          "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
        screen.close();
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + screen.fileName().toLocal8Bit());
    }

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

    // The session first, the window after it: what the window owns (the cameras, the file transfers) lets
    // go of the session as the window goes, and the session is still there to hear it.
    rv::MemoryLink link;
    rv::SessionController session(link);
    rv::MainWindow w(session.records());
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

    // The first start: the main window, and the status window beside it.
    app.processEvents();
    const QRect screenArea = w.screen() ? w.screen()->geometry() : QRect(0, 0, 1600, 900);
    if (!desktop(screenArea, {&w, monitor.statusWindow()}).save(out.filePath(QStringLiteral("first-start.png")))) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(out.filePath(QStringLiteral("first-start.png"))));
        return 1;
    }

    // The port dialog with its list open.
    {
        rv::PortDialog ports({deskPorts}, &w);
        ports.setCurrentPort(QStringLiteral("/dev/ttyUSB0"));
        ports.show();
        app.processEvents();
        auto* box = ports.findChild<QComboBox*>(QStringLiteral("ComSelectBox"));
        box->showPopup();
        app.processEvents();
        QWidget* popup = box->view()->window();
        const QRect area = ports.geometry().united(popup->geometry()).adjusted(-12, -36, 12, 12);
        desktop(area, {&ports, popup}).save(out.filePath(QStringLiteral("port-dialog.png")));
        box->hidePopup();
        ports.hide();
    }

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
