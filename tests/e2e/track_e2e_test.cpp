// The track memory through the real serial port from the virtual unit: both read forms whole and in pieces,
// a block lost once and brought by the repeat, the unit's answers when there is nothing to read or the
// request is wrong, too large an announced size, and rvctl pulling a server's packets and converting them;
// the virtual unit's working day read in the window opens the track window, and rvctl makes GPX and KML of it.

#include "core/config/records.h"
#include "core/link/serial_link.h"
#include "core/monitor/monitor_blocks.h"
#include "core/base/bytes.h"
#include "core/protocol/device_session.h"
#include "core/track/track_packet.h"
#include "core/track/track_read.h"
#include "support/app_program.h"
#include "support/connected_session.h"
#include "support/rvsim_process.h"
#include "support/tool_run.h"
#include "support/wait.h"
#include "ui/devicefiles/devicefiles_binding.h"
#include "ui/devicefiles/file_page.h"
#include "ui/track/track_binding.h"
#include "ui/track/track_window.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QRegularExpression>
#include <gtest/gtest.h>

using namespace rv;
using rvtest::RvsimProcess;
using rvtest::waitUntil;

namespace {

struct TrackRig : rvtest::ConnectedSession {
    TrackRead track{session};

    using ConnectedSession::ConnectedSession;
    QString read(const TrackRead::Request& r)
    {
        const qsizetype before = closed.size();
        track.DumpClick(r);
        waitUntil([&] { return closed.size() > before; });
        return closed.size() > before ? closed.last() : QStringLiteral("<still running>");
    }
};

// Packets numbered first, first + 1 ...; the unit spoils the check value of every 97th packet it holds.
void expectPackets(const QByteArray& buffer, int count, int first, const char* what)
{
    ASSERT_EQ(buffer.size(), count * track::kPacketSize) << what;
    int broken = 0;
    for (int i = 0; i < count; ++i) {
        const QByteArrayView p = QByteArrayView(buffer).sliced(i * track::kPacketSize, track::kPacketSize);
        EXPECT_EQ(le::u16(p, 81), first + i) << what << " packet " << i;
        const bool spoilt = (first + i) % 97 == 0;
        EXPECT_EQ(track::packetCrcOk(p), !spoilt) << what << " packet " << i;
        broken += spoilt;
    }
    EXPECT_GT(broken, 0) << what;
}

const QString kDone = QStringLiteral("Чтение памяти завершено");

} // namespace

TEST(TrackE2E, BothFormsArriveWholeAndInPieces)
{
    for (bool split : {false, true}) {
        QStringList args{QStringLiteral("--track-size"), QString::number(105 * 300)};
        if (split)
            args << QStringLiteral("--split");
        RvsimProcess unit(QStringLiteral(RVSIM_PATH), args);
        ASSERT_TRUE(unit.started());
        TrackRig rig(unit.pty());
        // Server 1 has been sent nothing: every packet; server 2 lacks the newest quarter.
        ASSERT_EQ(rig.read({TrackRead::Undelivered, 0, 0, 0}), kDone);
        expectPackets(rig.track.buffer(), 300, 1, "server 1");
        ASSERT_EQ(rig.read({TrackRead::Undelivered, 1, 0, 0}), kDone);
        expectPackets(rig.track.buffer(), 75, 226, "server 2");
        ASSERT_EQ(rig.read({TrackRead::Range, 0, 90, 20}), kDone);
        expectPackets(rig.track.buffer(), 20, 90, "range");
        // A range running past the newest packet brings what there is.
        ASSERT_EQ(rig.read({TrackRead::Range, 0, 290, 500}), kDone);
        expectPackets(rig.track.buffer(), 11, 290, "range to the end");
        EXPECT_EQ(unit.count("CONFIGM-repeat"), 0);
        EXPECT_EQ(rig.session.session().OperationState, osIdle);
        EXPECT_TRUE(rig.session.session().connected);
    }
}

TEST(TrackE2E, ABlockLostOnceComesWithTheRepeat)
{
    for (bool split : {false, true}) {
        QStringList args{QStringLiteral("--track-size"), QString::number(105 * 100), QStringLiteral("--track-silent-at"),
                         QStringLiteral("3")};
        if (split)
            args << QStringLiteral("--split");
        RvsimProcess unit(QStringLiteral(RVSIM_PATH), args);
        ASSERT_TRUE(unit.started());
        TrackRig rig(unit.pty());
        ASSERT_EQ(rig.read({TrackRead::Range, 0, 1, 100}), kDone);
        expectPackets(rig.track.buffer(), 100, 1, "after the repeat");
        EXPECT_EQ(unit.count("CONFIGM-repeat"), 1);
    }
}

