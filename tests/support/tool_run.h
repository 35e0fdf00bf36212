#pragma once

#include <QString>
#include <QStringList>

namespace rvtest {

// One run of a command-line tool: exit code and both streams (-1 when it did not finish in time).
struct ToolRun
{
    int code = -1;
    QString out;
    QString err;
    qint64 elapsedMs = 0;
};

// Fails the running test when the tool's stderr holds a sanitizer's report: every tool run by a test is also
// checked for memory and undefined-behaviour faults, whatever its exit code was meant to be.
// `environment` adds "NAME=value" entries to the tool's environment (this process's own stays as it is).
ToolRun runTool(const QString& program, const QStringList& args, int timeoutMs = 60000,
                const QStringList& environment = {});

// The first line of an AddressSanitizer, LeakSanitizer or UndefinedBehaviorSanitizer report in `err`;
// empty when there is none.
QString sanitizerReport(const QString& err);

} // namespace rvtest
