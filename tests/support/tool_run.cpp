#include "support/tool_run.h"

#include <QElapsedTimer>
#include <QProcess>

namespace rvtest {

ToolRun runTool(const QString& program, const QStringList& args, int timeoutMs, const QStringList& environment)
{
    QProcess p;
    if (!environment.isEmpty()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const QString& e : environment)
            env.insert(e.section(u'=', 0, 0), e.section(u'=', 1));
        p.setProcessEnvironment(env);
    }
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
