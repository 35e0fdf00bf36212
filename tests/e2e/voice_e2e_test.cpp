// Voice messages through the real serial port against the virtual unit: a type 2 unit gets the assigned
// files under their names on its medium and lists them back; a type 4 unit gets an archive in chunks of
// exactly the size it reads, refuses one larger than its room, and a unit that falls silent mid-archive
// ends the write.

#include "core/config/records.h"
#include "core/devicefiles/file_transfer.h"
#include "core/devicefiles/voice_messages.h"
#include "core/link/serial_link.h"
#include "core/monitor/monitor_blocks.h"
#include "core/base/bytes.h"
#include "core/protocol/device_session.h"
#include "support/rvsim_process.h"
#include "support/unit_bytes.h"
#include "support/wait.h"
#include "support/files.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace rv;
using rvtest::RvsimProcess;
using rvtest::waitUntil;

namespace {

QByteArray wav(qsizetype length, int seed)
{
    QByteArray b = rvtest::pattern(length, seed);
    b.replace(0, 4, "RIFF");
    le::put32(b, 4, static_cast<uint32_t>(length - 8));
    b.replace(8, 8, "WAVEfmt ");
    le::put16(b, 20, 1); // PCM
    le::put16(b, 22, 1);
    le::put32(b, 24, 11025);
    le::put16(b, 34, 8);
    return b;
}

struct VoiceRig {
    QTemporaryDir home;
    SerialLink link;
    ConfigRecords records;
    MonitorBlocks monitor;
    SessionController session{link, &records, &monitor};
    FileTransfer transfer{session};
    VoiceMessages voice{session, transfer};
    QStringList closed;

