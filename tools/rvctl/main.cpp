// rvctl: the configuration records from the command line, offline on .fcg files and on a unit through the
// same session controller as the main window. Each command is one row of kCommands: a name, its usage line,
// a summary for --help and a handler that returns the exit code.

#include "console_text.h"
#include "remote_operation.h"
#include "unit_operation.h"

#include "core/config/defaults.h"
#include "core/config/fcg_file.h"
#include "core/config/record_diff.h"
#include "core/config/packet_structure.h"
#include "core/config/record_text.h"
#include "core/base/input_file.h"
#include "core/firmware/firmware_update.h"
#include "core/link/port_list.h"
#include "core/link/serial_link.h"
#include "core/protocol/device_session.h"
#include "core/track/track_packet.h"
#include "core/version.h"

#include <QCoreApplication>
#include <QFile>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <limits>
#include <span>

namespace {

using namespace rvctl;

void out(const QString& s) { writeText(stdout, s); }
void err(const QString& s) { writeText(stderr, s + u'\n'); }

// Options that may stand anywhere on the line; the unit commands use them.
struct Globals
{
    QString port;
    std::optional<uint16_t> password;
    int timeoutSeconds = 10;
};

using Handler = int (*)(const QStringList& args, const Globals& g);

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

// Says why a configuration file did not open: a FIFO, a device or a folder is named for what it is;
// anything else as the loader said.
void fcgFailed(const QString& path, const rv::FcgOpenResult& r)
{
    QFile probe;
    const rv::InputFileError e = rv::openInputFile(probe, path, std::numeric_limits<qint64>::max());
    err(rv::refusedInputFile(e) ? rv::inputFileMessageEn(path, e, 0)
                                : QStringLiteral("%1: %2").arg(path, rv::fcgStatusMessage(r.status)));
}

// Opens FILE into zeroed records; the message names the file on failure. A file of another size than a
// configuration's is refused here for every command, by the same rule as the window's "Открыть".
bool openFile(const QString& path, rv::ConfigRecords& records)
{
    const rv::FcgOpenResult r = rv::openFcg(path, records);
    if (r.status == rv::FcgStatus::WrongSize) {
        err(QStringLiteral("%1: %2 bytes, a configuration file has %3; not a configuration file")
                .arg(path).arg(r.fileSize).arg(rv::kFcgSize));
        return false;
    }
    if (!r.ok()) {
        fcgFailed(path, r);
        return false;
    }
    return true;
}

int cmdDump(const QStringList& args, const Globals&)
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

UnitOptions unitOptions(const Globals& g);

int cmdDiff(const QStringList& args, const Globals& g)
{
    QStringList files = args;
    const bool byField = files.removeAll(QStringLiteral("--fields")) > 0;
    const bool unit = !g.port.isEmpty() && files.size() == 1;
    if (files.size() != 2 && !unit)
        return usage("diff A.fcg B.fcg [--fields] | --port PATH diff FILE.fcg");
    rv::ConfigRecords a, b;
    if (unit) {
        // What writing FILE would change on the unit: the unit's records are A.
        if (!openFile(files[0], b))
            return ExitFailed;
        UnitOperation op(UnitOperation::Kind::Read, unitOptions(g), a);
        if (const int code = op.exec(); code != ExitOk)
            return code;
    } else if (!openFile(files[0], a) || !openFile(files[1], b)) {
        return ExitFailed;
    }
    if (byField) {
        const auto changes = rv::diffRecords(a, b);
        out(rv::formatChanges(changes));
        return changes.isEmpty() ? ExitOk : ExitDiffers;
    }
    // Named as the editor pages name them, in the text the pages show; what writing B over A would change.
    const auto differences = rv::compareRecords(a, b);
    out(rv::formatDifferences(differences));
    return differences.isEmpty() ? ExitOk : ExitDiffers;
}

int cmdSet(const QStringList& args, const Globals&)
{
    if (args.size() < 2)
        return usage("set FILE.fcg NAME=VALUE ...");
    // A file of another size is refused: rewriting it would make a half-replaced configuration look whole.
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
    // Only the fields named change: the bytes between the records and any tail past them stay.
    if (rv::OutputFileResult saved; rv::rewriteFcgRecords(args[0], records, &saved) != rv::FcgStatus::Ok) {
        err(rv::outputFileMessageEn(saved));
        return ExitFailed;
    }
    return ExitOk;
}

// The unit commands need a port; an operation runs on the event loop and says its own failures.
UnitOptions unitOptions(const Globals& g)
{
    UnitOptions o;
    o.port = g.port;
    o.password = g.password;
    o.discoverySeconds = g.timeoutSeconds;
    return o;
}

int cmdInfo(const QStringList& args, const Globals& g)
{
    const bool json = args.contains(QStringLiteral("--json"));
    QStringList rest = args;
    rest.removeAll(QStringLiteral("--json"));
    if (g.port.isEmpty() || !rest.isEmpty())
        return usage("--port PATH info [--json]");
    rv::ConfigRecords records;
    UnitOperation op(UnitOperation::Kind::Info, unitOptions(g), records);
    const int code = op.exec();
    if (code == ExitOk)
        out(json ? QString::fromUtf8(infoJson(op.info())) : infoText(op.info()));
    return code;
}

int cmdRead(const QStringList& args, const Globals& g)
{
    if (g.port.isEmpty() || args.size() != 1)
        return usage("--port PATH read FILE.fcg");
    rv::ConfigRecords records;
    UnitOperation op(UnitOperation::Kind::Read, unitOptions(g), records);
    if (const int code = op.exec(); code != ExitOk)
        return code;
    if (rv::OutputFileResult saved; rv::saveFcg(args[0], records, &saved) != rv::FcgStatus::Ok) {
        err(rv::outputFileMessageEn(saved));
        return ExitFailed;
    }
    return ExitOk;
}

int cmdWrite(const QStringList& args, const Globals& g)
{
    QStringList files = args;
    const bool showChanges = files.removeAll(QStringLiteral("--show-changes")) > 0;
    if (g.port.isEmpty() || files.size() != 1)
        return usage("--port PATH write FILE.fcg [--show-changes]");
    // A short file would leave part of a record as zeros, and zeros would go to the unit as settings.
    rv::ConfigRecords records;
    if (!openFile(files[0], records))
        return ExitFailed;
    if (showChanges) {
        // What the write changes, against what the unit holds now: the same list as the window's "Записать".
        rv::ConfigRecords unit;
        UnitOperation read(UnitOperation::Kind::Read, unitOptions(g), unit);
        if (const int code = read.exec(); code != ExitOk)
            return code;
        const auto changes = rv::compareRecords(unit, records);
        out(changes.isEmpty() ? QStringLiteral("no changes\n") : rv::formatDifferences(changes));
        std::fflush(stdout);
    }
    UnitOperation op(UnitOperation::Kind::Write, unitOptions(g), records);
    return op.exec();
}

// Finds the unit (running its program or its bootloader), then replaces its program with IMAGE.
int cmdFlash(const QStringList& args, const Globals& g)
{
    if (g.port.isEmpty() || args.size() != 1)
        return usage("--port PATH flash IMAGE.bin");
    // A file that is no image is refused before the unit is touched.
    QFile image;
    if (const rv::InputFileError e = rv::openInputFile(image, args[0], rv::kFirmwareMaxFileSize);
        e != rv::InputFileError::None) {
        err(rv::inputFileMessageEn(args[0], e, rv::kFirmwareMaxFileSize));
        return ExitFailed;
    }
    image.close();
    rv::SerialLink link;
    rv::SessionController session(link);
    session.setPortName(g.port);
    rv::FirmwareUpdate fw(session);
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    int code = -1;
    const auto finish = [&](int c, const QString& why = QString()) {
        if (code != -1)
            return;
        code = c;
        if (!why.isEmpty())
            err(why);
        loop.quit();
    };
    bool started = false;
    const auto start = [&] {
        if (started)
            return;
        started = true;
        deadline.stop();
        if (!fw.openImage(args[0], session.session().DeviceType))
            return finish(ExitFailed);
        err(QStringLiteral("flashing %1 (%2, %3)").arg(args[0], fw.header().versionText(), fw.header().buildText()));
        fw.program();
    };
    QObject::connect(&fw, &rv::FirmwareUpdate::message, [&](const QString& t) {
        if (started)
            err(QString(t).replace(u'\r', u' '));
    });
    int shownPercent = -1;
    QObject::connect(&fw, &rv::FirmwareUpdate::progressChanged, [&](int permille) {
        if (!started || permille / 10 == shownPercent)
            return;
        shownPercent = permille / 10;
        err(QStringLiteral("%1%").arg(shownPercent));
    });
    QObject::connect(&fw, &rv::FirmwareUpdate::finished, [&](bool ok) {
        finish(ok ? ExitOk : ExitFailed);
    });
    QObject::connect(&session, &rv::SessionController::deviceConnected, [&] { QTimer::singleShot(0, start); });
    QObject::connect(&session, &rv::SessionController::bootloaderMode, [&] { QTimer::singleShot(0, start); });
    QObject::connect(&deadline, &QTimer::timeout, [&] {
        finish(ExitFailed, QStringLiteral("%1: no unit answers").arg(g.port));
    });
    session.start();
    deadline.start(g.timeoutSeconds * 1000);
    loop.exec();
    session.shutdown();
    return code;
}

// The unit's track memory into a raw file, and raw files into tracks.
constexpr char kTrackReadUsage[] = "--port PATH track read (--server 1|2 | --range FIRST COUNT) OUT.bin";
constexpr char kTrackExportUsage[] = "track export IN.bin OUT.plt|OUT.wln|OUT.gpx|OUT.kml|OUT.bin [--config FILE.fcg]";

int trackRead(const QStringList& args, const Globals& g)
{
    rv::TrackRead::Request request;
    QString outPath;
    bool chosen = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--server") && i + 1 < args.size() && !chosen) {
            const QString v = args[++i];
            if (v != QLatin1String("1") && v != QLatin1String("2")) {
                err(QStringLiteral("--server: 1 or 2, not '%1'").arg(v));
                return ExitUsage;
            }
            request.type = rv::TrackRead::Undelivered;
            request.server = static_cast<uint8_t>(v.toUInt() - 1);
            chosen = true;
        } else if (a == QLatin1String("--range") && i + 2 < args.size() && !chosen) {
            const auto first = rv::parseDumpStart(args[i + 1]);
            const auto count = rv::parseDumpCount(args[i + 2]);
            if (!first || !count) {
                err(QStringLiteral("--range: FIRST is 0..4294967295 and COUNT 0..65535, not '%1 %2'")
                        .arg(args[i + 1], args[i + 2]));
                return ExitUsage;
            }
            request.type = rv::TrackRead::Range;
            request.first = *first;
            request.count = *count;
            chosen = true;
            i += 2;
        } else if (!a.startsWith(QLatin1String("--")) && outPath.isEmpty()) {
            outPath = a;
        } else {
            return usage(kTrackReadUsage);
        }
    }
    if (g.port.isEmpty() || !chosen || outPath.isEmpty())
        return usage(kTrackReadUsage);
    rv::ConfigRecords records;
    UnitOptions o = unitOptions(g);
    o.track = request;
    UnitOperation op(UnitOperation::Kind::Track, o, records);
    if (const int code = op.exec(); code != ExitOk)
        return code; // nothing is written: a file holds only a whole read
    const QByteArray bytes = op.trackBytes();
    if (bytes.size() != qsizetype(op.trackAnnounced())) {
        err(QStringLiteral("the unit announced %1 bytes and sent %2; nothing saved").arg(op.trackAnnounced()).arg(bytes.size()));
        return ExitFailed;
    }
    if (const rv::OutputFileResult saved = rv::track::saveExport(outPath, bytes); !saved.ok()) {
        err(rv::outputFileMessageEn(saved));
        return ExitFailed;
    }
    out(QStringLiteral("%1 bytes, %2 packets\n").arg(bytes.size()).arg(rv::track::pointCount(bytes.size())));
    // The rate of the whole read, from the request to the last block, for measuring the link.
    const qint64 ms = std::max<qint64>(1, op.operationMs());
    err(QStringLiteral("read in %1 s: %2 bytes/s").arg(double(ms) / 1000, 0, 'f', 2).arg(qint64(bytes.size()) * 1000 / ms));
    return ExitOk;
}

