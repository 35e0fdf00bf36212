#pragma once

#include "core/config/records.h"

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

namespace rvtest {

// The virtual unit as a child process on its own pseudo-terminal. Stopping it (or its exit) is like
// pulling the unit's cable. Its byte log, command counts and records live in a temporary folder.
class RvsimProcess {
public:
    // `program` is the path of rvsim (RVSIM_PATH in the e2e tests).
    explicit RvsimProcess(const QString& program, QStringList args = {});
    // A unit that holds `records` from the start instead of its own configuration.
    RvsimProcess(const QString& program, const rv::ConfigRecords& records, QStringList args = {});
    ~RvsimProcess();

    bool started() const { return !m_pty.isEmpty(); }
    QString pty() const { return m_pty; }
    QString statePath() const { return m_dir.filePath(QStringLiteral("unit.fcg")); }
    QString logPath() const { return m_dir.filePath(QStringLiteral("received.bin")); }
    // The unit's storage medium: one folder per area ("1" logs, "3" voice, "4" route).
    QString mediumPath() const { return m_dir.filePath(QStringLiteral("medium")); }
    QByteArray received() const;              // every byte the unit received, in order
    int count(const QByteArray& command) const; // how often it received a command word
    void stop();                              // SIGTERM and wait

private:
    void start(const QString& program, QStringList args);

    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_pty;
};

} // namespace rvtest
