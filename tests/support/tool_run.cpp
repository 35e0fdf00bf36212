#include "support/tool_run.h"

#include <QElapsedTimer>
#include <QProcess>

namespace rvtest {

ToolRun runTool(const QString& program, const QStringList& args, int timeoutMs)
{
    QProcess p;
    QElapsedTimer clock;
    clock.start();
    p.start(program, args);
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return {};
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromLocal8Bit(p.readAllStandardOutput()), QString::fromLocal8Bit(p.readAllStandardError()),
            clock.elapsed()};
}

} // namespace rvtest
