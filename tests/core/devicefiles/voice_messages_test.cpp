// The voice table driven tick by tick over the in-memory link: type 2 files written and listed through
// the file transfer, the archive exchange with its exact writes by unit type, and how each of them ends
// when the unit refuses, falls silent or the local file lets us down.

#include "core/devicefiles/voice_messages.h"

#include "core/config/records.h"
#include "core/devicefiles/file_transfer.h"
#include "core/link/memory_link.h"
#include "core/monitor/monitor_blocks.h"
#include "core/base/bytes.h"
#include "core/protocol/device_session.h"
#include "support/unit_bytes.h"
#include "support/files.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace rv;
using namespace rvtest;

namespace {

QByteArray wav(qsizetype length, int seed)
{
    QByteArray b = pattern(length, seed);
    b.replace(0, 4, "RIFF");
    le::put32(b, 4, static_cast<uint32_t>(length - 8));
    b.replace(8, 8, "WAVEfmt ");
    le::put16(b, 20, 1); // PCM
    le::put16(b, 22, 1);
    le::put32(b, 24, 11025);
    le::put16(b, 34, 8);
    return b;
}

class Voice : public ::testing::Test {
protected:
    QTemporaryDir dir;
    MemoryLink link;
    ConfigRecords records;
    MonitorBlocks monitor;
    SessionController s{link, &records, &monitor};
    FileTransfer t{s};
    VoiceMessages v{s, t};
    QSignalSpy closed{&s.progress(), &ProgressWatchdog::closed};
    QSignalSpy messages{&v, &VoiceMessages::message};

    void connectUnit(uint8_t type)
    {
        qputenv("RVCONF_HOME", dir.path().toLocal8Bit());
        s.setPortName(QStringLiteral("unit"));
        s.start(false);
        runStep();
        unit(rvTr(type, 1));
        link.takeWritten();
    }
    void runStep() { for (int i = 0; i < 10; ++i) s.Find_deviceTimer(); }
    void ticks(int n) { for (int i = 0; i < n; ++i) s.Receive_timerTimer(); }
    void unit(const QByteArray& bytes)
    {
        link.feed(bytes);
        ticks(4);
    }
    QString lastClosed() const { return closed.isEmpty() ? QString() : closed.last().at(0).toString(); }
    QString lastMessage() const { return messages.isEmpty() ? QString() : messages.last().at(0).toString(); }
    QString file(const char* name, const QByteArray& bytes)
    {
        const QString path = dir.filePath(QString::fromLatin1(name));
        rvtest::putFile(path, bytes);
        return path;
    }
    // The unit takes the file announced by the open request: next-chunk requests until code 9.
    QByteArray pullFile()
    {
        QByteArray got;
        for (int guard = 0; guard < 100; ++guard) {
            link.feed(QByteArray("FLRW\x04"));
            ticks(4);
            const QByteArray w = link.takeWritten();
            if (!w.startsWith("CONFIGF\x03"))
                return "<" + w + ">";
            const int n = le::u16(w, 8);
            got += w.mid(10, n);
            if (n < filecmd::kChunkMax)
                break;
        }
        unit(QByteArray("FLRW\x09"));
        return got;
    }
    // Starts the archive write and plays the unit up to the first chunk request.
    void startArchive(const QString& path, uint32_t capacity)
    {
        link.takeWritten();
        ASSERT_TRUE(v.writeArchive(path));
        runStep();
        ASSERT_EQ(link.takeWritten(), QByteArray("RV+VMS"));
        unit("+VMS" + le::bytes32(capacity));
    }
};

} // namespace

