// Every feature that saves a file, run into a disk that fails: the write runs out of space, or the sync
// reports an I/O error. Each must say so (naming the reason), never report success, and leave the file it
// was to replace exactly as it was, with no half-written file beside it. In this process the fault comes
// from the output-file door's seam; rvctl, a program of its own, takes it from its environment.

#include "core/base/output_file.h"
#include "core/config/config_document.h"
#include "core/config/defaults.h"
#include "core/config/fcg_file.h"
#include "core/devicefiles/camera_snapshot.h"
#include "core/devicefiles/file_transfer.h"
#include "core/devicefiles/route_table.h"
#include "core/devicefiles/voice_format.h"
#include "core/link/memory_link.h"
#include "core/monitor/log_decoder.h"
#include "core/monitor/monitor_history.h"
#include "core/base/bytes.h"
#include "core/base/checksum.h"
#include "core/settings/app_settings.h"
#include "core/track/track_packet.h"
#include "support/connected_session.h"
#include "support/rvsim_process.h"
#include "support/serve_process.h"
#include "support/tool_run.h"
#include "support/unit_bytes.h"
#include "support/wait.h"
#include "ui/app/main_window.h"
#include "ui/app/message_box.h"
#include "ui/app/session_binding.h"
#include "ui/monitor/chart_window.h"
#include "support/files.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>

#if defined(RVCTL_PATH) && defined(RVSIM_PATH)

using namespace rv;
namespace faults = rv::output_file_faults;

