#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

#include <memory>

namespace rvtest {

// One run of a command-line tool: exit code and both streams (-1 when it did not finish in time).
struct ToolRun
{
    int code = -1;
    QString out;
    QString err;
    qint64 elapsedMs = 0;
};

ToolRun runTool(const QString& program, const QStringList& args, int timeoutMs = 60000);

// The virtual unit as a separate process on its own pseudo-terminal. Stopped (SIGTERM) on destruction.
class SimProcess
{
public:
    // Starts `program` with `args` and waits for its "PTY /dev/pts/N" line; ok() tells whether it came.
    SimProcess(const QString& program, const QStringList& args);
    ~SimProcess();

    bool ok() const { return !m_pty.isEmpty(); }
    QString pty() const { return m_pty; }

private:
    std::unique_ptr<QProcess> m_process;
    QString m_pty;
};

} // namespace rvtest
