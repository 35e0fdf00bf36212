#include "stop_request.h"

#include <QEventLoop>
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

int g_stopPipe[2] = {-1, -1};

void onStopSignal(int)
{
    const char c = 1;
    [[maybe_unused]] auto r = ::write(g_stopPipe[1], &c, 1);
}

// The signal handler writes one byte into a pipe; the notifier turns it into an event of the loop.
class StopWatch : public QObject {
public:
    explicit StopWatch(QEventLoop& loop)
    {
        if (::pipe(g_stopPipe) != 0)
            return;
        ::fcntl(g_stopPipe[1], F_SETFL, O_NONBLOCK);
        m_notifier = new QSocketNotifier(g_stopPipe[0], QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, &loop, [&loop] { loop.quit(); });
        std::signal(SIGTERM, onStopSignal);
        std::signal(SIGINT, onStopSignal);
    }
    ~StopWatch() override
    {
        if (!m_notifier)
            return;
        std::signal(SIGTERM, SIG_DFL);
        std::signal(SIGINT, SIG_DFL);
        delete m_notifier;
        ::close(g_stopPipe[0]);
        ::close(g_stopPipe[1]);
        g_stopPipe[0] = g_stopPipe[1] = -1;
    }

private:
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace

std::unique_ptr<QObject> quitOnStopRequest(QEventLoop& loop)
{
    return std::make_unique<StopWatch>(loop);
}