TEST_F(Voice, TypeTwoWritesOnlyAssignedRowsToTheirUnitNamesThenNothing)
{
    connectUnit(2);
    const QByteArray menu = wav(1300, 1), ohrana = wav(600, 2);
    v.assignFile(3, file("menu-local.wav", menu));
    v.assignFile(7, file("ohrana-local.wav", ohrana));
    EXPECT_EQ(v.sizeText(3), QStringLiteral("1292 байт"));
    EXPECT_EQ(v.usedBytes(), 1292u + 592u);
    EXPECT_EQ(v.gaugeText(), QStringLiteral("0 %"));

    v.writeFiles();
    EXPECT_EQ(s.session().OperationState, osWriteVoice);
    runStep();
    ticks(1);
    EXPECT_EQ(link.takeWritten(), QByteArray("CONFIGF\x02\x03\x14\x05\0\0menu.wav\0\0", 23)); // 8 letters: two zeros
    EXPECT_EQ(s.progress().label(), QStringLiteral("Копирование файла \"Меню конфигурации\""));
    EXPECT_EQ(pullFile(), menu);
    EXPECT_EQ(v.fileText(3), QStringLiteral("menu.wav"));
    ticks(3);
    EXPECT_EQ(link.takeWritten(), QByteArray("CONFIGF\x02\x03\x58\x02\0\0ohrana_0.wav\0", 26));
    EXPECT_EQ(pullFile(), ohrana);
    ticks(40); // one row a tick, to the end of the table
    EXPECT_EQ(lastClosed(), QStringLiteral("Копирование файлов завершено"));
    EXPECT_EQ(s.session().OperationState, osIdle);
    EXPECT_FALSE(s.session().voiceWrite);

    // The cells now hold the unit's names: a second write has nothing to send and says so.
    v.writeFiles();
    EXPECT_EQ(lastMessage(), QStringLiteral("Нет файлов для записи"));
    EXPECT_EQ(s.session().OperationState, osIdle);
    runStep();
    ticks(5);
    EXPECT_FALSE(link.takeWritten().contains("CONFIGF"));
}

TEST_F(Voice, TypeTwoMissingFileIsMarkedAndSkippedAndAUnitErrorStopsTheSequence)
{
    connectUnit(2);
    v.assignFile(0, file("a.wav", wav(100, 1)));
    v.assignFile(1, file("b.wav", wav(100, 2)));
    v.assignFile(2, file("c.wav", wav(100, 3)));
    QFile::remove(dir.filePath(QStringLiteral("a.wav")));
    v.writeFiles();
    runStep();
    ticks(2);
    EXPECT_EQ(v.fileText(0), QStringLiteral("файл не доступен"));
    EXPECT_EQ(link.takeWritten(), QByteArray("CONFIGF\x02\x03\x64\0\0\0pass.wav\0\0", 23));
    unit(QByteArray("FLRW\x05"));
    EXPECT_EQ(lastClosed(), QStringLiteral("Ошибка создания/записи файла или нет носителя"));
    ticks(20);
    EXPECT_FALSE(link.takeWritten().contains("CONFIGF")); // row 2 is not sent after the failure
    EXPECT_EQ(s.session().OperationState, osIdle);

    // A silent unit: the watchdog ends the write and no later tick carries the sequence on.
    v.writeFiles();
    runStep();
    ticks(2);
    ASSERT_FALSE(link.takeWritten().isEmpty());
    for (int i = 0; i < 20; ++i)
        s.progress().Timer1Timer();
    EXPECT_EQ(lastClosed(), QStringLiteral("Нет ответа/Повторите операцию"));
    ticks(20);
    EXPECT_FALSE(link.takeWritten().contains("CONFIGF"));
}

TEST_F(Voice, TypeTwoListingAsksEveryNameAndFillsThoseTheUnitHas)
{
    connectUnit(2);
    v.assignFile(5, file("x.wav", wav(100, 1)));
    v.listFiles();
    EXPECT_EQ(lastMessage(), QStringLiteral("Команда не поддерживается")); // no DEVICE block yet: version 0
    EXPECT_EQ(v.fileText(5), QString());
    EXPECT_EQ(s.progress().label(), QStringLiteral("Постоение списка..."));
    EXPECT_EQ(s.progress().limit(), 50); // the indeterminate form, 10 s
    runStep();
    QList<QByteArray> asked;
    for (int r = 0; r < VoiceMessages::kRows; ++r) {
        ticks(1);
        const QByteArray w = link.takeWritten();
        ASSERT_TRUE(w.startsWith(QByteArray("CONFIGF\x01\x03", 9))) << r;
        asked << w.mid(9).split('\0').first();
        unit(r == 0 || r == 44 ? QByteArray("FLRW\x06\x10\0\0\0", 9) : QByteArray("FLRW\x07"));
    }
    ticks(2);
    EXPECT_EQ(asked.first(), "hello.wav");
    EXPECT_EQ(asked.at(10), "in_2.wav");
    EXPECT_EQ(asked.last(), "event_20.wav");
    EXPECT_EQ(lastClosed(), QStringLiteral("Список построен"));
    EXPECT_EQ(v.fileText(0), QStringLiteral("hello.wav"));
    EXPECT_EQ(v.fileText(44), QStringLiteral("event_20.wav"));
    EXPECT_EQ(v.fileText(1), QString());
    EXPECT_EQ(s.session().OperationState, osIdle);
    EXPECT_FALSE(t.active());
}

