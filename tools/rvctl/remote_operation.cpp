#include "remote_operation.h"

#include "console_text.h"
#include "stop_request.h"
#include "unit_operation.h"

#include "core/config/fcg_file.h"
#include "core/fleet/fleet_server.h"
#include "core/fleet/job_queue.h"
#include "core/link/allow_list.h"
#include "core/monitor/monitor_blocks.h"
#include "core/protocol/progress.h"
#include "core/protocol/remote_session.h"
#include "core/protocol/session_texts.h"

#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

#include <QDateTime>

#include <cstdio>
#include <memory>

namespace rvctl {

namespace {

constexpr int kDefaultWaitSeconds = 120; // a unit calls when its next GPRS session comes round

void err(const QString& s)
{
    QString line = s;
    line.replace(QLatin1String("\r\n"), QLatin1String(" ")).replace(u'\r', u' ').replace(u'\n', u' ');
    writeText(stderr, "rvctl: " + line + u'\n');
}

void out(const QString& s)
{
    writeText(stdout, s);
}

// The options both forms of serve take: where to listen and who may connect.
struct ListenArgs {
    quint16 port = 0;
    bool listen = false; // --listen was given
    QHostAddress address = QHostAddress(QHostAddress::Any);
    rv::AllowList allow;
    bool allowGiven = false; // --allow or --allow-file: a list that holds nothing then refuses to start
    rv::AllowedNets nets;
    bool netsGiven = false;
    int maxPerAddress = rv::kDefaultMaxPerAddress;
};

bool isListenOption(const QString& name)
{
    return name == QLatin1String("--listen") || name == QLatin1String("--address") || name == QLatin1String("--allow")
           || name == QLatin1String("--allow-file") || name == QLatin1String("--allow-net")
           || name == QLatin1String("--max-per-address");
}

// A list that was given but holds nothing is refused: it must not be read as "anyone may connect".
bool listsHoldSomething(const ListenArgs& a)
{
    if (a.allowGiven && a.allow.isEmpty()) {
        err(rv::emptyAllowListText(QStringLiteral("--allow/--allow-file")));
        return false;
    }
    if (a.netsGiven && a.nets.isEmpty()) {
        err(QStringLiteral("--allow-net: no network given; leave the option out to let any address connect"));
        return false;
    }
    return true;
}

// Takes one of those options; false (and the reason said) for a bad value.
bool takeListenOption(const QString& name, const QString& value, ListenArgs& a)
{
    bool ok = false;
    QString why;
    if (name == QLatin1String("--listen")) {
        const uint port = value.toUInt(&ok);
        ok = ok && port <= 65535;
        a.port = static_cast<quint16>(port);
        a.listen = ok;
    } else if (name == QLatin1String("--address")) {
        ok = a.address.setAddress(value);
    } else if (name == QLatin1String("--allow-net")) {
        const auto nets = rv::AllowedNets::parse(value, &why);
        ok = nets.has_value();
        a.netsGiven = true;
        if (ok)
            a.nets.merge(*nets);
    } else if (name == QLatin1String("--max-per-address")) {
        a.maxPerAddress = value.toInt(&ok);
        ok = ok && a.maxPerAddress >= 1 && a.maxPerAddress <= rv::TcpServer::kDefaultMaxConnections;
    } else {
        a.allowGiven = true;
        const auto list = name == QLatin1String("--allow") ? rv::AllowList::parse(value, &why)
                                                           : rv::AllowList::fromFile(value, &why);
        ok = list.has_value();
        if (ok)
            a.allow.merge(*list);
    }
    if (!ok)
        err(why.isEmpty() ? QStringLiteral("%1: bad value '%2'").arg(name, value) : QStringLiteral("%1: %2").arg(name, why));
    return ok;
}

struct ServeArgs : ListenArgs {
    int waitSeconds = kDefaultWaitSeconds;
    QString command; // info, read, write
    QString file;
    bool json = false;
};

std::optional<ServeArgs> parse(QStringList args)
{
    ServeArgs a;
    QStringList rest;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& name = args[i];
        if (!isListenOption(name) && name != QLatin1String("--wait")) {
            rest << name;
            continue;
        }
        if (i + 1 >= args.size()) {
            err(QStringLiteral("%1 needs a value").arg(name));
            return std::nullopt;
        }
        const QString value = args[++i];
        if (name != QLatin1String("--wait")) {
            if (!takeListenOption(name, value, a))
                return std::nullopt;
            continue;
        }
        bool ok = false;
        a.waitSeconds = value.toInt(&ok);
        if (!ok || a.waitSeconds <= 0 || a.waitSeconds > 24 * 3600) {
            err(QStringLiteral("%1: bad value '%2'").arg(name, value));
            return std::nullopt;
        }
    }
    if (!a.listen || rest.isEmpty() || !listsHoldSomething(a))
        return std::nullopt;
    a.command = rest.takeFirst();
    if (a.command == QLatin1String("info")) {
        a.json = rest.removeAll(QStringLiteral("--json")) > 0;
        if (!rest.isEmpty())
            return std::nullopt;
    } else if (a.command == QLatin1String("read") || a.command == QLatin1String("write")) {
        if (rest.size() != 1)
            return std::nullopt;
        a.file = rest.first();
    } else {
        return std::nullopt;
    }
    return a;
}

// The network session on its own: it listens, and runs the command on the first unit that greets.
class Serve : public QObject {
public:
    Serve(const ServeArgs& args, rv::ConfigRecords& records) : m_args(args), m_remote(records, m_monitor)
    {
        m_deadline.setSingleShot(true);
        connect(&m_deadline, &QTimer::timeout, this, [this] {
            finish(ExitFailed, QStringLiteral("no unit called within %1 s").arg(m_args.waitSeconds));
        });
        connect(&m_remote, &rv::RemoteSession::greeted, this, [this](const rv::remote::GreetingInfo&) {
            // The greeting's acknowledgement goes out after this signal: start once it has.
            QTimer::singleShot(0, this, &Serve::attached);
        });
        connect(&m_remote, &rv::RemoteSession::logLine, this, [](const QString& line) { err(line); });
        connect(&m_remote, &rv::UnitSession::notice, this, [this](const rv::Note& note) {
            if (m_exit >= 0)
                return;
            if (note.notice == rv::Notice::ConnectionClosed)
                unitLost();
            else
                err(rv::sessionWording().notice(note));
        });
        connect(&m_remote.progress(), &rv::ProgressWatchdog::changed, this, [this] {
            const QString label = m_remote.progress().label();
            if (!label.isEmpty() && label != m_lastProgress)
                err(m_lastProgress = label);
        });
        connect(&m_remote, &rv::UnitSession::operationEnded, this, [this](const rv::Outcome& o) {
            if (m_exit >= 0 || !m_running)
                return;
            if (o.result == rv::Result::Disconnected) {
                m_running = false; // the unit hung up, and may call again
                return;
            }
            const QString text = rv::sessionWording().closing(o);
            if (o.ok()) {
                err(text);
                finish(ExitOk);
            } else {
                finish(ExitFailed, text);
            }
        });
    }

