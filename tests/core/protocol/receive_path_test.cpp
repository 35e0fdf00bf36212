// Bursts far larger than the unit's own 1024-byte buffer reach one analysis, as on a slow PC or behind a USB
// adapter that hands bytes on in lumps: every byte reaches the transfer waiting for it, in order, whether the
// bursts come in one notification or in several before the quiet gap. The only bound is for a line that
// never pauses, and it is said.

#include "core/config/records.h"
#include "core/devicefiles/camera_snapshot.h"
#include "core/devicefiles/file_transfer.h"
#include "core/devicefiles/voice_format.h"
#include "core/devicefiles/voice_messages.h"
#include "core/link/memory_link.h"
#include "core/monitor/monitor_blocks.h"
#include "core/protocol/burst_reader.h"
#include "core/protocol/device_session.h"
#include "core/track/track_read.h"
#include "core/protocol/session_texts.h"
#include "support/unit_bytes.h"
#include "support/files.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <climits>
#include <gtest/gtest.h>

using namespace rv;
using namespace rvtest;

namespace {

constexpr qsizetype kUnitBuffer = 1024;

// Parameters: how many 1024-byte bursts land in one analysis, and whether claimed frames are taken early.
class BulkBursts : public ::testing::TestWithParam<std::tuple<int, bool>> {
protected:
    QTemporaryDir home;
    MemoryLink link;
    ConfigRecords records;
    MonitorBlocks monitor;
    SessionController s{link, &records, &monitor};
    QSignalSpy closed{&s.progress(), &ProgressWatchdog::closed};

    int bursts() const { return std::get<0>(GetParam()); }
    qsizetype lump() const { return bursts() * kUnitBuffer; }