int trackExport(const QStringList& args)
{
    QStringList files;
    QString configPath;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--config") && i + 1 < args.size())
            configPath = args[++i];
        else if (args[i].startsWith(QLatin1String("--")))
            return usage(kTrackExportUsage);
        else
            files << args[i];
    }
    if (files.size() != 2)
        return usage(kTrackExportUsage);
    const auto format = rv::track::formatOfName(files[1]);
    if (!format) {
        err(QStringLiteral("%1: the name must end in .plt, .wln, .gpx, .kml or .bin").arg(files[1]));
        return ExitUsage;
    }
    // The Wialon parameters follow the packet structure of a configuration: the file given, else the defaults.
    rv::ConfigRecords records;
    if (!configPath.isEmpty()) {
        if (!openFile(configPath, records))
            return ExitFailed;
    } else {
        rv::loadStartDefaults(records);
    }
    // No unit's memory holds more than a read can bring.
    constexpr qint64 kMaxTrack = rv::TrackRead::kMaxMemorySize;
    const rv::InputFileBytes in = rv::readInputFile(files[0], kMaxTrack);
    if (!in.ok()) {
        err(rv::inputFileMessageEn(files[0], in.error, kMaxTrack));
        return ExitFailed;
    }
    const QByteArray& bytes = in.bytes;
    rv::track::ExportResult r;
    if (const rv::OutputFileResult saved =
            rv::track::saveTrack(files[1], *format, bytes, rv::packet::packetChoice(records.config), &r);
        !saved.ok()) {
        err(rv::outputFileMessageEn(saved));
        return ExitFailed;
    }
    if (bytes.size() % rv::track::kPacketSize != 0)
        err(QStringLiteral("warning: %1 bytes after the last whole packet are left out").arg(bytes.size() % rv::track::kPacketSize));
    QString line = QStringLiteral("%1 packets, %2 written, %3 with a wrong check value left out")
                       .arg(r.packets).arg(r.written).arg(r.damaged);
    if (*format == rv::track::ExportFormat::Gpx || *format == rv::track::ExportFormat::Kml)
        line += QStringLiteral(", %1 without a valid position left out, %2 segments").arg(r.invalid).arg(r.segments);
    if (*format == rv::track::ExportFormat::Kml)
        line += QStringLiteral(", %1 stops").arg(r.stops);
    out(line + QLatin1Char('\n'));
    return ExitOk;
}

