#include "support/tool_run.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <gtest/gtest.h>

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
    ToolRun r{p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
              QString::fromLocal8Bit(p.readAllStandardOutput()), QString::fromLocal8Bit(p.readAllStandardError()),
              clock.elapsed()};
    if (const QString report = sanitizerReport(r.err); !report.isEmpty())
        ADD_FAILURE() << qPrintable(QFileInfo(program).fileName()) << " " << qPrintable(args.join(u' ')) << ": "
                      << qPrintable(report) << "\n" << qPrintable(r.err.right(4000));
    return r;
}

QString sanitizerReport(const QString& err)
{
    for (const QString& line : err.split(u'\n'))
        if (line.contains(QLatin1String("ERROR: AddressSanitizer")) || line.contains(QLatin1String("ERROR: LeakSanitizer"))
            || line.contains(QLatin1String("runtime error:")) || line.contains(QLatin1String("SUMMARY: UndefinedBehaviorSanitizer")))
            return line.trimmed();
    return {};
}

} // namespace rvtest
