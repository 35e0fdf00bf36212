#pragma once

// rvctl serve running in the background on loopback; the port it listens on is read from its first lines.

#include "support/wait.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStringList>

namespace rvtest {

struct ServeProcess {
    QProcess process;
    QString err;
    quint16 port = 0;

    // `program` is rvctl; `args` follow "serve --listen 0 --address 127.0.0.1"; `environment` adds
    // "NAME=value" entries to rvctl's environment.
    ServeProcess(const QString& program, const QStringList& args, const QStringList& environment = {})
    {
        if (!environment.isEmpty()) {
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            for (const QString& e : environment)
                env.insert(e.section(u'=', 0, 0), e.section(u'=', 1));
            process.setProcessEnvironment(env);
        }
        process.start(program, QStringList{QStringLiteral("serve"), QStringLiteral("--listen"), QStringLiteral("0"),
                                           QStringLiteral("--address"), QStringLiteral("127.0.0.1")} + args);
        process.setReadChannel(QProcess::StandardError); // the port is said on stderr
        const QRegularExpression listening(QStringLiteral("listening on 127\\.0\\.0\\.1:(\\d+)"));
        while (port == 0 && process.waitForReadyRead(kPatienceMs)) {
            err += QString::fromLocal8Bit(process.readAllStandardError());
            if (const auto m = listening.match(err); m.hasMatch())
                port = static_cast<quint16>(m.captured(1).toUInt());
        }
    }
    ~ServeProcess()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished();
        }
    }
    // Waits for the end; the exit code (-1: killed or crashed).
    int finish()
    {
        if (!process.waitForFinished(2 * kPatienceMs))
            process.kill();
        err += QString::fromLocal8Bit(process.readAllStandardError());
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }
    QString tcp() const { return QStringLiteral("127.0.0.1:%1").arg(port); }
};

} // namespace rvtest