    int exec()
    {
        rv::ServerSettings settings;
        settings.allow = m_args.allow;
        settings.nets = m_args.nets;
        settings.maxPerAddress = m_args.maxPerAddress;
        m_remote.setServerSettings(settings);
        if (m_args.allow.isEmpty())
            err(QStringLiteral("warning: no --allow or --allow-file: any unit that calls is served"));
        if (!m_remote.startServer(QString::number(m_args.port), m_args.address))
            return ExitFailed; // the reason has been said
        err(QStringLiteral("listening on %1:%2, waiting for a unit")
                .arg(m_args.address.toString()).arg(m_remote.server().port()));
        m_deadline.start(m_args.waitSeconds * 1000);
        QEventLoop loop;
        m_loop = &loop;
        if (m_exit < 0)
            loop.exec();
        m_loop = nullptr;
        return m_exit;
    }

private:
    void attached()
    {
        if (m_exit >= 0 || m_running)
            return;
        m_deadline.stop();
        const rv::remote::GreetingInfo& g = m_remote.greetingInfo();
        if (m_args.command == QLatin1String("info")) {
            const QString peer = m_remote.server().peer(m_remote.selected());
            if (m_args.json) {
                const QJsonObject o{{QStringLiteral("id"), g.unitId},
                                    {QStringLiteral("imei"), g.imei},
                                    {QStringLiteral("firmware"), g.firmware},
                                    {QStringLiteral("peer"), peer}};
                out(QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Indented)));
            } else {
                out(QStringLiteral("ID: %1\nIMEI: %2\nFirmware: %3\nPeer: %4\n").arg(g.unitId).arg(g.imei).arg(g.firmware).arg(peer));
            }
            finish(ExitOk);
            return;
        }
        m_running = true;
        if (m_args.command == QLatin1String("read"))
            m_remote.read();
        else
            m_remote.write();
    }

    // The unit hung up before its command was done: the server listens on, and a unit that calls again
    // within --wait gets the command from the start.
    void unitLost()
    {
        m_running = false;
        m_lastProgress.clear();
        err(QStringLiteral("the unit closed the connection; waiting %1 s for a unit to call again").arg(m_args.waitSeconds));
        m_deadline.start(m_args.waitSeconds * 1000);
    }

    void finish(int code, const QString& error = QString())
    {
        if (m_exit >= 0)
            return;
        m_exit = code;
        if (!error.isEmpty())
            err(error);
        m_deadline.stop();
        m_remote.progress().Progress_close();
        m_remote.stopServer();
        if (m_loop)
            m_loop->exit(code);
    }

    ServeArgs m_args;
    rv::MonitorBlocks m_monitor;
    rv::RemoteSession m_remote;
    QTimer m_deadline;
    QString m_lastProgress;
    bool m_running = false;
    int m_exit = -1;
    QEventLoop* m_loop = nullptr;
};