int cmdTrack(const QStringList& args, const Globals& g)
{
    if (!args.isEmpty() && args[0] == QLatin1String("read"))
        return trackRead(args.mid(1), g);
    if (!args.isEmpty() && args[0] == QLatin1String("export"))
        return trackExport(args.mid(1));
    err(QStringLiteral("usage: rvctl %1\n       rvctl %2").arg(QLatin1String(kTrackReadUsage), QLatin1String(kTrackExportUsage)));
    return ExitUsage;
}

// The serial ports as the port dialog lists them: adapters first, each with what stands behind it.
int cmdPorts(const QStringList& args, const Globals&)
{
    QStringList rest = args;
    const bool json = rest.removeAll(QStringLiteral("--json")) > 0;
    if (!rest.isEmpty())
        return usage("ports [--json]");
    const QList<rv::PortInfo> ports = rv::listPorts();
    const auto stateName = [](rv::PortInfo::State s) {
        switch (s) {
        case rv::PortInfo::State::Free: return QStringLiteral("free");
        case rv::PortInfo::State::Busy: return QStringLiteral("busy");
        case rv::PortInfo::State::NoAccess: return QStringLiteral("no-access");
        }
        return QString();
    };
    if (json) {
        QJsonArray list;
        for (const rv::PortInfo& p : ports)
            list.append(QJsonObject{{QStringLiteral("name"), p.name},
                                    {QStringLiteral("description"), p.description},
                                    {QStringLiteral("usb"), p.usb},
                                    {QStringLiteral("hardware"), p.hardware},
                                    {QStringLiteral("state"), stateName(p.state)}});
        out(QString::fromUtf8(QJsonDocument(list).toJson(QJsonDocument::Indented)));
        return ExitOk;
    }
    if (ports.isEmpty())
        err(QStringLiteral("no serial ports found"));
    qsizetype width = 0;
    for (const rv::PortInfo& p : ports)
        width = std::max(width, p.name.size());
    for (const rv::PortInfo& p : ports) {
        QString what = p.description;
        if (what.isEmpty())
            what = p.usb ? QStringLiteral("USB adapter")
                 : p.hardware ? QStringLiteral("serial port of the computer")
                              : QStringLiteral("nothing known behind it");
        if (p.state == rv::PortInfo::State::Busy)
            what += QStringLiteral("  [busy: held by another program]");
        else if (p.state == rv::PortInfo::State::NoAccess)
            what += QStringLiteral("  [no access: see the port's group]");
        out(p.name.leftJustified(width) + QStringLiteral("  ") + what + u'\n');
    }
    return ExitOk;
}