    explicit VoiceRig(const QString& port)
    {
        qputenv("RVCONF_HOME", home.path().toLocal8Bit());
        session.setPortName(port);
        session.session().autoReadPending = false;
        QObject::connect(&session.progress(), &ProgressWatchdog::closed, [this](const QString& t) { closed << t; });
        QSignalSpy connected(&session, &SessionController::deviceConnected);
        session.start();
        EXPECT_TRUE(waitUntil([&] { return !connected.isEmpty(); }));
    }
    ~VoiceRig() { qunsetenv("RVCONF_HOME"); }
    QString file(const char* name, const QByteArray& bytes)
    {
        const QString path = home.filePath(QString::fromLatin1(name));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
    // Runs `start` and waits for the progress window to close; its message.
    template <typename Start>
    QString run(Start start, int ms = rvtest::kPatienceMs)
    {
        const qsizetype before = closed.size();
        start();
        waitUntil([&] { return closed.size() > before; }, ms);
        return closed.size() > before ? closed.last() : QStringLiteral("<still running>");
    }
};

} // namespace

TEST(VoiceE2E, TypeTwoWritesTheAssignedFilesUnderTheirNamesAndListsThemBack)
{
    for (bool split : {false, true}) {
        RvsimProcess unit(QStringLiteral(RVSIM_PATH), split ? QStringList{QStringLiteral("--split")} : QStringList{});
        ASSERT_TRUE(unit.started());
        VoiceRig rig(unit.pty());
        const QByteArray menu = wav(1500, 1);   // three chunks
        const QByteArray ohrana = wav(512, 2);  // exactly one full chunk
        rig.voice.assignFile(3, rig.file("m.wav", menu));
        rig.voice.assignFile(7, rig.file("o.wav", ohrana));
        ASSERT_EQ(rig.run([&] { rig.voice.writeFiles(); }), QStringLiteral("Копирование файлов завершено"));
        EXPECT_EQ(rvtest::fileBytes(unit.mediumPath() + QStringLiteral("/3/menu.wav")), menu);
        EXPECT_EQ(rvtest::fileBytes(unit.mediumPath() + QStringLiteral("/3/ohrana_0.wav")), ohrana);
        EXPECT_EQ(unit.count("CONFIGF-open-write"), 2);
        EXPECT_EQ(rig.voice.fileText(3), QStringLiteral("menu.wav"));
        EXPECT_EQ(rig.voice.fileText(7), QStringLiteral("ohrana_0.wav"));

        rig.voice.setFileText(3, QString());
        ASSERT_EQ(rig.run([&] { rig.voice.listFiles(); }, 2 * rvtest::kPatienceMs), QStringLiteral("Список построен"));
        EXPECT_EQ(unit.count("CONFIGF-open-read"), 45);
        for (int r = 0; r < VoiceMessages::kRows; ++r)
            EXPECT_EQ(rig.voice.fileText(r), r == 3   ? QStringLiteral("menu.wav")
                                             : r == 7 ? QStringLiteral("ohrana_0.wav")
                                                      : QString())
                << r;
        EXPECT_EQ(rig.session.session().OperationState, osIdle);
        EXPECT_TRUE(rig.session.session().connected);
    }
}

TEST(VoiceE2E, TypeFourTakesTheArchiveInChunksOf512PlusOneAndKeepsItWhole)
{
    RvsimProcess unit(QStringLiteral(RVSIM_PATH), {QStringLiteral("--type"), QStringLiteral("4"),
                                                   QStringLiteral("--voice-capacity"), QStringLiteral("100000")});
    ASSERT_TRUE(unit.started());
    VoiceRig rig(unit.pty());
    const QByteArray a = wav(1000, 3), b = wav(1300, 4), c = wav(333, 5);
    rig.voice.assignFile(0, rig.file("a.wav", a));
    rig.voice.assignFile(9, rig.file("b.wav", b));
    rig.voice.assignFile(44, rig.file("c.wav", c));
    const QString archivePath = rig.home.filePath(QStringLiteral("RV_voice_files.vfa"));
    rig.voice.saveArchive(archivePath);
    const QByteArray archive = rvtest::fileBytes(archivePath);
    ASSERT_EQ(archive.size(), 512 + 992 + 1292 + 333);

    ASSERT_EQ(rig.run([&] { rig.voice.writeArchive(archivePath); }), QStringLiteral("Запись архива завершена"));
    EXPECT_EQ(rvtest::fileBytes(unit.mediumPath() + QStringLiteral("/3/RV_voice_files.vfa")), archive);
    EXPECT_EQ(rig.voice.gaugeMaximum(), 100000u);

    // On the wire: every command, header and chunk at its exact size, fillers and the tail zero.
    const qsizetype payload = archive.size() - 512;
    QByteArray expected = "RV+VMSRV+VWP" + archive.left(512) + QByteArray(1, '\0') + "RV+VFS" +
                          le::bytes32(static_cast<uint32_t>(payload));
    for (qsizetype at = 0; at < payload; at += 512) {
        QByteArray chunk = archive.mid(512 + at, 512);
        chunk.resize(513, '\0');
        expected += "RV+VWF" + chunk;
    }
    const QByteArray received = unit.received();
    const qsizetype start = received.indexOf("RV+VMS");
    ASSERT_GE(start, 0);
    EXPECT_EQ(received.mid(start, expected.size()), expected);
    EXPECT_EQ(unit.count("RV+VWF"), 6); // 2617 bytes in chunks of 512
    EXPECT_EQ(unit.count("RV+VWF-filler"), 0);
}

TEST(VoiceE2E, ArchiveLargerThanTheRoomOrAUnitSilentMidArchiveEndsTheWrite)
{
    const QByteArray archive = [] {
        std::array<QByteArray, voice::kMessages> files;
        files[1] = wav(4000, 6);
        return voice::buildArchive(files);
    }();
    {
        RvsimProcess unit(QStringLiteral(RVSIM_PATH), {QStringLiteral("--type"), QStringLiteral("4"),
                                                       QStringLiteral("--voice-capacity"), QStringLiteral("3999")});
        ASSERT_TRUE(unit.started());
        VoiceRig rig(unit.pty());
        const QString path = rig.file("big.vfa", archive);
        EXPECT_EQ(rig.run([&] { rig.voice.writeArchive(path); }), QStringLiteral("Размер файла больше выделенной памяти"));
        EXPECT_EQ(unit.count("RV+VMS"), 1);
        EXPECT_EQ(unit.count("RV+VWP"), 0);
        EXPECT_EQ(rig.voice.gaugeMaximum(), 3999u);
        EXPECT_EQ(rig.session.session().OperationState, osIdle);
    }
    {
        RvsimProcess unit(QStringLiteral(RVSIM_PATH), {QStringLiteral("--type"), QStringLiteral("3"),
                                                       QStringLiteral("--file-silent-after"), QStringLiteral("3")});
        ASSERT_TRUE(unit.started());
        VoiceRig rig(unit.pty());
        const QString path = rig.file("big.vfa", archive);
        EXPECT_EQ(rig.run([&] { rig.voice.writeArchive(path); }), QStringLiteral("Нет ответа/Повторите операцию"));
        EXPECT_EQ(unit.count("RV+VWF"), 4); // the fourth chunk of 528 went unanswered
        EXPECT_FALSE(rig.voice.archive().active());
        EXPECT_FALSE(QFile::exists(unit.mediumPath() + QStringLiteral("/3/RV_voice_files.vfa")));
        EXPECT_EQ(rig.session.session().OperationState, osIdle);
        // The line is still good: the unit is polled again.
        const int polls = unit.count("CONFIGG");
        EXPECT_TRUE(waitUntil([&] { return unit.count("CONFIGG") > polls; }));
    }
}
