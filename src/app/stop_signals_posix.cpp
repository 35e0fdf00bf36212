#include "stop_signals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace rv {

namespace {

// The handler only writes a byte to a pipe; the event loop wakes for it, and for nothing else.
int g_stopPipe[2] = {-1, -1};

extern "C" void onStopSignal(int)
{
    const int saved = errno;
    [[maybe_unused]] const ssize_t n = ::write(g_stopPipe[1], "s", 1); // a full pipe has a stop waiting already
    errno = saved;
}

} // namespace

void onStopSignals(QObject* context, std::function<void()> stop)
{
    if (g_stopPipe[0] < 0 && ::pipe2(g_stopPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto* notifier = new QSocketNotifier(g_stopPipe[0], QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context, [stop = std::move(stop)] {
        char drain[16];
        while (::read(g_stopPipe[0], drain, sizeof drain) > 0) {}
        stop();
    });
    std::signal(SIGINT, onStopSignal);
    std::signal(SIGTERM, onStopSignal);
}

} // namespace rv
