// rvctl: the configuration records from the command line. Each command is one row of kCommands: a name,
// its usage line, a summary for --help and a handler that returns the exit code.

#include "core/config/fcg_file.h"
#include "core/config/record_text.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>
#include <span>

namespace {

enum Exit { ExitOk = 0, ExitDiffers = 1, ExitUsage = 2, ExitFailed = 3 };

void out(const QString& s) { std::fputs(s.toLocal8Bit().constData(), stdout); }
void err(const QString& s) { std::fputs((s + u'\n').toLocal8Bit().constData(), stderr); }

using Handler = int (*)(const QStringList& args);

int usage(const char* line)
{
    err(QStringLiteral("usage: rvctl %1").arg(QLatin1String(line)));
    return ExitUsage;
}

struct Command
{
    const char* name;
    const char* usage;
    const char* summary;
    Handler run;
};

// Opens FILE into zeroed records; the message names the file on failure.
bool openFile(const QString& path, rv::ConfigRecords& records)
{
    const rv::FcgOpenResult r = rv::openFcg(path, records);
    if (!r.ok()) {
        err(QStringLiteral("%1: %2").arg(path, rv::fcgStatusMessage(r.status)));
        return false;
    }
    if (r.fileSize != rv::kFcgSize)
        err(QStringLiteral("%1: warning: %2 bytes, a configuration file has %3; missing bytes read as zero")
                .arg(path).arg(r.fileSize).arg(rv::kFcgSize));
    return true;
}

int cmdDump(const QStringList& args)
{
    const bool json = args.contains(QStringLiteral("--json"));
    QStringList files = args;
    files.removeAll(QStringLiteral("--json"));
    if (files.size() != 1)
        return usage("dump FILE.fcg [--json]");
    rv::ConfigRecords records;
    if (!openFile(files[0], records))
        return ExitFailed;
    out(json ? QString::fromUtf8(rv::dumpJson(records)) : rv::dumpText(records));
    return ExitOk;
}

int cmdDiff(const QStringList& args)
{
    if (args.size() != 2)
        return usage("diff A.fcg B.fcg");
    rv::ConfigRecords a, b;
    if (!openFile(args[0], a) || !openFile(args[1], b))
        return ExitFailed;
    const auto changes = rv::diffRecords(a, b);
    out(rv::formatChanges(changes));
    return changes.isEmpty() ? ExitOk : ExitDiffers;
}

int cmdSet(const QStringList& args)
{
    if (args.size() < 2)
        return usage("set FILE.fcg NAME=VALUE ...");
    rv::ConfigRecords records;
    if (!openFile(args[0], records))
        return ExitFailed;
    for (const QString& a : args.mid(1)) {
        const rv::AssignResult r = rv::assignField(records, a);
        if (!r.ok()) {
            err(QStringLiteral("%1: %2").arg(r.name, rv::fieldErrorText(r.error)));
            return ExitUsage; // a bad assignment is a bad argument; the file is left as it was
        }
    }
    if (const rv::FcgStatus s = rv::saveFcg(args[0], records); s != rv::FcgStatus::Ok) {
        err(QStringLiteral("%1: %2").arg(args[0], rv::fcgStatusMessage(s)));
        return ExitFailed;
    }
    return ExitOk;
}

int cmdHelp(const QStringList&);

const Command kCommands[] = {
    {"dump", "dump FILE.fcg [--json]", "print every field of the three records by name", cmdDump},
    {"diff", "diff A.fcg B.fcg", "print the fields that differ (exit 1 when any do)", cmdDiff},
    {"set", "set FILE.fcg NAME=VALUE ...", "set fields (NAME[i] for arrays) and rewrite the file", cmdSet},
};

QString helpText()
{
    QString s = QStringLiteral("Usage: rvctl COMMAND ARGS\n\nCommands:\n");
    for (const Command& c : kCommands)
        s += QStringLiteral("  %1\n      %2\n").arg(QLatin1String(c.usage), QLatin1String(c.summary));
    s += QStringLiteral("  --help\n      this text\n\n"
                        "Exit codes: 0 success, 1 diff found differences, 2 usage error, 3 a file failed.\n");
    return s;
}

int cmdHelp(const QStringList&)
{
    out(helpText());
    return ExitOk;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty()) {
        err(helpText());
        return ExitUsage;
    }
    const QString name = args.takeFirst();
    if (name == QLatin1String("--help") || name == QLatin1String("-h") || name == QLatin1String("help"))
        return cmdHelp(args);
    for (const Command& c : kCommands) {
        if (name == QLatin1String(c.name))
            return c.run(args);
    }
    err(QStringLiteral("rvctl: unknown command '%1'\n\n").arg(name) + helpText());
    return ExitUsage;
}
