#include "support/rvsim_process.h"

#include "core/config/fcg_file.h"
#include "support/wait.h"

#include <QFile>

namespace rvtest {

RvsimProcess::RvsimProcess(const QString& program, QStringList args)
{
    start(program, std::move(args));
}

RvsimProcess::RvsimProcess(const QString& program, const rv::ConfigRecords& records, QStringList args)
{
    // The unit loads its state file at start.
    if (rv::saveFcg(statePath(), records) == rv::FcgStatus::Ok)
        start(program, std::move(args));
}

void RvsimProcess::start(const QString& program, QStringList args)
{
    args << QStringLiteral("--state") << statePath() << QStringLiteral("--log") << logPath()
         << QStringLiteral("--stats") << m_dir.filePath(QStringLiteral("stats.txt"))
         << QStringLiteral("--medium") << mediumPath() << QStringLiteral("--lifetime") << QStringLiteral("600");
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(program, args);
    if (!m_process.waitForStarted(kPatienceMs))
        return;
    QDeadlineTimer deadline(kPatienceMs);
    while (m_process.state() == QProcess::Running && !m_process.canReadLine() && !deadline.hasExpired())
        m_process.waitForReadyRead(1000);
    const QByteArray line = m_process.readLine().trimmed();
    if (line.startsWith("PTY "))
        m_pty = QString::fromLocal8Bit(line.mid(4));
}

RvsimProcess::~RvsimProcess()
{
    stop();
}

void RvsimProcess::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(kPatienceMs)) {
        m_process.kill();
        m_process.waitForFinished(kPatienceMs);
    }
}

QByteArray RvsimProcess::received() const
{
    QFile f(logPath());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

int RvsimProcess::count(const QByteArray& command) const
{
    QFile f(m_dir.filePath(QStringLiteral("stats.txt")));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : f.readAll().split('\n')) {
        const QList<QByteArray> parts = line.split(' ');
        if (parts.size() == 2 && parts[0] == command)
            return parts[1].toInt();
    }
    return 0;
}

} // namespace rvtest