TEST_F(Voice, ArchiveGoesToATypeFourUnitInChunksOf512PlusAZeroFiller)
{
    connectUnit(4);
    std::array<QByteArray, voice::kMessages> files;
    files[0] = wav(600, 1);
    files[1] = wav(408, 2); // a data area of 1000 bytes
    const QByteArray archive = voice::buildArchive(files);
    ASSERT_EQ(archive.size(), 1512);
    startArchive(file("a.vfa", archive), 1000);
    const QList<QByteArray> w = link.writes();
    link.takeWritten();
    ASSERT_EQ(w.size(), 2);
    EXPECT_EQ(w[0], "RV+VWP");
    EXPECT_EQ(w[1], archive.left(512) + QByteArray(1, '\0'));
    EXPECT_EQ(v.gaugeMaximum(), 1000u);
    unit("+VWP");
    EXPECT_EQ(link.takeWritten(), QByteArray("RV+VFS\xE8\x03\0\0", 10));
    unit("+VFS");
    EXPECT_EQ(link.takeWritten(), "RV+VWF" + archive.mid(512, 512) + QByteArray(1, '\0'));
    unit("+VWF");
    // The last chunk: 488 bytes of the archive, zeros to 512 and the zero filler.
    EXPECT_EQ(link.takeWritten(), "RV+VWF" + archive.mid(1024) + QByteArray(25, '\0'));
    EXPECT_EQ(v.archive().bytesSent(), 1000u);
    unit("+VWF");
    EXPECT_EQ(lastClosed(), QStringLiteral("Запись архива завершена"));
    EXPECT_EQ(s.session().OperationState, osIdle);
    EXPECT_TRUE(link.takeWritten().isEmpty());
}

TEST_F(Voice, TypeThreeTakesChunksOf528)
{
    connectUnit(3);
    std::array<QByteArray, voice::kMessages> files;
    files[10] = wav(1100, 3);
    const QByteArray archive = voice::buildArchive(files);
    startArchive(file("b.vfa", archive), 5000);
    link.takeWritten();
    unit("+VWP");
    link.takeWritten();
    unit("+VFS");
    const QList<QByteArray> w = link.writes();
    link.takeWritten();
    ASSERT_EQ(w.size(), 2);
    EXPECT_EQ(w[0], "RV+VWF");
    EXPECT_EQ(w[1], archive.mid(512, 528) + QByteArray(1, '\0'));
    unit("+VWF");
    EXPECT_EQ(link.takeWritten(), "RV+VWF" + archive.mid(1040, 528) + QByteArray(1, '\0'));
    unit("+VWF");
    EXPECT_EQ(link.takeWritten(), "RV+VWF" + archive.mid(1568) + QByteArray(528 - 44 + 1, '\0'));
    unit("+VWF");
    EXPECT_EQ(lastClosed(), QStringLiteral("Запись архива завершена"));
}

TEST_F(Voice, ArchiveRefusedByCapacityIncludingNoneAndDamagedFilesNeverStart)
{
    connectUnit(4);
    std::array<QByteArray, voice::kMessages> files;
    files[0] = wav(2000, 1);
    const QString path = file("c.vfa", voice::buildArchive(files));
    startArchive(path, 1999);
    EXPECT_EQ(lastClosed(), QStringLiteral("Размер файла больше выделенной памяти"));
    EXPECT_EQ(s.session().OperationState, osIdle);
    EXPECT_FALSE(link.takeWritten().contains("RV+V"));

    v.assignFile(0, file("w.wav", wav(500, 1)));
    ASSERT_EQ(v.usedBytes(), 492u);
    startArchive(path, 0);
    EXPECT_EQ(lastClosed(), QStringLiteral("Размер файла больше выделенной памяти"));
    EXPECT_EQ(v.gaugePercent(), 0); // no division by a capacity of 0
    EXPECT_EQ(v.gaugeText(), QStringLiteral("0 %"));
    EXPECT_FALSE(link.takeWritten().contains("RV+V"));

    EXPECT_FALSE(v.writeArchive(file("short.vfa", QByteArray(100, '\0'))));
    EXPECT_EQ(lastMessage(), QStringLiteral("Файл архива поврежден"));
    QByteArray outside = voice::buildArchive(files);
    outside.chop(1);
    EXPECT_FALSE(v.writeArchive(file("cut.vfa", outside)));
    EXPECT_EQ(s.session().OperationState, osIdle);
}

