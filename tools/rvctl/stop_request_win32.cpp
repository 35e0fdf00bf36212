#include "stop_request.h"

#include <QEventLoop>
#include <QMetaObject>

#include <atomic>

#include <windows.h>

namespace {

std::atomic<QEventLoop*> g_loop{nullptr};

// Runs on a thread of its own that the console starts for the event.
BOOL WINAPI onConsoleEvent(DWORD event)
{
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
        if (QEventLoop* loop = g_loop.load()) {
            QMetaObject::invokeMethod(loop, "quit", Qt::QueuedConnection);
            // After a close event Windows ends the process once the handler returns: give the loop a
            // moment to close the connections first.
            if (event == CTRL_CLOSE_EVENT)
                ::Sleep(2000);
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

class StopWatch : public QObject {
public:
    explicit StopWatch(QEventLoop& loop)
    {
        g_loop = &loop;
        ::SetConsoleCtrlHandler(onConsoleEvent, TRUE);
    }
    ~StopWatch() override
    {
        ::SetConsoleCtrlHandler(onConsoleEvent, FALSE);
        g_loop = nullptr;
    }
};

} // namespace

std::unique_ptr<QObject> quitOnStopRequest(QEventLoop& loop)
{
    return std::make_unique<StopWatch>(loop);
}