// ---- a fleet: jobs for every unit that calls, until a signal ---------------------------------------

struct JobArgs : ListenArgs {
    QString folder;
    rv::FleetOptions options;
    bool json = false;
};

std::optional<JobArgs> parseJobs(const QStringList& args)
{
    JobArgs a;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& name = args[i];
        if (name == QLatin1String("--json")) {
            a.json = true;
            continue;
        }
        if (name == QLatin1String("--close-idle")) {
            a.options.closeIdle = true;
            continue;
        }
        if (i + 1 >= args.size()) {
            err(QStringLiteral("%1 needs a value").arg(name));
            return std::nullopt;
        }
        const QString value = args[++i];
        if (isListenOption(name)) {
            if (!takeListenOption(name, value, a))
                return std::nullopt;
            continue;
        }
        bool ok = false;
        if (name == QLatin1String("--jobs")) {
            a.folder = value;
            ok = !value.isEmpty();
        } else if (name == QLatin1String("--job-timeout")) {
            const int seconds = value.toInt(&ok);
            ok = ok && seconds > 0 && seconds <= 3600;
            a.options.stepTimeoutMs = qint64(seconds) * 1000;
        } else {
            err(QStringLiteral("unknown option '%1'").arg(name));
            return std::nullopt;
        }
        if (!ok) {
            err(QStringLiteral("%1: bad value '%2'").arg(name, value));
            return std::nullopt;
        }
    }
    if (!a.listen || a.folder.isEmpty() || !listsHoldSomething(a))
        return std::nullopt;
    return a;
}