    void connectUnit(uint8_t type = 2)
    {
        qputenv("RVCONF_HOME", home.path().toLocal8Bit());
        s.setEarlyFrames(std::get<1>(GetParam()));
        s.setPortName(QStringLiteral("unit"));
        s.start(false);
        runStep();
        unit(rvTr(type, 1));
        link.takeWritten();
    }
    void TearDown() override { qunsetenv("RVCONF_HOME"); }
    void runStep() { for (int i = 0; i < 10; ++i) s.Find_deviceTimer(); }
    void ticks(int n) { for (int i = 0; i < n; ++i) s.Receive_timerTimer(); }
    void unit(const QByteArray& bytes)
    {
        link.feed(bytes);
        ticks(4);
    }
    // `bytes` arrive in `pieces` notifications with no quiet gap between them (1: all in one), then the
    // line goes quiet: one analysis sees them all.
    void lumped(const QByteArray& bytes, int pieces)
    {
        const qsizetype size = (bytes.size() + pieces - 1) / pieces;
        for (qsizetype at = 0; at < bytes.size(); at += size)
            link.feed(bytes.sliced(at, std::min(size, bytes.size() - at)));
        ticks(4);
    }
    QString lastClosed() const { return closed.isEmpty() ? QStringLiteral("<open>") : closed.last().at(0).toString(); }
};

TEST_P(BulkBursts, CameraPictureArrivesWhole)
{
    connectUnit();
    CameraSnapshot cam{s};
    QSignalSpy pictures(&cam, &CameraSnapshot::pictureReady);
    for (int pieces : {1, bursts()}) {
        SCOPED_TRACE(pieces);
        const QByteArray jpeg = pattern(3 * lump() + 333, pieces);
        cam.View_imageClick(1);
        runStep();
        link.takeWritten();
        QByteArray sent = QByteArray("IMAGE") + le::bytes32(uint32_t(jpeg.size())).left(3) + 'E' + jpeg;
        for (qsizetype at = 0; at < sent.size(); at += lump())
            lumped(sent.sliced(at, std::min(lump(), sent.size() - at)), pieces);
        EXPECT_EQ(lastClosed(), QString());
        ASSERT_FALSE(pictures.isEmpty());
        EXPECT_TRUE(pictures.last().at(3).toBool());
        EXPECT_EQ(rvtest::fileBytes(CameraSnapshot::imagePath()), jpeg);
        EXPECT_EQ(s.session().OperationState, osIdle);
    }
}

TEST_P(BulkBursts, FileArrivesWhole)
{
    connectUnit();
    FileTransfer t{s};
    for (int pieces : {1, bursts()}) {
        SCOPED_TRACE(pieces);
        const QByteArray file = pattern(3 * lump() - 100, pieces + 10);
        t.Read_log_fileClick(QStringLiteral("2026-12-09"));
        runStep();
        link.takeWritten();
        unit("FLRW\x06" + le::bytes32(uint32_t(file.size())));
        ASSERT_EQ(link.takeWritten(), QByteArray("CONFIGF\x04"));
        // Chunks as large as the unit cares to send: one to an analysis.
        for (qsizetype at = 0; at < file.size(); at += lump()) {
            const QByteArray data = file.sliced(at, std::min(lump(), file.size() - at));
            lumped("FLRW\x03" + le::bytes16(uint16_t(data.size())) + data, pieces);
            ASSERT_EQ(link.takeWritten(), QByteArray(at + lump() < file.size() ? "CONFIGF\x04" : "CONFIGF\x05"));
        }
        EXPECT_EQ(lastClosed(), QStringLiteral("Файл диагностики считан"));
        EXPECT_EQ(rvtest::fileBytes(FileTransfer::logFilePath()), file);
    }
}

TEST_P(BulkBursts, TrackArrivesWhole)
{
    connectUnit();
    TrackRead t{s};
    const QByteArray next("CONFIGM\x0A\x01\x00", 10);
    for (int pieces : {1, bursts()}) {
        SCOPED_TRACE(pieces);
        const QByteArray memory = pattern(4 * lump() + 105, pieces + 20);
        t.DumpClick({TrackRead::Range, 0, 1000, 500});
        runStep();
        link.takeWritten();
        unit(QByteArray("+MEM\x00\x00", 6) + le::bytes32(uint32_t(memory.size())));
        ASSERT_EQ(link.takeWritten(), next);
        for (qsizetype at = 0; at < memory.size(); at += lump()) {
            const QByteArray block = memory.sliced(at, std::min(lump(), memory.size() - at));
            lumped(QByteArray("+MEM\x01", 5) + le::bytes16(uint16_t(block.size())) + block, pieces);
            ASSERT_EQ(link.takeWritten(), next);
        }
        unit(QByteArray("+MEM\x00\x01", 6));
        EXPECT_EQ(lastClosed(), QStringLiteral("Чтение памяти завершено"));
        EXPECT_EQ(t.buffer(), memory);
    }
}

// The archive goes out, and each answer of the unit stands behind bursts of other bytes (text a unit
// prints, without zeros) in the same analysis: every answer is found, and the unit gets every chunk.
TEST_P(BulkBursts, VoiceArchiveGoesOutWhole)
{
    connectUnit(4);
    FileTransfer t{s};
    VoiceMessages v{s, t};
    std::array<QByteArray, voice::kMessages> files;
    for (int i = 0; i < 3; ++i) {
        QByteArray wav = pattern(700 + 100 * i, i);
        wav.replace(0, 4, "RIFF");
        le::put32(wav, 4, static_cast<uint32_t>(wav.size() - 8));
        wav.replace(8, 8, "WAVEfmt ");
        le::put16(wav, 20, 1);
        le::put16(wav, 22, 1);
        le::put32(wav, 24, 11025);
        le::put16(wav, 34, 8);
        files[i] = wav;
    }
    const QByteArray archive = voice::buildArchive(files);
    const QString path = home.filePath(QStringLiteral("a.vfa"));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(archive);
    }
    for (int pieces : {1, bursts()}) {
        SCOPED_TRACE(pieces);
        const QByteArray chatter = pattern(lump(), pieces + 30);
        closed.clear();
        ASSERT_TRUE(v.writeArchive(path));
        runStep();
        ASSERT_EQ(link.takeWritten(), QByteArray("RV+VMS"));
        lumped(chatter + "+VMS" + le::bytes32(1 << 20), pieces);
        ASSERT_EQ(link.takeWritten(), "RV+VWP" + archive.left(512) + QByteArray(1, '\0'));
        lumped(chatter + "+VWP", pieces);
        ASSERT_EQ(link.takeWritten(), "RV+VFS" + le::bytes32(uint32_t(archive.size() - 512)));
        QByteArray payload;
        lumped(chatter + "+VFS", pieces);
        for (int guard = 0; guard < 20 && lastClosed() != VoiceArchiveTransfer::kDone; ++guard) {
            const QByteArray w = link.takeWritten();
            if (w.isEmpty())
                break;
            ASSERT_TRUE(w.startsWith("RV+VWF"));
            ASSERT_EQ(w.size(), 6 + 512 + 1);
            payload += w.sliced(6, 512);
            lumped(chatter + "+VWF", pieces);
        }
        EXPECT_EQ(lastClosed(), VoiceArchiveTransfer::kDone);
        const qsizetype data = archive.size() - 512;
        ASSERT_GE(payload.size(), data);
        EXPECT_EQ(payload.left(data), archive.sliced(512));
        EXPECT_EQ(payload.sliced(data), QByteArray(payload.size() - data, '\0'));
    }
}