int cmdServe(const QStringList& args, const Globals&)
{
    return rvctl::serve(args);
}

int cmdHelp(const QStringList&, const Globals&);

const Command kCommands[] = {
    {"ports", "ports [--json]", "list the serial ports, USB adapters first, each with the adapter's maker, "
     "product and serial number, and whether another program holds it", cmdPorts},
    {"dump", "dump FILE.fcg [--json]", "print every field of the three records by name", cmdDump},
    {"diff", "diff A.fcg B.fcg [--fields]", "print what differs, named as the pages name it (--fields: by field name; exit 1 when any do)", cmdDiff},
    {"diff", "--port PATH diff FILE.fcg", "print what writing FILE would change on the unit (exit 1 when anything would)", cmdDiff},
    {"set", "set FILE.fcg NAME=VALUE ...", "set fields (NAME[i] for arrays) and rewrite the file", cmdSet},
    {"info", "--port PATH info [--json]", "find the unit and print its type, options, firmware, ID and IMEI", cmdInfo},
    {"read", "--port PATH read FILE.fcg", "read the unit's configuration into FILE (replaced only on success)", cmdRead},
    {"write", "--port PATH write FILE.fcg [--show-changes]",
     "write FILE's configuration to the unit; --show-changes first reads the unit and lists what the write "
     "changes, as diff does",
     cmdWrite},
    {"flash", "--port PATH flash IMAGE.bin", "replace the unit's program with IMAGE through its bootloader", cmdFlash},
    {"serve", rvctl::kServeUsage, "listen for a unit calling over the network (GPRS), then run one command on it",
     cmdServe},
    {"serve", rvctl::kServeJobsUsage, "serve a fleet until SIGINT/SIGTERM: each unit that calls gets its job from DIR "
     "(IMEI.fcg is written to it, IMEI.read reads it into IMEI-DATE.fcg); the job's file moves to done/ or failed/ "
     "(reason in failed/IMEI.log); one line per event on stdout, JSON with --json; units without a job stay "
     "connected unless --close-idle; a step not answered in --job-timeout S (default 20) fails the job", cmdServe},
    {"track", "--port PATH track read (--server 1|2 | --range FIRST COUNT) OUT.bin\n  track export IN.bin "
              "OUT.plt|OUT.wln|OUT.gpx|OUT.kml|OUT.bin [--config FILE.fcg]",
     "read the unit's undelivered packets of a server, or a numbered range, into OUT.bin; convert such a file "
     "into an OziExplorer track, a Wialon message file (its parameters by the packet structure of FILE.fcg, "
     "else of the default configuration), GPX 1.1 or KML 2.2 (the name's extension decides)", cmdTrack},
};

