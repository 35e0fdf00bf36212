// rvsim: a virtual unit on a pseudo-terminal. It prints the device path ("PTY /dev/pts/N"), optionally
// places a symlink to it, and answers the configurator until it is stopped (SIGTERM/SIGINT) or its
// lifetime ends. Closing it is like pulling the unit's cable.

#include "line_sender.h"
#include "remote_unit.h"
#include "save_file.h"
#include "tariff_server.h"
#include "virtual_unit.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <vector>
#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

using namespace rvsim;

namespace {

int g_signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char c = 1;
    [[maybe_unused]] auto r = ::write(g_signalPipe[1], &c, 1);
}

// A command left incomplete this long is dropped; long enough that a loaded PC's pause between the
// writes of one command does not cut it.
constexpr int kQuietMs = 150;
// While the configurator has the port closed, the master end reports hang-up: look again this often.
constexpr int kReopenPollMs = 20;

class Transport : public QObject {
public:
    Transport(int master, VirtualUnit& unit, LineShape shape, QString logPath, QString statsPath)
        : m_master(master), m_unit(unit), m_logPath(std::move(logPath)), m_statsPath(std::move(statsPath)),
          m_notifier(master, QSocketNotifier::Read), m_sender(master, shape)
    {
        connect(&m_notifier, &QSocketNotifier::activated, this, [this] { readSome(); });
        m_quiet.setSingleShot(true);
        m_quiet.setInterval(kQuietMs);
        m_quiet.setTimerType(Qt::PreciseTimer);
        connect(&m_quiet, &QTimer::timeout, this, [this] { dispatch(m_unit.flush()); });
    }

private:
    void readSome()
    {
        char buf[4096];
        const ssize_t n = ::read(m_master, buf, sizeof buf);
        if (n <= 0) {
            // No one has the port open: wait until someone does.
            m_notifier.setEnabled(false);
            QTimer::singleShot(kReopenPollMs, this, [this] { m_notifier.setEnabled(true); });
            return;
        }
        const QByteArray bytes(buf, n);
        log(bytes);
        dispatch(m_unit.receive(bytes));
        m_quiet.start();
        if (m_unit.lineDropped()) {
            std::fprintf(stderr, "rvsim: dropping the line\n");
            QCoreApplication::exit(0);
        }
    }

    void dispatch(const QList<Reply>& replies)
    {
        for (const Reply& r : replies) {
            if (r.bytes.isEmpty())
                continue;
            if (r.delayMs <= 0)
                send(r.bytes);
            else
                QTimer::singleShot(r.delayMs, this, [this, b = r.bytes] { send(b); });
        }
        writeStats();
    }

    void send(const QByteArray& bytes) { m_sender.send(bytes); }

    void log(const QByteArray& bytes)
    {
        if (m_logPath.isEmpty())
            return;
        QFile f(m_logPath);
        if (f.open(QIODevice::Append))
            f.write(bytes);
    }

    void writeStats()
    {
        if (m_statsPath.isEmpty())
            return;
        QByteArray text;
        for (auto it = m_unit.counts().cbegin(); it != m_unit.counts().cend(); ++it)
            text += it.key() + ' ' + QByteArray::number(it.value()) + '\n';
        replaceFile(m_statsPath, text);
    }

