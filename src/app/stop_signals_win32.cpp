#include "stop_signals.h"

#include <QTimer>

#include <csignal>

namespace rv {

namespace {

volatile std::sig_atomic_t g_stopAsked = 0;
extern "C" void onStopSignal(int) { g_stopAsked = 1; }

} // namespace

void onStopSignals(QObject* context, std::function<void()> stop)
{
    std::signal(SIGINT, onStopSignal);
    std::signal(SIGTERM, onStopSignal);
    auto* watch = new QTimer(context);
    QObject::connect(watch, &QTimer::timeout, context, [stop = std::move(stop)] {
        if (g_stopAsked) {
            g_stopAsked = 0;
            stop();
        }
    });
    watch->start(200);
}

} // namespace rv
