#pragma once

// What the benchmarks against the virtual unit share: rvsim started on its own pseudo-terminal, and the
// event loop run until something is done.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QStringList>
#include <QTimer>

#include <functional>

namespace rvbench {

// The event loop sleeps between events, as the program's does: a busy loop here would take a core from
// the virtual unit and the port's thread, and the figures would be the machine's, not the program's.
inline bool waitFor(const std::function<bool()>& done, int ms)
{
    if (done())
        return true;
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    check.start(1);
    loop.exec();
    return done();
}

// Starts rvsim with `args` in `unit`; the pseudo-terminal it opened, or an empty name.
inline QString startUnit(QProcess& unit, const QStringList& args)
{
    unit.start(QStringLiteral(RVSIM_PATH), args);
    if (!unit.waitForStarted() || !unit.waitForReadyRead(5000))
        return {};
    return QString::fromLocal8Bit(unit.readLine().trimmed().mid(4));
}

} // namespace rvbench