TEST(TrackE2E, NothingToReadWrongRequestAndTooLargeASize)
{
    {
        RvsimProcess unit(QStringLiteral(RVSIM_PATH), {QStringLiteral("--track-size"), QStringLiteral("0")});
        ASSERT_TRUE(unit.started());
        TrackRig rig(unit.pty());
        EXPECT_EQ(rig.read({TrackRead::Undelivered, 0, 0, 0}), QStringLiteral("Нет пакетов"));
    }
    {
        RvsimProcess unit(QStringLiteral(RVSIM_PATH), {QStringLiteral("--split")});
        ASSERT_TRUE(unit.started());
        TrackRig rig(unit.pty());
        EXPECT_EQ(rig.read({TrackRead::Range, 0, 100000, 10}), QStringLiteral("Некорректный параметр"));
        EXPECT_EQ(rig.read({TrackRead::Range, 0, 5, 0}), QStringLiteral("Некорректный параметр"));
        EXPECT_EQ(rig.session.session().OperationState, osIdle);
        // The unit still answers: a read right after works.
        EXPECT_EQ(rig.read({TrackRead::Range, 0, 5, 3}), kDone);
        EXPECT_EQ(rig.track.buffer().size(), 3 * 105);
    }
    {
        RvsimProcess unit(QStringLiteral(RVSIM_PATH), {QStringLiteral("--track-oversize")});
        ASSERT_TRUE(unit.started());
        TrackRig rig(unit.pty());
        EXPECT_EQ(rig.read({TrackRead::Undelivered, 0, 0, 0}),
                  QStringLiteral("Размер памяти (4026531840 байт) больше, чем может храниться в устройстве"));
        EXPECT_EQ(unit.count("CONFIGM-next"), 0); // no block is asked for
        EXPECT_TRUE(rig.track.buffer().isEmpty());
        EXPECT_EQ(rig.session.session().OperationState, osIdle);
    }
}

#if defined(RVCTL_PATH)
TEST(TrackE2E, RvctlPullsAServersPacketsAndConvertsThem)
{
    QTemporaryDir dir;
    RvsimProcess unit(QStringLiteral(RVSIM_PATH), {QStringLiteral("--track-size"), QString::number(105 * 200)});
    ASSERT_TRUE(unit.started());
    const QString bin = dir.filePath(QStringLiteral("unit.bin"));
    const rvtest::ToolRun read = rvtest::runTool(
        QStringLiteral(RVCTL_PATH), {QStringLiteral("--port=") + unit.pty(), QStringLiteral("track"),
                                     QStringLiteral("read"), QStringLiteral("--server"), QStringLiteral("2"), bin});
    ASSERT_EQ(read.code, 0) << read.err.toStdString();
    EXPECT_EQ(read.out, QStringLiteral("5250 bytes, 50 packets\n"));
    // The rate of the read, for measuring links (scripts/check-windows compares two).
    EXPECT_TRUE(QRegularExpression(QStringLiteral("read in [0-9]+\\.[0-9]{2} s: [1-9][0-9]* bytes/s\n")).match(read.err).hasMatch())
        << read.err.toStdString();
    QFile f(bin);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    expectPackets(f.readAll(), 50, 151, "rvctl");

    const QString plt = dir.filePath(QStringLiteral("t.plt"));
    const rvtest::ToolRun exported = rvtest::runTool(QStringLiteral(RVCTL_PATH), {QStringLiteral("track"),
                                                     QStringLiteral("export"), bin, plt});
    ASSERT_EQ(exported.code, 0) << exported.err.toStdString();
    EXPECT_EQ(exported.out, QStringLiteral("50 packets, 49 written, 1 with a wrong check value left out\n"));
    QFile p(plt);
    ASSERT_TRUE(p.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = p.readAll().split('\n');
    ASSERT_EQ(lines.size(), 6 + 49 + 1);
    EXPECT_EQ(lines[5], QByteArray("49\r"));
    EXPECT_TRUE(lines[6].startsWith("55.")) << lines[6].toStdString();

    // A wrong request is refused before anything is sent; a unit's refusal leaves no file.
    const rvtest::ToolRun bad = rvtest::runTool(
        QStringLiteral(RVCTL_PATH), {QStringLiteral("--port=") + unit.pty(), QStringLiteral("track"), QStringLiteral("read"),
                                     QStringLiteral("--range"), QStringLiteral("1"), QStringLiteral("70000"), bin});
    EXPECT_EQ(bad.code, 2);
    const QString none = dir.filePath(QStringLiteral("none.bin"));
    const rvtest::ToolRun refused = rvtest::runTool(
        QStringLiteral(RVCTL_PATH), {QStringLiteral("--port=") + unit.pty(), QStringLiteral("track"), QStringLiteral("read"),
                                     QStringLiteral("--range"), QStringLiteral("9999"), QStringLiteral("10"), none});
    EXPECT_EQ(refused.code, 3);
    EXPECT_TRUE(refused.err.contains(QStringLiteral("Некорректный параметр"))) << refused.err.toStdString();
    EXPECT_FALSE(QFile::exists(none));
}
#endif

// The unit announces 2100 bytes more than it sends, then says the read is complete: that is a read cut
// short, said with what came, and rvctl fails with the file it would have written left as it was.
TEST(TrackE2E, AReadEndingBeforeTheAnnouncedSizeIsAFailure)
{
    RvsimProcess unit(QStringLiteral(RVSIM_PATH), {QStringLiteral("--track-size"), QString::number(105 * 50),
                                                   QStringLiteral("--track-short"), QStringLiteral("2100")});
    ASSERT_TRUE(unit.started());
    const QString said = QStringLiteral("Чтение памяти прервано: получено 5250 из 7350 байт");
    {
        TrackRig rig(unit.pty());
        EXPECT_EQ(rig.read({TrackRead::Undelivered, 0, 0, 0}), said);
        EXPECT_EQ(rig.session.session().OperationState, osIdle);
    }
#if defined(RVCTL_PATH)
    QTemporaryDir dir;
    const QString bin = dir.filePath(QStringLiteral("kept.bin"));
    {
        QFile f(bin);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("an earlier read");
    }
    const rvtest::ToolRun r = rvtest::runTool(
        QStringLiteral(RVCTL_PATH), {QStringLiteral("--port=") + unit.pty(), QStringLiteral("track"),
                                     QStringLiteral("read"), QStringLiteral("--server"), QStringLiteral("1"), bin});
    EXPECT_EQ(r.code, 3);
    EXPECT_TRUE(r.err.contains(said)) << r.err.toStdString();
    QFile f(bin);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("an earlier read"));
#endif
}