QString helpText()
{
    QString s = QStringLiteral("Usage: rvctl [OPTIONS] COMMAND ARGS\n\nCommands:\n");
    for (const Command& c : kCommands)
        s += QStringLiteral("  %1\n      %2\n").arg(QLatin1String(c.usage), QLatin1String(c.summary));
    s += QStringLiteral(
        "  --help\n      this text\n  --version\n      the program's version\n\n"
        "Options of the unit commands (anywhere on the line):\n"
        "  --port PATH       the serial port of the unit (/dev/ttyUSB0, a pseudo-terminal ...)\n"
        "  --password N      answer the unit's password request with N (0..65535) and repeat the operation once\n"
        "  --timeout S       give up looking for the unit after S seconds (default 10)\n\n"
        "Field names are those that dump prints. Element indexes count from 0 where the window's captions\n"
        "count from 1: Phone[0] is connection 1, INOh[0] and Inputtype[0] are input 1, Out1act_actin[0]\n"
        "belongs to input 1, ActivOUT[0] is output 1, EventSource[0] is event 1; InputThresholds[0] and [1]\n"
        "are the lower and upper boundaries of input 1.\n\n"
        "Progress and errors go to stderr, results to stdout.\n"
        "Exit codes: 0 success, 1 diff found differences, 2 usage error, 3 the unit or a file failed.\n");
    return s;
}