    int m_master;
    VirtualUnit& m_unit;
    QString m_logPath, m_statsPath;
    QSocketNotifier m_notifier;
    QTimer m_quiet;
    LineSender m_sender;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("rvsim"));
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral("A virtual RV-1/RV-2 unit on a pseudo-terminal."));
    p.addHelpOption();
    const QCommandLineOption type({"t", "type"}, "Device type code: 2, 3 or 4.", "N", "2");
    const QCommandLineOption options("options", "DeviceOptions, hexadecimal (bit 0: GLONASS).", "HEX", "1");
    const QCommandLineOption qd("qd", "Answer with the older QD-SSMT handshake (type 2).");
    const QCommandLineOption newconf("newconf", "Answer NEWCONF: the unit must be configured.");
    const QCommandLineOption silent("silent", "Never answer.");
    const QCommandLineOption badsum("bad-checksum", "Record replies carry a wrong checksum.");
    const QCommandLineOption overlong("overlong", "The main record comes longer than the program's (L = 600).");
    const QCommandLineOption lowd("lowd", "Refuse record writes with LOWD.");
    const QCommandLineOption boot("bootloader", "Start in bootloader mode.");
    const QCommandLineOption still("still", "The unit on the line stands still: its GPS and DEVICE blocks never "
                                            "change (what watching a unit costs when no value moves).");
    const QCommandLineOption blRefuse("bootloader-refuse", "The bootloader refuses every update (BL_BL).");
    const QCommandLineOption blError("bootloader-error-at", "The bootloader fails programming block N (BL_ER), once.", "N");
    const QCommandLineOption blIncomplete("bootloader-incomplete-at", "The bootloader takes block N as incomplete "
                                          "(BL_EP), once.", "N");
    const QCommandLineOption blSilent("bootloader-silent-at", "The bootloader never answers block N.", "N");
    const QCommandLineOption blDrop("bootloader-drop-at", "Drop the line (exit) when block N arrives.", "N");
    const QCommandLineOption programMs("program-ms", "Time the bootloader takes to program one block.", "MS", "5");
    const QCommandLineOption fwOut("firmware-out", "Keep the firmware image received in FILE.", "FILE");
    const QCommandLineOption password("password", "Lock the settings until RV+PASS=N.", "N");
    const QCommandLineOption dropOn("drop-on", "Drop the line (exit) when this command arrives, e.g. CONFIGP.", "CMD");
    const QCommandLineOption build("build", "Firmware build A.B.C.", "A.B.C", "700.1203.15");
    const QCommandLineOption link("link", "Also make PATH a symlink to the pseudo-terminal.", "PATH");
    const QCommandLineOption logOpt("log", "Append every byte received to FILE.", "FILE");
    const QCommandLineOption stats("stats", "Keep a count of the commands received in FILE.", "FILE");
    const QCommandLineOption state("state", "Records in a .fcg FILE: loaded at start if present, saved after each write.", "FILE");
    const QCommandLineOption split("split", "Send every reply in random pieces of 1..200 bytes, 0.1..3 ms apart, "
                                            "as USB serial adapters deliver them.");
    const QCommandLineOption splitSeed("split-seed", "Seed of the random pieces.", "N", "1");
    const QCommandLineOption baud("baud", "Pace what the unit sends as a line at N baud would (10 bits a byte).",
                                  "N", "0");
    const QCommandLineOption lump("lump-ms", "Hand on what the unit sends in lumps, at most one every MS "
                                             "milliseconds, as an adapter's latency timer does (instead of --split "
                                             "and --baud).", "MS", "0");
    const QCommandLineOption medium("medium", "Folder of the storage medium (1/ logs, 3/ voice, 4/ route); files the "
                                    "configurator writes are kept there. Default: in memory.", "DIR");
    const QCommandLineOption noMedium("no-medium", "No storage medium: files cannot be opened.");
    const QCommandLineOption noFiles("no-files", "File commands are not supported (answer 255).");
    const QCommandLineOption chunk("chunk", "Data bytes per file chunk sent (1..1017).", "N", "1000");
    const QCommandLineOption logSize("log-size", "Every made-up day log has N bytes.", "N");
    const QCommandLineOption fileReadError("file-read-error", "Fail reading a file after its first chunk (8).");
    const QCommandLineOption fileWriteError("file-write-error", "Fail writing a file at its first chunk (5).");
    const QCommandLineOption overshoot("file-overshoot", "The last chunk of a file carries more than announced.");
    const QCommandLineOption fileSilent("file-silent-after", "Stop answering a transfer after N chunks.", "N");
    const QCommandLineOption fileDrop("file-drop-after", "Drop the line after N chunks of a transfer.", "N");
    const QCommandLineOption cameraFail("camera-fail", "The camera fails: imfl (no link), imbusy, lost (link lost "
                                        "mid-picture) or silent.", "HOW");
    const QCommandLineOption cameraBurst("camera-burst", "Bytes of a picture sent in one burst (10..1024).", "N", "1000");
    const QCommandLineOption cameraGap("camera-gap-ms", "Time from one burst of a picture to the next.", "MS", "80");
    const QCommandLineOption cameraOut("camera-out", "Keep the picture last sent in FILE.", "FILE");
    const QCommandLineOption voiceCapacity("voice-capacity", "Room for the voice archive (types 3 and 4) in bytes; "
                                           "--file-silent-after also stops its chunks.", "N", "2097152");
    const QCommandLineOption trackSize("track-size", "Bytes of packets in the track memory (whole packets of 105 "
                                       "bytes; up to 64 MB).", "BYTES", "42000");
    const QCommandLineOption trackBlock("track-block", "Data bytes per track memory block (1..1017).", "N", "1000");
    const QCommandLineOption trackInvalid("track-invalid-every", "Every Nth packet has a wrong check value (0: none).",
                                          "N", "97");
    const QCommandLineOption trackFirst("track-first", "Number of the oldest packet held.", "N", "1");
    const QCommandLineOption trackSilent("track-silent-at", "Block N of a track read is not sent; only its repeat "
                                         "brings it.", "N");
    const QCommandLineOption trackOversize("track-oversize", "Announce a track read larger than any memory.");
    const QCommandLineOption trackRoute("track-route", "Lay the track memory's packets along a working day round a "
                                        "city block: six minutes at the depot, out, twice round the block (a halt at "
                                        "a traffic light, a delivery, the fix lost for a moment), back, and again.");
    const QCommandLineOption trackShort("track-short", "Announce N bytes more than a track read sends, then say "
                                        "complete.", "N");
    const QCommandLineOption lifetime("lifetime", "Exit after SECONDS (0: run until stopped).", "SECONDS", "0");
    const QCommandLineOption tcp("tcp", "Also call the configurator's TCP server at HOST:PORT, as a unit over GPRS "
                                        "does. --silent, --bad-checksum (a wrong CRC), --overlong, --lowd (\"too little "
                                        "data\") and --drop-on ID[/N] (e.g. 21/1) apply to it too.", "HOST:PORT");
    const QCommandLineOption noRemoteMonitor("no-remote-monitor", "Over TCP, answer the monitor request as unknown.");
    const QCommandLineOption modemNoise("modem-noise", "Over TCP, send the greeting as a modem hands it on, with "
                                                       "\"\\r\\nCONNECT\\r\\n\" before it and \"\\r\\n\" after it in one burst.");
    const QCommandLineOption units("units", "Over TCP, call as N units from this one process (1..5000), each on its "
                                            "own connection with its own records; unit i adds i to the IMEI and ID. "
                                            "Only the first keeps --state, --log and --stats.", "N", "1");
    const QCommandLineOption imei("imei", "The (first) unit's IMEI, 15 digits, in its device block and its greeting.",
                                  "IMEI", "861234567890123");
    const QCommandLineOption unitId("unit-id", "The (first) unit's ID (0..65535), in its device block and its greeting.",
                                    "N", "1234");
    const QCommandLineOption redial("redial-ms", "Over TCP, time from a closed connection to the next call; a list "
                                                 "(MS,MS,...) gives each unit its own, the last repeating.", "MS", "1000");
    const QCommandLineOption satImei("sat-imei-on-request", "The satellite modem's IMEI is in the device block only "
                                                            "after CONFIGZ 01 01.");
    p.addOptions({type, options, qd, newconf, silent, badsum, overlong, lowd, boot, blRefuse, blError, blIncomplete,
                  blSilent, programMs, fwOut, password, dropOn, build, link,
                  logOpt, stats, state, split, splitSeed, baud, lump, medium, noMedium, noFiles, chunk, logSize,
                  fileReadError, fileWriteError, overshoot, fileSilent, fileDrop, lifetime, tcp, noRemoteMonitor});
    p.addOptions({units, imei, unitId, redial, modemNoise});
    p.addOptions({cameraFail, cameraBurst, cameraGap, cameraOut});
    p.addOption(voiceCapacity);
    p.addOption(satImei);
    p.addOption(still);
    const QCommandLineOption tariff("tariff", "Also serve the satellite service's tariff server on 127.0.0.1:PORT.", "PORT");
    const QCommandLineOption tariffPlan("tariff-plan", "The plan code the tariff server answers.", "N", "1");
    const QCommandLineOption tariffText("tariff-text", "Answer the plan with this parameter text "
                                                       "(e.g. stype=0,bsize=200).", "TEXT");
    p.addOptions({tariff, tariffPlan, tariffText});
    p.addOption(blDrop);
    const QCommandLineOption simOpt("sim", "SIM N (1 or 2) marked as operator button B (1..4; 5: custom settings) but "
                                           "holding the fleet's own APN, login, password and number; repeatable.",
                                    "N=B");
    p.addOption(simOpt);
    p.addOptions({trackSize, trackBlock, trackInvalid, trackFirst, trackSilent, trackOversize, trackShort, trackRoute});
    p.process(app);

    UnitOptions o;
    bool idOk = false;
    const uint id = p.value(unitId).toUInt(&idOk);
    const QString imeiText = p.value(imei);
    if (!idOk || id > 0xFFFF || imeiText.size() != 15 ||
        !std::all_of(imeiText.cbegin(), imeiText.cend(), [](QChar c) { return c.isDigit(); })) {
        std::fprintf(stderr, "rvsim: --unit-id wants 0..65535 and --imei 15 digits\n");
        return 2;
    }
    o.unitId = static_cast<uint16_t>(id);
    o.imei = imeiText.toLatin1();
    o.deviceType = static_cast<uint8_t>(p.value(type).toUInt());
    o.deviceOptions = p.value(options).toUInt(nullptr, 16);
    o.answerQdSsmt = p.isSet(qd);
    o.newConf = p.isSet(newconf);
    o.silent = p.isSet(silent);
    o.badChecksum = p.isSet(badsum);
    o.overlong = p.isSet(overlong);
    o.lowd = p.isSet(lowd);
    o.bootloader = p.isSet(boot);
    o.still = p.isSet(still);
    o.bootloaderRefuse = p.isSet(blRefuse);
    if (p.isSet(blError))
        o.bootloaderErrorAt = p.value(blError).toInt();
    if (p.isSet(blIncomplete))
        o.bootloaderIncompleteAt = p.value(blIncomplete).toInt();
    if (p.isSet(blSilent))
        o.bootloaderSilentAt = p.value(blSilent).toInt();
    if (p.isSet(blDrop))
        o.bootloaderDropAt = p.value(blDrop).toInt();
    o.programBlockMs = p.value(programMs).toInt();
    o.firmwareOut = p.value(fwOut);
    if (p.isSet(password))
        o.password = static_cast<uint16_t>(p.value(password).toUInt());
    o.dropOn = p.value(dropOn).toLatin1();
    o.satImeiOnRequest = p.isSet(satImei);
    const QStringList b = p.value(build).split(QLatin1Char('.'));
    if (b.size() == 3) {
        o.build1 = static_cast<uint16_t>(b[0].toUInt());
        o.build2 = static_cast<uint16_t>(b[1].toUInt());
        o.build3 = static_cast<uint8_t>(b[2].toUInt());
    }

    o.medium.folder = p.value(medium);
    o.medium.present = !p.isSet(noMedium);
    o.medium.supported = !p.isSet(noFiles);
    o.medium.chunk = p.value(chunk).toInt();
    if (p.isSet(logSize))
        o.medium.logSize = p.value(logSize).toLongLong();
    o.medium.readError = p.isSet(fileReadError);
    o.medium.writeError = p.isSet(fileWriteError);
    o.medium.overshoot = p.isSet(overshoot);
    if (p.isSet(fileSilent))
        o.medium.silentAfter = p.value(fileSilent).toInt();
    if (p.isSet(fileDrop))
        o.medium.dropAfter = p.value(fileDrop).toInt();
    o.medium.voiceCapacity = p.value(voiceCapacity).toUInt();

    const QString fail = p.value(cameraFail);
    using CameraFailure = CameraOptions::Failure;
    o.camera.failure = fail == QLatin1String("imfl") ? CameraFailure::NoLink
                       : fail == QLatin1String("imbusy") ? CameraFailure::Busy
                       : fail == QLatin1String("lost") ? CameraFailure::LostMidPicture
                       : fail == QLatin1String("silent") ? CameraFailure::Silent
                                                         : CameraFailure::None;
    o.camera.burst = p.value(cameraBurst).toInt();
    o.camera.gapMs = std::max(0, p.value(cameraGap).toInt());
    o.camera.out = p.value(cameraOut);

    o.track.size = std::clamp<qsizetype>(p.value(trackSize).toLongLong(), 0, qsizetype(64) << 20);
    o.track.block = p.value(trackBlock).toInt();
    o.track.invalidEvery = p.value(trackInvalid).toInt();
    o.track.firstNumber = p.value(trackFirst).toUInt();
    if (p.isSet(trackSilent))
        o.track.silentAt = p.value(trackSilent).toInt();
    o.track.oversize = p.isSet(trackOversize);
    o.track.shortBy = p.value(trackShort).toUInt();
    o.track.route = p.isSet(trackRoute);

    VirtualUnit unit(o);
    const QString statePath = p.value(state);
    if (!statePath.isEmpty()) {
        if (QFile::exists(statePath) && !unit.records().load(statePath))
            std::fprintf(stderr, "rvsim: cannot read %s\n", qPrintable(statePath));
        unit.onRecordsChanged = [&] { unit.records().save(statePath); };
    }
    for (const QString& sim : p.values(simOpt)) {
        const QStringList nb = sim.split(QLatin1Char('='));
        if (nb.size() != 2 || !unit.records().holdSim(nb[0].toInt(), nb[1].toInt())) {
            std::fprintf(stderr, "rvsim: --sim takes N=B with N 1 or 2 and B 1..5, not %s\n", qPrintable(sim));
            return 2;
        }
    }
    if (!statePath.isEmpty())
        unit.records().save(statePath);

    int master = -1, slave = -1;
    char name[256] = {};
    termios tio {};
    ::cfmakeraw(&tio);
    if (::openpty(&master, &slave, name, &tio, nullptr) != 0) {
        std::perror("rvsim: openpty");
        return 1;
    }
    ::close(slave); // the configurator opens it by name, like a USB serial device
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);

    const QString linkPath = p.value(link);
    if (!linkPath.isEmpty()) {
        ::unlink(linkPath.toLocal8Bit().constData());
        if (::symlink(name, linkPath.toLocal8Bit().constData()) != 0)
            std::perror("rvsim: symlink");
    }
    std::printf("PTY %s\n", name);
    std::fflush(stdout);

    if (::pipe(g_signalPipe) == 0) {
        std::signal(SIGTERM, onSignal);
        std::signal(SIGINT, onSignal);
    }
    QSocketNotifier stop(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&stop, &QSocketNotifier::activated, &app, [] { QCoreApplication::exit(0); });
    if (const int seconds = p.value(lifetime).toInt(); seconds > 0)
        QTimer::singleShot(seconds * 1000, &app, [] { QCoreApplication::exit(0); });

    LineShape shape;
    shape.baud = std::max(0, p.value(baud).toInt());
    if (p.isSet(split))
        shape.splitSeed = p.value(splitSeed).toUInt();
    shape.lumpMs = std::max(0, p.value(lump).toInt());
    Transport transport(master, unit, shape, p.value(logOpt), p.value(stats));

    std::unique_ptr<TariffServer> tariffServer;
    if (p.isSet(tariff)) {
        tariffServer = std::make_unique<TariffServer>(static_cast<quint16>(p.value(tariff).toUInt()),
                                                      static_cast<uint8_t>(p.value(tariffPlan).toUInt()),
                                                      p.value(tariffText).toLatin1());
        if (!tariffServer->listening()) {
            std::fprintf(stderr, "rvsim: --tariff cannot listen on port %s\n", qPrintable(p.value(tariff)));
            return 2;
        }
    }
    std::vector<std::unique_ptr<UnitRecords>> extraRecords;
    std::vector<std::unique_ptr<RemoteUnit>> remoteUnits;
    std::vector<std::unique_ptr<RemoteLink>> remoteLinks;
    const QMap<QByteArray, int> noCounts;
    if (p.isSet(tcp)) {
        const QString where = p.value(tcp);
        const qsizetype colon = where.lastIndexOf(QLatin1Char(':'));
        bool portOk = false;
        const uint port = colon > 0 ? where.mid(colon + 1).toUInt(&portOk) : 0;
        if (!portOk || port == 0 || port > 65535) {
            std::fprintf(stderr, "rvsim: --tcp wants HOST:PORT\n");
            return 2;
        }
        bool countOk = false, imeiOk = false;
        const int count = p.value(units).toInt(&countOk);
        const qulonglong firstImei = p.value(imei).toULongLong(&imeiOk);
        if (!countOk || count < 1 || count > 5000 || !imeiOk || p.value(imei).size() != 15) {
            std::fprintf(stderr, "rvsim: --units wants 1..5000 and --imei 15 digits\n");
            return 2;
        }
        const QStringList redials = p.value(redial).split(QLatin1Char(','));
        for (int i = 0; i < count; ++i) {
            RemoteOptions r;
            r.deviceType = o.deviceType;
            r.build1 = o.build1;
            r.build2 = o.build2;
            r.build3 = o.build3;
            r.badCrc = o.badChecksum;
            r.silent = o.silent;
            r.noMonitor = p.isSet(noRemoteMonitor);
            r.modemNoise = p.isSet(modemNoise);
            r.overlong = o.overlong;
            r.shortWrite = o.lowd;
            r.dropOn = o.dropOn;
            r.unitId = static_cast<uint16_t>(p.value(unitId).toUInt() + i);
            r.imei = QByteArray::number(firstImei + i).rightJustified(15, '0');
            r.redialMs = std::max(10, redials.value(std::min<qsizetype>(i, redials.size() - 1)).toInt());
            UnitRecords* records = &unit.records();
            if (i > 0) {
                extraRecords.push_back(std::make_unique<UnitRecords>(unit.records()));
                records = extraRecords.back().get();
            }
            auto remoteUnit = std::make_unique<RemoteUnit>(*records, r);
            if (i == 0)
                remoteUnit->onRecordsChanged = [&unit] { if (unit.onRecordsChanged) unit.onRecordsChanged(); };
            else if (!statePath.isEmpty())
                remoteUnit->onRecordsChanged = [records, path = statePath.chopped(4) + QStringLiteral("-%1.fcg").arg(i)] {
                    records->save(path);
                };
            remoteLinks.push_back(std::make_unique<RemoteLink>(where.left(colon), static_cast<quint16>(port), *remoteUnit, shape,
                                                               i == 0 ? p.value(logOpt) : QString(),
                                                               i == 0 ? p.value(stats) : QString(),
                                                               i == 0 ? unit.counts() : noCounts));
            remoteUnits.push_back(std::move(remoteUnit));
        }
    }
    const int rc = app.exec();
    remoteLinks.clear();
    ::close(master);
    if (!linkPath.isEmpty())
        ::unlink(linkPath.toLocal8Bit().constData());
    return rc;
}