namespace {

QByteArray someConfiguration()
{
    ConfigRecords r;
    loadStartDefaults(r);
    r.config.setNumber(u"ID_Device", 4321);
    return fcgBytes(r);
}

QByteArray wavFile()
{
    QByteArray b = rvtest::pattern(3000, 5);
    b.replace(0, 4, "RIFF");
    le::put32(b, 4, static_cast<uint32_t>(b.size() - 8));
    b.replace(8, 8, "WAVEfmt ");
    le::put16(b, 20, 1); // PCM
    le::put16(b, 22, 1); // mono
    le::put32(b, 24, 11025);
    le::put16(b, 34, 8);
    return b;
}

// Three packets whose check values are right, so that every export has lines to write.
QByteArray trackBytes()
{
    QByteArray packets;
    for (int i = 0; i < 3; ++i) {
        const QByteArray checked = rvtest::pattern(rv::track::kCheckedBytes, i + 1);
        packets += checked + le::bytes16(crc16Modbus(checked));
    }
    return packets;
}

QString messageBoxText(const QWidget& parent)
{
    QString text;
    for (const QMessageBox* b : parent.findChildren<QMessageBox*>(QStringLiteral("MessageBox")))
        text += b->text() + u'\n';
    return text;
}

// A fault of the disk, as the program's own process meets it and as rvctl meets it.
struct Fault {
    const char* name;
    faults::Step step;
    OutputFileError error;
    const char* environment; // RVCONF_SAVE_FAULT for rvctl
    QString reason;          // the window's words
    QString reasonEn;        // rvctl's
};

// Hidden entries of a folder: what a save in progress would leave behind.
QStringList hiddenEntries(const QString& folder)
{
    QStringList out;
    for (const QString& name : QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
        if (name.startsWith(u'.'))
            out << name;
    }
    return out;
}

// What the feature did: the file it was to save, and what it told.
struct Told {
    QString path;         // the file saved (empty: a new name the feature picks)
    QByteArray old;       // what that file held before
    bool failed = false;  // it said the save failed (exit code, event, message, status)
    QString text{};       // what it said
    int exitCode = 0;     // rvctl's
    QByteArray after{};   // what the file holds afterwards, and what was left beside it: looked at by
    QStringList leftovers{}; // sealed() while the feature's folder is still there
};

Told sealed(Told t)
{
    if (!t.path.isEmpty()) {
        t.after = rvtest::fileBytes(t.path);
        t.leftovers = hiddenEntries(QFileInfo(t.path).path());
    }
    return t;
}

struct Feature {
    const char* name;
    bool tool;    // rvctl: the fault goes through the environment
    int exitCode; // rvctl's when the save failed: 3 for a command, 0 for a server that was stopped
    std::function<Told(const QString& folder, const Fault& fault)> save;
};

// The window as main() builds it, over the in-memory link, with its program folder at `home`.
struct Window {
    MemoryLink link;
    ConfigRecords records;
    MonitorBlocks blocks;
    SessionController session{link, &records, &blocks};
    MainWindow window{records};
    SessionBinding binding{window, session, false};
};

QStringList faultEnvironment(const Fault& f)
{
    return {QStringLiteral("RVCONF_SAVE_FAULT=") + QLatin1String(f.environment)};
}

const Feature kFeatures[] = {
    {"configuration document (.fcg), the window's Сохранить конфигурацию", false, 0, [](const QString& folder, const Fault&) {
         Told t{folder + QStringLiteral("/unit.fcg"), someConfiguration()};
         rvtest::putFile(t.path, t.old);
         ConfigRecords records;
         ConfigDocument document(records);
         const OutputFileResult r = document.save(t.path);
         t.failed = !r.ok();
         EXPECT_EQ(document.fileName(), QStringLiteral("default.fcg")); // the file is not the document's
         t.text = outputFileMessage(r);
         return sealed(t);
     }},
    {"records rewritten in place (rvctl set's core)", false, 0, [](const QString& folder, const Fault&) {
         Told t{folder + QStringLiteral("/set.fcg"), someConfiguration()};
         rvtest::putFile(t.path, t.old);
         OutputFileResult r;
         t.failed = rewriteFcgRecords(t.path, ConfigRecords{}, &r) != FcgStatus::Ok;
         t.text = outputFileMessage(r);
         return sealed(t);
     }},
    {"rvctl set", true, 3, [](const QString& folder, const Fault& fault) {
         Told t{folder + QStringLiteral("/set.fcg"), someConfiguration()};
         rvtest::putFile(t.path, t.old);
         const rvtest::ToolRun run = rvtest::runTool(QStringLiteral(RVCTL_PATH),
             {QStringLiteral("set"), t.path, QStringLiteral("ID_Device=77")}, rvtest::kPatienceMs, faultEnvironment(fault));
         t.exitCode = run.code;
         t.failed = run.code != 0;
         t.text = run.err;
         return sealed(t);
     }},
    {"rvctl read from a unit", true, 3, [](const QString& folder, const Fault& fault) {
         rvtest::RvsimProcess unit(QStringLiteral(RVSIM_PATH));
         Told t{folder + QStringLiteral("/read.fcg"), someConfiguration()};
         rvtest::putFile(t.path, t.old);
         const rvtest::ToolRun run = rvtest::runTool(QStringLiteral(RVCTL_PATH),
             {QStringLiteral("--port"), unit.pty(), QStringLiteral("read"), t.path}, 2 * rvtest::kPatienceMs,
             faultEnvironment(fault));
         t.exitCode = run.code;
         t.failed = run.code != 0;
         t.text = run.err;
         return sealed(t);
     }},
    {"rvctl serve read (a unit over the network)", true, 3, [](const QString& folder, const Fault& fault) {
         Told t{folder + QStringLiteral("/remote.fcg"), someConfiguration()};
         rvtest::putFile(t.path, t.old);
         rvtest::ServeProcess serve(QStringLiteral(RVCTL_PATH), {QStringLiteral("--wait"), QStringLiteral("60"),
                                                                 QStringLiteral("read"), t.path},
                                    faultEnvironment(fault));
         if (serve.port == 0)
             return Told{t.path, t.old, false, QStringLiteral("rvctl serve did not listen: ") + serve.err, -1, t.old};
         rvtest::RvsimProcess unit(QStringLiteral(RVSIM_PATH), {QStringLiteral("--tcp"), serve.tcp()});
         t.exitCode = serve.finish();
         t.failed = t.exitCode != 0;
         t.text = serve.err;
         return sealed(t);
     }},
    {"fleet read job (rvctl serve --jobs)", true, 0, [](const QString& folder, const Fault& fault) {
         const QString imei = QStringLiteral("861234567890140");
         rvtest::putFile(folder + u'/' + imei + QStringLiteral(".read"), {});
         rvtest::ServeProcess serve(QStringLiteral(RVCTL_PATH), {QStringLiteral("--jobs"), folder, QStringLiteral("--json")},
                                    faultEnvironment(fault));
         Told t; // the output gets a new name: nothing was there
         if (serve.port == 0)
             return Told{{}, {}, false, QStringLiteral("rvctl serve did not listen: ") + serve.err};
         rvtest::RvsimProcess unit(QStringLiteral(RVSIM_PATH), {QStringLiteral("--tcp"), serve.tcp(), QStringLiteral("--imei"), imei});
         QByteArray out;
         QJsonObject outcome;
         rvtest::waitUntil([&] {
             out += serve.process.readAllStandardOutput();
             for (const QByteArray& line : out.split('\n')) {
                 const QJsonObject o = QJsonDocument::fromJson(line).object();
                 const QString kind = o.value(QStringLiteral("event")).toString();
                 if (kind == QStringLiteral("job-done") || kind == QStringLiteral("job-failed"))
                     outcome = o;
             }
             return !outcome.isEmpty();
         });
         serve.process.terminate();
         serve.finish();
         t.failed = outcome.value(QStringLiteral("event")).toString() == QStringLiteral("job-failed");
         t.text = outcome.value(QStringLiteral("reason")).toString();
         // The job is filed as failed; no output of it is left, whole or in part.
         EXPECT_TRUE(QFile::exists(folder + QStringLiteral("/failed/") + imei + QStringLiteral(".read")));
         EXPECT_TRUE(QDir(folder).entryList({imei + QStringLiteral("-*")}).isEmpty());
         t.leftovers = hiddenEntries(folder);
         return t;
     }},
    {"Config.ini (the settings)", false, 0, [](const QString& folder, const Fault&) {
         Told t{folder + QStringLiteral("/Config.ini"), "[Config]\r\nCom port=/dev/ttyUSB7\r\nFile conf=a.fcg\r\n"};
         rvtest::putFile(t.path, t.old);
         QString error;
         OutputFileResult r;
         t.failed = !writeAppSettings(t.path, {QStringLiteral("/dev/ttyUSB0"), QStringLiteral("b.fcg")},
                                      [] { return QStringLiteral("/dev/ttyUSB0"); }, &error, &r);
         t.text = outputFileMessage(r);
         return sealed(t);
     }},
    {"Config.ini (Больше не спрашивать)", false, 0, [](const QString& folder, const Fault&) {
         Told t{folder + QStringLiteral("/Config.ini"), "[Config]\r\nConfirm write=1\r\n"};
         rvtest::putFile(t.path, t.old);
         QString error;
         OutputFileResult r;
         t.failed = !writeConfirmWrite(t.path, false, &error, &r);
         t.text = outputFileMessage(r);
         return sealed(t);
     }},
    {"Config.ini when the window closes", false, 0, [](const QString& folder, const Fault& fault) {
         qputenv("RVCONF_HOME", folder.toLocal8Bit());
         Told t{folder + QStringLiteral("/Config.ini"),
                "[Config]\r\nCom port=/dev/ttyUSB7\r\nFile conf=default.fcg\r\n[Server]\r\nAllow=861234567890123\r\n"};
         rvtest::putFile(t.path, t.old);
         faults::clear(); // the window's own start may not meet the fault
         Window w;
         w.window.show();
         w.window.setPortName(QStringLiteral("/dev/ttyUSB0")); // something to store
         faults::inject(fault.step, 1, fault.error);
         w.window.close();
         // The user is told once, and the window stays for a second try.
         t.failed = w.window.isVisible();
         t.text = messageBoxText(w.window);
         EXPECT_EQ(rv::openMessageBoxes(), 1);
         faults::inject(fault.step, 1, fault.error);
         for (QMessageBox* b : w.window.findChildren<QMessageBox*>(QStringLiteral("MessageBox")))
             b->close();
         w.window.close(); // the second close goes without the settings, and without a word
         EXPECT_FALSE(w.window.isVisible());
         EXPECT_EQ(rv::openMessageBoxes(), 0);
         qunsetenv("RVCONF_HOME");
         return sealed(t);
     }},
    {"route table (.fai)", false, 0, [](const QString& folder, const Fault&) {
         Told t{folder + QStringLiteral("/route.fai"), "old route"};
         rvtest::putFile(t.path, t.old);
         route::RouteTable table;
         table.setCoordinates(1, 55751234, 37618423);
         const route::SaveResult r = route::Save_marshrut(t.path, table);
         t.failed = !r.ok;
         t.text = r.message;
         return sealed(t);
     }},
    {"camera picture (Image.jpg)", false, 0, [](const QString&, const Fault& fault) {
         rvtest::RvsimProcess unit(QStringLiteral(RVSIM_PATH));
         rvtest::ConnectedSession rig(unit.pty());
         CameraSnapshot camera(rig.session);
         Told t{CameraSnapshot::imagePath(), "old picture"};
         rvtest::putFile(t.path, t.old);
         faults::clear();
         faults::inject(fault.step, 1, fault.error); // after the set-up, whose own saves are none of this
         camera.View_imageClick(1);
         rvtest::waitUntil([&] { return !rig.closed.isEmpty(); });
         t.text = rig.closed.value(0);
         t.failed = t.text.startsWith(QStringLiteral("Не удалось сохранить"));
         EXPECT_FALSE(QFile::exists(CameraSnapshot::cutImagePath()));
         return sealed(t);
     }},
    {"day's log from the unit (Log_file.log)", false, 0, [](const QString&, const Fault& fault) {
         rvtest::RvsimProcess unit(QStringLiteral(RVSIM_PATH));
         rvtest::ConnectedSession rig(unit.pty());
         FileTransfer transfer(rig.session);
         Told t{FileTransfer::logFilePath(), "old log"};
         rvtest::putFile(t.path, t.old);
         faults::clear();
         faults::inject(fault.step, 1, fault.error);
         transfer.Read_log_fileClick(QStringLiteral("2026-12-20"));
         rvtest::waitUntil([&] { return !rig.closed.isEmpty(); });
         t.text = rig.closed.value(0);
         t.failed = t.text.startsWith(QStringLiteral("Не удается"));
         return sealed(t);
     }},
    {"log window's Сохранить (.log)", false, 0, [](const QString& folder, const Fault&) {
         Told t{folder + QStringLiteral("/saved.log"), "old text"};
         rvtest::putFile(t.path, t.old);
         const OutputFileResult r = saveLogText(t.path, QStringLiteral("12:00:00 - Включение"));
         t.failed = !r.ok();
         t.text = outputFileMessage(r);
         return sealed(t);
     }},
    {"voice archive (.vfa)", false, 0, [](const QString& folder, const Fault&) {
         rvtest::putFile(folder + QStringLiteral("/a.wav"), wavFile());
         Told t{folder + QStringLiteral("/voice.vfa"), "old archive"};
         rvtest::putFile(t.path, t.old);
         const voice::SaveResult r = voice::Write_voice_file_archive(t.path, {folder + QStringLiteral("/a.wav")});
         t.failed = r.status != voice::SaveStatus::Saved;
         t.text = outputFileMessage(r.file);
         EXPECT_EQ(r.status, voice::SaveStatus::CannotCreate);
         return sealed(t);
     }},
    {"track export .plt, .wln, .gpx, .kml and .bin", false, 0, [](const QString& folder, const Fault& fault) {
         Told t{folder + QStringLiteral("/Dump_memory.bin"), "old dump"};
         faults::clear();
         for (const auto format : {track::ExportFormat::Plt, track::ExportFormat::Wln, track::ExportFormat::Gpx,
                                   track::ExportFormat::Kml, track::ExportFormat::Bin}) {
             const QString path = folder + u'/' + track::defaultExportName(format);
             rvtest::putFile(path, "old dump");
             faults::inject(fault.step, 1, fault.error);
             track::ExportResult e;
             const OutputFileResult r = track::saveTrack(path, format, trackBytes(), {}, &e);
             EXPECT_EQ(e.written + e.invalid, 3);
             EXPECT_FALSE(r.ok()) << path.toStdString();
             EXPECT_EQ(rvtest::fileBytes(path), QByteArray("old dump")) << path.toStdString();
             t.failed = !r.ok();
             t.text = outputFileMessage(r);
         }
         return sealed(t);
     }},
    {"rvctl track export", true, 3, [](const QString& folder, const Fault& fault) {
         rvtest::putFile(folder + QStringLiteral("/in.bin"), trackBytes());
         Told t{folder + QStringLiteral("/out.wln"), "old export"};
         rvtest::putFile(t.path, t.old);
         const rvtest::ToolRun run = rvtest::runTool(QStringLiteral(RVCTL_PATH),
             {QStringLiteral("track"), QStringLiteral("export"), folder + QStringLiteral("/in.bin"), t.path},
             rvtest::kPatienceMs, faultEnvironment(fault));
         t.exitCode = run.code;
         t.failed = run.code != 0;
         t.text = run.err;
         return sealed(t);
     }},
    {"charts' Экспорт CSV", false, 0, [](const QString& folder, const Fault&) {
         chart::History history;
         ChartWindow charts(history);
         Told t{folder + QStringLiteral("/monitor.csv"), "old csv"};
         rvtest::putFile(t.path, t.old);
         charts.exportButton()->click();
         QFileDialog* dialog = charts.exportDialog();
         if (!dialog)
             return t;
         // The file chosen in the dialog (its own question about replacing a file is the dialog's business).
         dialog->hide();
         charts.exportTo(t.path);
         t.text = messageBoxText(charts);
         t.failed = t.text.startsWith(QStringLiteral("Не удалось сохранить"));
         return sealed(t);
     }},
};

const Fault kFaults[] = {
    {"the disk runs full", faults::Step::Write, OutputFileError::NoSpace, "write:1:nospace",
     QStringLiteral("нет места на диске"), QStringLiteral("no space left on device")},
    {"the sync fails", faults::Step::Sync, OutputFileError::Io, "sync:1:io", QStringLiteral("ошибка ввода-вывода"),
     QStringLiteral("input/output error")},
};

} // namespace

