#pragma once

// What the benchmarks against the virtual unit share: rvsim started on its own pseudo-terminal, and the
// event loop run until something is done.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QStringList>

#include <functional>

namespace rvbench {

inline bool waitFor(const std::function<bool()>& done, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
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
