// The track memory: how close a read comes to the line rate, and how long the exports of a large read take.
// The virtual unit paces its line at 115200 baud (10 bits a byte, 11 520 bytes a second) and serves its
// packets; the configurator reads them through the real serial port. Then 100 000 packets (10.5 MB) are
// exported to .plt, .wln (every Wialon parameter of the tree chosen: the longest lines), .gpx and .kml, each
// formatted in memory and written to its file as it is made, and, when gpsbabel is installed, the same .plt
// is converted to GPX by it for comparison. `bench_track --exports` skips the read.

#include "core/config/defaults.h"
#include "core/config/records.h"
#include "core/link/serial_link.h"
#include "core/monitor/monitor_blocks.h"
#include "core/base/bytes.h"
#include "core/base/checksum.h"
#include "core/protocol/device_session.h"
#include "paced_unit.h"
#include "core/track/track_packet.h"
#include "core/track/track_read.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>

using namespace rv;
using rvbench::startUnit;
using rvbench::waitFor;

namespace {

constexpr int kBaud = 115200;

// Seconds from the start reply to the end of the read, or a negative number on failure.
double readOnce(qsizetype bytes, int block, bool early)
{
    QTemporaryDir home;
    qputenv("RVCONF_HOME", home.path().toLocal8Bit());
    QProcess unit;
    const QString pty = startUnit(unit, {QStringLiteral("--baud"), QString::number(kBaud), QStringLiteral("--track-size"),
                                            QString::number(bytes), QStringLiteral("--track-block"), QString::number(block),
                                            QStringLiteral("--lifetime"), QStringLiteral("300")});
    if (pty.isEmpty())
        return -1;

    SerialLink link;
    ConfigRecords records;
    MonitorBlocks monitor;
    SessionController session(link, &records, &monitor);
    TrackRead track(session);
    session.setEarlyFrames(early);
    session.session().autoReadPending = false;
    session.setPortName(pty);
    bool connected = false, done = false;
    QString closedWith;
    QObject::connect(&session, &SessionController::deviceConnected, [&] { connected = true; });
    QObject::connect(&session.progress(), &ProgressWatchdog::closed, [&](const QString& t) { closedWith = t; done = true; });
    session.start();
    if (!waitFor([&] { return connected; }, 5000))
        return -1;
    waitFor([] { return false; }, 300);
    track.DumpClick({TrackRead::Undelivered, 0, 0, 0});
    if (!waitFor([&] { return track.announced() != 0 || done; }, 5000))
        return -1;
    QElapsedTimer clock;
    clock.start();
    waitFor([&] { return done; }, 300000);
    const double seconds = clock.nsecsElapsed() / 1e9;
    const bool ok = closedWith == QStringLiteral("Чтение памяти завершено") && track.buffer().size() == bytes;
    session.shutdown();
    unit.terminate();
    unit.waitForFinished();
    qunsetenv("RVCONF_HOME");
    if (!ok)
        std::printf("  ended with: %s, %lld bytes\n", qPrintable(closedWith), static_cast<long long>(track.buffer().size()));
    return ok ? seconds : -1;
}

QByteArray packets(int count)
{
    QByteArray all;
    all.reserve(count * 105);
    for (int i = 0; i < count; ++i) {
        QByteArray p(105, '\0');
        for (int k = 12; k < 103; ++k)
            p[k] = static_cast<char>((i * 31 + k * 7) & 0xFF);
        p[12] = static_cast<char>(p[12] & ~0x10); // every position valid: the most for .gpx and .kml to write
        le::put32(p, 0, 1767225600u + i * 10u);
        le::put32(p, 4, static_cast<uint32_t>(55750000 + (i % 1000) * 37));
        le::put32(p, 8, static_cast<uint32_t>(37620000 - (i % 1000) * 53));
        le::put16(p, 103, crc16Modbus(QByteArrayView(p).first(103)));
        all += p;
    }
    return all;
}

double timed(const std::function<void()>& f)
{
    QElapsedTimer t;
    t.start();
    f();
    return t.nsecsElapsed() / 1e9;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const bool readToo = !app.arguments().contains(QStringLiteral("--exports"));
    const double line = kBaud / 10.0;
    const qsizetype readBytes = 105 * 2000; // 210 000 bytes: about 18 s at the line rate
    std::printf("track read of %lld bytes at %d baud (line rate %.0f B/s)\n", static_cast<long long>(readBytes), kBaud, line);
    for (int block : {1000, 525}) {
        for (bool early : {true, false}) {
            if (!readToo)
                break;
            const double s = readOnce(readBytes, block, early);
            const char* how = early ? "complete blocks at once:" : "after the quiet gap:";
            if (s <= 0) {
                std::printf("  block %4d, %-26s failed\n", block, how);
                continue;
            }
            std::printf("  block %4d, %-26s %6.2f s, %7.0f B/s, %5.1f %% of line rate\n", block, how, s, readBytes / s,
                        100.0 * readBytes / s / line);
        }
    }

    const QByteArray buffer = packets(100000);
    ConfigRecords records;
    records.config.setNumber(u"Protocol", 2);
    packet::TreeChoice all;
    for (int n = 0; n < 54; ++n)
        all.set(n);
    packet::setTreeWords(records.config, packet::treeWords(all));
    const packet::PacketChoice choice = packet::packetChoice(records.config);
    ConfigRecords defaults;
    loadStartDefaults(defaults);
    const packet::PacketChoice usual = packet::packetChoice(defaults.config);
    QTemporaryDir dir;
    const QString plt = dir.filePath(QStringLiteral("Ozi_track.plt"));
    std::printf("export of 100 000 packets (%.1f MB): formatted in memory / written to the file as made\n",
                buffer.size() / 1e6);
    const struct {
        const char* what;
        track::ExportFormat format;
        const packet::PacketChoice* choice;
    } kinds[] = {{".plt", track::ExportFormat::Plt, &usual},
                 {".wln, every parameter", track::ExportFormat::Wln, &choice},
                 {".wln, default configuration", track::ExportFormat::Wln, &usual},
                 {".gpx", track::ExportFormat::Gpx, &usual},
                 {".kml", track::ExportFormat::Kml, &usual}};
    for (const auto& k : kinds) {
        for (int run = 0; run < 3; ++run) {
            track::ExportResult r;
            const double inMemory = timed([&] { r = track::exportTrack(k.format, buffer, *k.choice); });
            const qsizetype size = r.bytes.size();
            r = {};
            const QString path = dir.filePath(track::defaultExportName(k.format));
            bool saved = false;
            const double toFile = timed([&] { saved = track::saveTrack(path, k.format, buffer, *k.choice).ok(); });
            std::printf("  %-28s run %d: %.3f s / %.3f s%s (%.1f MB)\n", k.what, run + 1, inMemory, toFile,
                        saved ? "" : " FAILED", size / 1e6);
        }
    }
    const QString babel = QStandardPaths::findExecutable(QStringLiteral("gpsbabel"));
    if (babel.isEmpty()) {
        std::printf("  gpsbabel is not installed: no comparison\n");
        return 0;
    }
    QProcess p;
    const double tb = timed([&] {
        p.start(babel, {QStringLiteral("-i"), QStringLiteral("ozi"), QStringLiteral("-f"), plt, QStringLiteral("-o"),
                        QStringLiteral("gpx"), QStringLiteral("-F"), dir.filePath(QStringLiteral("t.gpx"))});
        p.waitForFinished(120000);
    });
    std::printf("  gpsbabel -i ozi -o gpx of the same .plt: %.3f s (exit %d)\n", tb, p.exitCode());
    return 0;
}
