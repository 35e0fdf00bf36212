#include "support/tool_run.h"

#include <QElapsedTimer>

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

SimProcess::SimProcess(const QString& program, const QStringList& args) : m_process(std::make_unique<QProcess>())
{
    m_process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process->start(program, args);
    if (!m_process->waitForStarted(10000))
        return;
    while (!m_process->canReadLine() && m_process->waitForReadyRead(10000)) {
    }
    const QByteArray line = m_process->readLine().trimmed();
    if (line.startsWith("PTY "))
        m_pty = QString::fromLocal8Bit(line.mid(4));
}

SimProcess::~SimProcess()
{
    if (m_process->state() != QProcess::NotRunning) {
        m_process->terminate();
        if (!m_process->waitForFinished(5000))
            m_process->kill();
        m_process->waitForFinished();
    }
}

} // namespace rvtest