int cmdHelp(const QStringList&, const Globals&)
{
    out(helpText());
    return ExitOk;
}

// Takes the global options out of `args`. False (with the message said) on a bad one.
bool takeGlobals(QStringList& args, Globals& g)
{
    QStringList rest;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        QString name = a, value;
        bool inlineValue = false;
        if (const qsizetype eq = a.indexOf(u'='); a.startsWith(QLatin1String("--")) && eq > 0) {
            name = a.left(eq);
            value = a.mid(eq + 1);
            inlineValue = true;
        }
        if (name != QLatin1String("--port") && name != QLatin1String("--password") && name != QLatin1String("--timeout")) {
            rest << a;
            continue;
        }
        if (!inlineValue) {
            if (i + 1 >= args.size()) {
                err(QStringLiteral("%1 needs a value").arg(name));
                return false;
            }
            // "--port --timeout 5" lacks the port rather than naming one "--timeout"; a value that does
            // begin with '-' can still be given as --port=VALUE.
            if (args[i + 1].startsWith(u'-')) {
                err(QStringLiteral("%1 needs a value, not the option '%2' (write %1=VALUE for a value that "
                                   "begins with '-')").arg(name, args[i + 1]));
                return false;
            }
            value = args[++i];
        }
        bool ok = false;
        if (name == QLatin1String("--port")) {
            g.port = value;
            ok = !value.isEmpty();
        } else if (name == QLatin1String("--password")) {
            const uint n = value.toUInt(&ok);
            ok = ok && n <= 0xFFFF;
            if (ok)
                g.password = static_cast<uint16_t>(n);
        } else {
            g.timeoutSeconds = value.toInt(&ok);
            ok = ok && g.timeoutSeconds > 0 && g.timeoutSeconds <= 3600;
        }
        if (!ok) {
            err(QStringLiteral("%1: bad value '%2'").arg(name, value));
            return false;
        }
    }
    args = rest;
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    Globals globals;
    if (!takeGlobals(args, globals))
        return ExitUsage;
    if (args.isEmpty()) {
        err(helpText());
        return ExitUsage;
    }
    const QString name = args.takeFirst();
    if (name == QLatin1String("--help") || name == QLatin1String("-h") || name == QLatin1String("help"))
        return cmdHelp(args, globals);
    if (name == QLatin1String("--version")) {
        out(QStringLiteral("rvctl %1\n").arg(rv::programVersion()));
        return ExitOk;
    }
    for (const Command& c : kCommands) {
        if (name == QLatin1String(c.name)) {
            const int code = c.run(args, globals);
            // A result that did not reach stdout (a full disk, a closed pipe) is no success.
            if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
                err(QStringLiteral("rvctl: cannot write the output"));
                return ExitFailed;
            }
            return code;
        }
    }
    err(QStringLiteral("rvctl: unknown command '%1'\n\n").arg(name) + helpText());
    return ExitUsage;
}
