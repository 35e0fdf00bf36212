// What the receive path costs while a unit is connected and only polled: the session controller on the real
// serial port, attached to the virtual unit, without any window. Over SECONDS (default 60) it reports the CPU
// this process used as a share of one core, how often its threads were woken (voluntary context switches:
// each is a sleep that ended) and the monitor replies that came (a poll goes out every 270 ms). The window's
// own cost with the same unit is what bench/idle_cpu.sh measures.
//   bench_idle_session [SECONDS]

#include "core/link/serial_link.h"
#include "core/protocol/device_session.h"
#include "paced_unit.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <sys/resource.h>

using namespace rv;

namespace {

// Runs the event loop, sleeping between events, until `ms` have passed or `done` holds.
void idle(int ms, const std::function<bool()>& done = {})
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    QTimer check;
    if (done) {
        QObject::connect(&check, &QTimer::timeout, &loop, [&] {
            if (done())
                loop.quit();
        });
        check.start(100);
    }
    loop.exec();
}

double seconds(const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; }

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int span = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;
    QTemporaryDir home;
    qputenv("RVCONF_HOME", home.path().toLocal8Bit());

    QProcess unit;
    const QString pty = rvbench::startUnit(unit, {QStringLiteral("--lifetime"), QString::number(span + 60)});
    if (pty.isEmpty()) {
        std::printf("bench_idle_session: rvsim did not start\n");
        return 1;
    }
    SerialLink link;
    SessionController session(link);
    session.session().autoReadPending = false;
    session.setPortName(pty);
    bool connected = false;
    int replies = 0;
    QObject::connect(&session, &SessionController::deviceConnected, [&] { connected = true; });
    QObject::connect(&session, &SessionController::gpsReceived, [&] { ++replies; });
    QObject::connect(&session, &SessionController::deviceReceived, [&] { ++replies; });
    session.start();
    idle(10'000, [&] { return connected; });
    if (!connected) {
        std::printf("bench_idle_session: no unit on %s\n", qPrintable(pty));
        return 1;
    }
    idle(2000);

    rusage before {}, after {};
    getrusage(RUSAGE_SELF, &before);
    const int repliesBefore = replies;
    QElapsedTimer clock;
    clock.start();
    idle(span * 1000);
    getrusage(RUSAGE_SELF, &after);
    const double wall = double(clock.elapsed()) / 1000.0;
    const double cpu = seconds(after.ru_utime) + seconds(after.ru_stime) - seconds(before.ru_utime) - seconds(before.ru_stime);
    const long wakeups = after.ru_nvcsw - before.ru_nvcsw;
    const int got = replies - repliesBefore;
    std::printf("bench_idle_session: %.1f s connected to the virtual unit, no window\n", wall);
    std::printf("  CPU: %.3f %% of a core (%.3f s)\n", 100.0 * cpu / wall, cpu);
    std::printf("  wakeups: %.1f a second (voluntary context switches)\n", double(wakeups) / wall);
    if (got > 0)
        std::printf("  monitor replies: %d, one every %.1f ms\n", got, 1000.0 * wall / got);
    session.shutdown();
    unit.terminate();
    unit.waitForFinished(5000);
    return 0;
}
