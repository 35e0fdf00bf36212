// The charts' cost: the memory of an hour of monitor history, and the extra CPU of the chart window open on
// ten minutes of twelve series while the unit is polled. The polls are simulated at the session's cadence
// (a navigation block every 540 ms), so the figure is the window's own share, not the serial line's.

#include "core/monitor/monitor_history.h"
#include "ui/monitor/chart_view.h"
#include "ui/monitor/chart_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateTime>
#include <QEventLoop>
#include <QImage>
#include <QFile>
#include <QTimer>

#include <cmath>
#include <cstdio>
#include <ctime>

using namespace rv;
using namespace rv::chart;

namespace {

constexpr int64_t kPollMs = 540;

double cpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

long rssKb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

// A sample that moves like a vehicle's: speed, supply, tank and a few inputs.
Sample sampleAt(int64_t msecs, int n)
{
    Sample s;
    s.msecs = msecs;
    s.supply = uint16_t(365 + 50 * ((n / 200) % 2) + n % 5);
    s.battery = uint16_t(640 - n % 3);
    s.speed10 = uint16_t(420 + 80 * std::sin(n / 30.0));
    s.satellites = uint8_t(7 + n % 5);
    s.hdop10 = uint8_t(9 + n % 4);
    for (int i = 0; i < 8; ++i)
        s.inputs[size_t(i)] = uint16_t((100 * i + n % 37) % 1024);
    s.inStates = uint8_t((n / 40) % 16);
    s.fuel1 = uint16_t(400 + (n * 7) % 3000);
    s.canFuel = uint8_t(250 - n % 160);
    s.unitTemp = int8_t(28 + n % 3);
    return s;
}

// CPU seconds spent over `seconds` of event loop while a poll adds a sample every kPollMs.
double polling(History& h, ChartWindow& w, int& n, int seconds)
{
    QTimer poll;
    poll.setTimerType(Qt::PreciseTimer);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        h.add(sampleAt(QDateTime::currentMSecsSinceEpoch(), n++));
        w.historyChanged();
    });
    poll.start(int(kPollMs));
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    const double cpu0 = cpuSeconds();
    loop.exec();
    return cpuSeconds() - cpu0;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // bench_charts [SECONDS] [--png FILE]: FILE gets a picture of the window as measured.
    const QStringList args = QCoreApplication::arguments();
    const int seconds = args.size() > 1 && args[1].toInt() > 0 ? std::max(5, args[1].toInt()) : 30;
    const QString png = args.indexOf(QStringLiteral("--png")) > 0 ? args.value(args.indexOf(QStringLiteral("--png")) + 1)
                                                                : QString();

    // Memory: an hour of polls.
    const long rss0 = rssKb();
    auto* hour = new History;
    const int64_t now = QDateTime::currentMSecsSinceEpoch();
    const int hourPolls = int(History::kSpanMs / kPollMs);
    for (int i = 0; i < hourPolls; ++i)
        hour->add(sampleAt(now - History::kSpanMs + i * kPollMs, i));
    const long rss1 = rssKb();
    std::printf("history of 60 minutes at %lld ms: %lld samples held, %zu bytes a sample, ring of %lld: %.2f MB "
                "(resident memory grew %.2f MB)\n",
                (long long)kPollMs, (long long)hour->size(), sizeof(Sample), (long long)History::kCapacity,
                double(History::kCapacity * qsizetype(sizeof(Sample))) / (1024 * 1024), double(rss1 - rss0) / 1024);
    const QByteArray csvBytes = csv(*hour);
    std::printf("its CSV: %.2f MB\n", double(csvBytes.size()) / (1024 * 1024));
    delete hour;

    // CPU: ten minutes held, twelve series ticked, the window at its usual size.
    History h;
    int n = 0;
    for (int64_t t = now - 10 * 60 * 1000; t < now; t += kPollMs)
        h.add(sampleAt(t, n++));
    ChartWindow w(h);
    const Series twelve[] = {Supply, Battery, Speed, Satellites, Hdop, Input1, Input2, Input3, UnitTemp, Fuel1, CanFuel, InState1};
    for (int s = 0; s < SeriesCount; ++s)
        w.seriesBox(s)->setChecked(false);
    for (Series s : twelve)
        w.seriesBox(s)->setChecked(true);

    if (!png.isEmpty()) {
        w.show();
        QCoreApplication::processEvents();
        w.grab().save(png);
        return 0;
    }
    const double closed = polling(h, w, n, seconds);
    w.show();
    QCoreApplication::processEvents();
    const int paints0 = w.view()->paints();
    const double open = polling(h, w, n, seconds);
    const int paints = w.view()->paints() - paints0;
    std::printf("polling %d s every %lld ms: CPU %.3f s with the window closed, %.3f s open (%d redraws of %dx%d)\n",
                seconds, (long long)kPollMs, closed, open, paints, w.view()->width(), w.view()->height());
    std::printf("extra CPU of the open window: %.3f %% of a core (goal < 0.5 %%)\n", (open - closed) / seconds * 100);

    // One redraw, alone: painted into an image, and through the window's backing store.
    const int rounds = 100;
    QImage image(w.view()->size(), QImage::Format_ARGB32_Premultiplied);
    double c0 = cpuSeconds();
    for (int i = 0; i < rounds; ++i)
        w.view()->render(&image);
    const double painted = (cpuSeconds() - c0) / rounds * 1000;
    c0 = cpuSeconds();
    for (int i = 0; i < rounds; ++i)
        w.view()->repaint();
    std::printf("one redraw of 12 series over 10 minutes: %.2f ms of CPU painting, %.2f ms with the window's flush\n",
                painted, (cpuSeconds() - c0) / rounds * 1000);
    return 0;
}