// One line per event: "2026-12-09T23:10:00 job-done 861234567890123 ID 1234 861234567890123.fcg ...", or
// the record as compact JSON with --json.
void printEvent(const QJsonObject& e, bool json)
{
    QJsonObject o = e;
    o.insert(QStringLiteral("time"), QDateTime::currentDateTime().toString(Qt::ISODate));
    if (json) {
        out(QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact)) + u'\n');
    } else {
        QStringList parts{o.value(QStringLiteral("time")).toString(), o.value(QStringLiteral("event")).toString()};
        if (o.contains(QStringLiteral("imei")))
            parts << o.value(QStringLiteral("imei")).toString() << QStringLiteral("ID %1").arg(o.value(QStringLiteral("id")).toInt());
        for (const char* key : {"file", "output", "reason", "text"}) {
            if (const QString v = o.value(QLatin1String(key)).toString(); !v.isEmpty())
                parts << v;
        }
        out(parts.join(u' ').replace(u'\n', u' ') + u'\n');
    }
    std::fflush(stdout);
}

int serveJobs(const QStringList& argList)
{
    const std::optional<JobArgs> args = parseJobs(argList);
    if (!args) {
        err(QStringLiteral("usage: rvctl %1").arg(QLatin1String(kServeJobsUsage)));
        return ExitUsage;
    }
    rv::JobQueue queue(args->folder);
    QString why;
    if (!queue.prepare(&why)) {
        err(why);
        return ExitFailed;
    }
    rv::NetworkUnits units;
    units.setAllowList(args->allow);
    units.setAllowedNets(args->nets);
    units.setMaxPerAddress(args->maxPerAddress);
    rv::FleetServer fleet(units, queue, args->options);
    QObject::connect(&fleet, &rv::FleetServer::event, [json = args->json](const QJsonObject& e) { printEvent(e, json); });
    if (args->allow.isEmpty())
        err(QStringLiteral("warning: no --allow or --allow-file: any unit that calls is served"));
    if (!units.start(args->port, args->address)) {
        err(QStringLiteral("cannot listen on port %1: %2").arg(args->port).arg(units.errorString()));
        return ExitFailed;
    }
    err(QStringLiteral("listening on %1:%2, jobs in %3").arg(args->address.toString()).arg(units.server().port()).arg(args->folder));
    fleet.scanFolder(); // files that are no job are said at once, and again whenever one appears

    // A stop request (SIGINT, SIGTERM; Ctrl+C or closing the console on Windows) ends the loop; the server
    // then closes every connection and the program exits 0.
    QEventLoop loop;
    const auto stop = quitOnStopRequest(loop);
    loop.exec();
    err(QStringLiteral("stopping: %1 job(s) left unfinished in the folder, %2 file(s) in it ignored (no job)")
            .arg(fleet.running()).arg(fleet.ignoredCount()));
    units.stop();
    return ExitOk;
}

} // namespace

int serve(const QStringList& argList)
{
    if (argList.contains(QStringLiteral("--jobs")))
        return serveJobs(argList);

    const std::optional<ServeArgs> args = parse(argList);
    if (!args) {
        err(QStringLiteral("usage: rvctl %1").arg(QLatin1String(kServeUsage)));
        return ExitUsage;
    }
    rv::ConfigRecords records;
    if (args->command == QLatin1String("write")) {
        // The same rule as every other open: a file of another size than a configuration's is refused.
        const rv::FcgOpenResult r = rv::openFcg(args->file, records);
        if (r.status == rv::FcgStatus::WrongSize) {
            err(QStringLiteral("%1: %2 bytes, a configuration file has %3; not writing it to the unit")
                    .arg(args->file).arg(r.fileSize).arg(rv::kFcgSize));
            return ExitFailed;
        }
        if (!r.ok()) {
            err(QStringLiteral("%1: %2").arg(args->file, rv::fcgStatusMessage(r.status)));
            return ExitFailed;
        }
    }
    Serve run(*args, records);
    const int code = run.exec();
    if (code != ExitOk || args->command != QLatin1String("read"))
        return code;
    if (rv::OutputFileResult saved; rv::saveFcg(args->file, records, &saved) != rv::FcgStatus::Ok) {
        err(rv::outputFileMessageEn(saved));
        return ExitFailed;
    }
    return ExitOk;
}

} // namespace rvctl