TEST_F(Voice, ArchiveThatShrinksMidWriteStopsAndASilentUnitIsEndedByTheWatchdog)
{
    connectUnit(4);
    std::array<QByteArray, voice::kMessages> files;
    files[0] = wav(3000, 1);
    const QByteArray archive = voice::buildArchive(files);
    const QString path = file("d.vfa", archive);
    startArchive(path, 100000);
    unit("+VWP");
    unit("+VFS");
    link.takeWritten();
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.resize(512 + 512));
    }
    unit("+VWF");
    EXPECT_EQ(lastClosed(), QStringLiteral("Ошибка чтения файла архива"));
    EXPECT_EQ(s.session().OperationState, osIdle);
    EXPECT_FALSE(link.takeWritten().contains("RV+V"));
    unit("+VWF"); // late replies change nothing
    EXPECT_FALSE(link.takeWritten().contains("RV+V"));

    // Silent before the capacity: the window is already up and its watchdog ends the write.
    rvtest::putFile(path, archive);
    ASSERT_TRUE(v.writeArchive(path));
    runStep();
    link.takeWritten();
    for (int i = 0; i < 20; ++i)
        s.progress().Timer1Timer();
    EXPECT_EQ(lastClosed(), QStringLiteral("Нет ответа/Повторите операцию"));
    EXPECT_FALSE(v.archive().active());
    unit("+VMS" + le::bytes32(100000));
    EXPECT_FALSE(link.takeWritten().contains("RV+V"));
}

TEST_F(Voice, TableOpenedFromAnArchiveAndSavedBackWithTheGauge)
{
    connectUnit(4);
    std::array<QByteArray, voice::kMessages> files;
    files[0] = wav(1000, 1);
    files[5] = wav(500, 2);
    v.setFileText(9, QStringLiteral("stale"));
    v.setSizeText(9, QStringLiteral("777 байт"));
    v.openArchive(file("e.vfa", voice::buildArchive(files)));
    EXPECT_EQ(v.fileText(0), QStringLiteral("file0"));
    EXPECT_EQ(v.sizeText(0), QStringLiteral("992 байт"));
    EXPECT_EQ(v.fileText(5), QStringLiteral("file5"));
    EXPECT_EQ(v.sizeText(5), QStringLiteral("492 байт"));
    EXPECT_EQ(v.fileText(9), QString());
    EXPECT_EQ(v.sizeText(9), QStringLiteral("777 байт")); // kept, but no longer counted
    EXPECT_EQ(v.usedBytes(), 992u + 492u);

    v.openArchive(file("bad.vfa", QByteArray(10, '\0')));
    EXPECT_EQ(lastMessage(), QStringLiteral("Файл архива поврежден"));
    EXPECT_EQ(v.fileText(0), QStringLiteral("file0"));

    // "fileN" names no local file: nothing to save, and no file appears.
    const QString out = dir.filePath(QStringLiteral("out.vfa"));
    v.saveArchive(out);
    EXPECT_EQ(lastMessage(), QStringLiteral("Нет файлов для записи"));
    EXPECT_FALSE(QFile::exists(out));
    v.assignFile(2, file("g.wav", files[0]));
    v.saveArchive(out);
    QFile saved(out);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    std::array<QByteArray, voice::kMessages> expected;
    expected[2] = files[0];
    EXPECT_EQ(saved.readAll(), voice::buildArchive(expected));

    QSignalSpy status(&v, &VoiceMessages::statusText);
    v.saveArchive(dir.filePath(QStringLiteral("missing/dir/out.vfa")));
    ASSERT_EQ(status.size(), 1);
    EXPECT_EQ(status.last().at(1).toString(),
              QStringLiteral("Не удалось сохранить %1: нет такой папки").arg(dir.filePath(QStringLiteral("missing/dir/out.vfa"))));

    // A file of the wrong format is not taken.
    const qsizetype before = messages.size();
    v.assignFile(3, file("stereo.wav", [] { QByteArray b = wav(500, 4); le::put16(b, 22, 2); return b; }()));
    EXPECT_EQ(messages.size(), before + 1);
    EXPECT_EQ(v.fileText(3), QString());
}