TEST(SaveFaults, EveryFeatureThatSavesKeepsTheOldFileAndSaysWhy)
{
    for (const Fault& fault : kFaults) {
        for (const Feature& feature : kFeatures) {
            SCOPED_TRACE(testing::Message() << feature.name << ", " << fault.name);
            QTemporaryDir dir;
            ASSERT_TRUE(dir.isValid());
            faults::clear();
            if (!feature.tool)
                faults::inject(fault.step, 1, fault.error);
            const Told t = feature.save(dir.path(), fault);
            EXPECT_TRUE(t.failed) << qPrintable(t.text);
            // In the words of the one told: the window's and the fleet's events Russian, rvctl's own English.
            EXPECT_TRUE(t.text.contains(fault.reason) || t.text.contains(fault.reasonEn)) << qPrintable(t.text);
            if (feature.tool) {
                EXPECT_EQ(t.exitCode, feature.exitCode) << qPrintable(t.text);
            } else {
                EXPECT_GE(faults::fired(), 1) << "the feature did not save through the door";
            }
            if (!t.path.isEmpty()) {
                EXPECT_EQ(t.after, t.old);
            }
            EXPECT_EQ(t.leftovers, QStringList());
            EXPECT_EQ(hiddenEntries(dir.path()), QStringList());
            faults::clear();
        }
    }
}

#endif