// Two rounds of the virtual unit's working day (81 packets each): each stands at the depot, stops for a
// delivery and loses the fix for two packets. "Считать" in the window opens them in the track window; rvctl
// turns the same read into GPX and KML.
TEST(TrackE2E, AWorkingDayOpensInTheTrackWindowAndConvertsToGpxAndKml)
{
    constexpr int kPackets = 2 * 81;
    const QStringList route{QStringLiteral("--track-route"), QStringLiteral("--track-invalid-every"), QStringLiteral("0"),
                            QStringLiteral("--track-size"), QString::number(105 * kPackets)};
    {
        rvtest::AppProgram program;
        DeviceFilesBinding files(program.window, program.session);
        RvsimProcess unit(QStringLiteral(RVSIM_PATH), QStringList{QStringLiteral("--link"), program.port} + route);
        ASSERT_TRUE(unit.started());
        ASSERT_TRUE(program.startAndRead());
        files.page()->dumpButton()->click();
        ASSERT_TRUE(waitUntil([&] { return files.trackView().window() && files.trackView().window()->isVisible(); }));
        const TrackWindow* w = files.trackView().window();
        EXPECT_EQ(w->buffer().size(), 105 * kPackets);
        const QString summary = w->summaryLabel()->text();
        EXPECT_TRUE(summary.startsWith(QStringLiteral("Точек: 158 ·"))) << summary.toStdString();
        EXPECT_TRUE(summary.contains(QStringLiteral("Стоянок: 4 · Недостоверных пропущено: 4 · Сегментов: 1")))
            << summary.toStdString();
        EXPECT_EQ(program.closed.last(), kDone);
    }
#if defined(RVCTL_PATH)
    RvsimProcess unit(QStringLiteral(RVSIM_PATH), route);
    ASSERT_TRUE(unit.started());
    QTemporaryDir dir;
    const QString bin = dir.filePath(QStringLiteral("day.bin"));
    const rvtest::ToolRun read = rvtest::runTool(
        QStringLiteral(RVCTL_PATH), {QStringLiteral("--port=") + unit.pty(), QStringLiteral("track"),
                                     QStringLiteral("read"), QStringLiteral("--server"), QStringLiteral("1"), bin});
    ASSERT_EQ(read.code, 0) << read.err.toStdString();
    for (const char* kind : {"gpx", "kml"}) {
        const QString out = dir.filePath(QStringLiteral("day.") + QLatin1String(kind));
        const rvtest::ToolRun r = rvtest::runTool(QStringLiteral(RVCTL_PATH),
                                                  {QStringLiteral("track"), QStringLiteral("export"), bin, out});
        ASSERT_EQ(r.code, 0) << r.err.toStdString();
        EXPECT_EQ(r.out, QStringLiteral("162 packets, 158 written, 0 with a wrong check value left out, 4 without a "
                                        "valid position left out, 1 segments") +
                             (kind == std::string("kml") ? QStringLiteral(", 4 stops\n") : QStringLiteral("\n")));
        QFile f(out);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll().count(kind == std::string("gpx") ? "<trkpt " : "<gx:coord>"), 158) << kind;
    }
#endif
}
