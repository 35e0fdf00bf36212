#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

namespace rvtest {

// Runs the event loop until `done()` holds or `ms` pass; returns whether it held.
template <typename Pred>
bool waitUntil(Pred done, int ms = 3000)
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
