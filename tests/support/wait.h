#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

namespace rvtest {

// How long a test waits for something that is bound to happen: generous, so that a loaded machine (a
// parallel build, sanitizers, other tests) only makes a test slower, never makes it fail. A condition
// that holds ends the wait at once.
inline constexpr int kPatienceMs = 60'000;

// Runs the event loop until `done()` holds or `ms` pass; returns whether it held.
template <typename Pred>
bool waitUntil(Pred done, int ms = kPatienceMs)
{
    QDeadlineTimer deadline(ms);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

} // namespace rvtest