INSTANTIATE_TEST_SUITE_P(TwoThreeTenBuffers, BulkBursts,
                         ::testing::Combine(::testing::Values(2, 3, 10), ::testing::Bool()),
                         [](const auto& info) {
                             return std::to_string(std::get<0>(info.param)) + "x1024" +
                                    (std::get<1>(info.param) ? "Early" : "AfterTheGap");
                         });

class LongBursts : public ::testing::Test {
protected:
    MemoryLink link;
    ConfigRecords records;
    MonitorBlocks monitor;
    SessionController s{link, &records, &monitor};
    SessionTexts texts{s};
    QSignalSpy messages{&texts, &SessionTexts::message};

    void SetUp() override
    {
        s.setPortName(QStringLiteral("unit"));
        s.start(false);
        for (int i = 0; i < 10; ++i)
            s.Find_deviceTimer();
        link.feed(rvTr(2, 1));
        ticks(4);
        link.takeWritten();
    }
    void ticks(int n) { for (int i = 0; i < n; ++i) s.Receive_timerTimer(); }
};

TEST_F(LongBursts, AReplyFarIntoAQuietBurstIsHandled)
{
    link.feed(pattern(5000, 1) + "TRACKDEL");
    ticks(4);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages.last().at(0).toString(), QStringLiteral("Трек удален из памяти"));
    EXPECT_TRUE(s.burst().waiting().isEmpty());
}

TEST_F(LongBursts, ALineThatNeverPausesIsCutOnceAndSaidSo)
{
    // Past the bound without a quiet gap: the bytes are dropped and the user is told, once.
    const QByteArray lump = pattern(64 * 1024, 2);
    for (qsizetype fed = 0; fed <= 2 * kRunawayBytes; fed += lump.size()) {
        link.feed(lump);
        ticks(1);
        ASSERT_LE(s.burst().waiting().size(), kRunawayBytes);
    }
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages.last().at(0).toString().startsWith(QStringLiteral("Устройство передает данные без паузы")));
    // Once the line pauses, replies are read as ever, and a later runaway is said again.
    ticks(4);
    link.feed("TRACKDEL");
    ticks(4);
    ASSERT_EQ(messages.size(), 2);
    EXPECT_EQ(messages.last().at(0).toString(), QStringLiteral("Трек удален из памяти"));
    for (qsizetype fed = 0; fed <= kRunawayBytes; fed += lump.size())
        link.feed(lump);
    EXPECT_EQ(messages.size(), 3);
}

// The quiet gap wakes the program only for ticks that do something: four after the last byte, the fourth
// analysing; after it nothing is due until bytes come again, however many ticks go by.
TEST(QuietGap, NothingIsDueAfterTheAnalysisUntilBytesCome)
{
    BurstReader reader(nullptr);
    for (int round = 0; round < 3; ++round) {
        reader.arrived("GPS");
        ASSERT_EQ(reader.ticksDue(), 4) << "round " << round;
        for (int t = 1; t <= 4; ++t) {
            EXPECT_EQ(reader.tick(), t == 4) << "round " << round << ", tick " << t;
            if (t == 4) {
                EXPECT_EQ(reader.takeBurst(), QByteArray("GPS"));
            }
            reader.tickDone();
        }
        EXPECT_EQ(reader.ticksDue(), 0) << "round " << round;
        reader.pass(round == 0 ? 1 : round == 1 ? 1000 : INT_MAX); // INT_MAX: a PC that slept for months
        EXPECT_EQ(reader.ticksDue(), 0) << "round " << round;
        for (int t = 0; t < 300; ++t)
            ASSERT_FALSE(reader.tick()) << "round " << round << ", an analysis " << t << " ticks later";
    }
}

} // namespace
