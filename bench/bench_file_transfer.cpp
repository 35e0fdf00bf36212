// How close a log read comes to the line rate: the virtual unit paces its line at 115200 baud (10 bits a
// byte, 11 520 bytes a second) and serves a 200 KB log; the configurator reads it through the real serial
// port, once taking each complete chunk as soon as it is there and once waiting for the quiet gap.
// Prints the achieved rate as a fraction of the line rate.

#include "core/config/records.h"
#include "core/devicefiles/file_transfer.h"
#include "core/link/serial_link.h"
#include "core/monitor/monitor_blocks.h"
#include "core/protocol/device_session.h"
#include "paced_unit.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

using namespace rv;
using rvbench::startUnit;
using rvbench::waitFor;

namespace {

constexpr int kBaud = 115200;
constexpr qsizetype kLogBytes = 200 * 1024;

// Seconds from the first chunk request to the complete file, or a negative number on failure.
double readOnce(bool early, int chunk)
{
    QTemporaryDir home;
    qputenv("RVCONF_HOME", home.path().toLocal8Bit());
    QProcess unit;
    const QString pty = startUnit(unit, {QStringLiteral("--baud"), QString::number(kBaud), QStringLiteral("--log-size"),
                                            QString::number(kLogBytes), QStringLiteral("--chunk"), QString::number(chunk),
                                            QStringLiteral("--lifetime"), QStringLiteral("120")});
    if (pty.isEmpty())
        return -1;

    SerialLink link;
    ConfigRecords records;
    MonitorBlocks monitor;
    SessionController session(link, &records, &monitor);
    FileTransfer transfer(session);
    session.setEarlyFrames(early);
    session.session().autoReadPending = false;
    session.setPortName(pty);
    bool connected = false, done = false;
    QString closedWith;
    QObject::connect(&session, &SessionController::deviceConnected, [&] { connected = true; });
    QObject::connect(&session.progress(), &ProgressWatchdog::closed, [&](const QString& t) { closedWith = t; done = true; });
    session.start();
    if (!waitFor([&] { return connected; }, 5000)) {
        std::printf("  no unit on %s\n", qPrintable(pty));
        return -1;
    }
    waitFor([] { return false; }, 300);
    transfer.Read_log_fileClick(QStringLiteral("2026-12-25"));
    if (!waitFor([&] { return transfer.announcedSize() != 0; }, 5000)) {
        std::printf("  no size: %s\n", qPrintable(closedWith));
        return -1;
    }
    QElapsedTimer clock;
    clock.start();
    waitFor([&] { return done; }, 120000);
    const double seconds = clock.nsecsElapsed() / 1e9;
    session.shutdown();
    unit.terminate();
    unit.waitForFinished();
    qunsetenv("RVCONF_HOME");
    if (closedWith != QStringLiteral("Файл диагностики считан"))
        std::printf("  ended with: %s\n", qPrintable(closedWith));
    return closedWith == QStringLiteral("Файл диагностики считан") ? seconds : -1;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const double lineBytesPerSecond = kBaud / 10.0;
    std::printf("log read of %lld bytes at %d baud (line rate %.0f B/s)\n", static_cast<long long>(kLogBytes), kBaud,
                lineBytesPerSecond);
    for (int chunk : {1000, 512}) {
        for (bool early : {true, false}) {
            const double s = readOnce(early, chunk);
            if (s <= 0) {
                std::printf("  chunk %4d, %-28s failed\n", chunk, early ? "complete chunks at once:" : "after the quiet gap:");
                continue;
            }
            const double rate = kLogBytes / s;
            std::printf("  chunk %4d, %-28s %6.2f s, %7.0f B/s, %5.1f %% of line rate\n", chunk,
                        early ? "complete chunks at once:" : "after the quiet gap:", s, rate,
                        100.0 * rate / lineBytesPerSecond);
        }
    }
    return 0;
}
