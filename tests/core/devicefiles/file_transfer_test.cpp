// The file transfer driven tick by tick over the in-memory link: the requests' exact bytes, every reply
// code, the early hand-on of complete chunks, and what happens to the local file when a transfer fails.

#include "core/devicefiles/file_transfer.h"

#include "core/config/records.h"
#include "core/link/memory_link.h"
#include "core/monitor/monitor_blocks.h"
#include "core/protocol/device_session.h"
#include "core/protocol/session_texts.h"
#include "support/unit_bytes.h"
#include "support/files.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace rv;
using namespace rvtest;

namespace {

QByteArray le16(uint16_t v)
{
    QByteArray b(2, '\0');
    b[0] = char(v & 0xFF);
    b[1] = char(v >> 8);
    return b;
}
QByteArray le32(uint32_t v) { return le16(uint16_t(v & 0xFFFF)) + le16(uint16_t(v >> 16)); }
QByteArray chunk(const QByteArray& data) { return "FLRW\x03" + le16(uint16_t(data.size())) + data; }
QByteArray sizeReply(uint32_t size) { return "FLRW\x06" + le32(size); }
QByteArray code(uint8_t c) { return QByteArray("FLRW") + char(c); }

class Transfer : public ::testing::Test {
protected:
    QTemporaryDir home;
    MemoryLink link;
    ConfigRecords records;
    MonitorBlocks monitor;
    SessionController s{link, &records, &monitor};
    FileTransfer t{s};
    QSignalSpy closed{&s.progress(), &ProgressWatchdog::closed};
    QSignalSpy messages{&t, &FileTransfer::message};

    void SetUp() override
    {
        qputenv("RVCONF_HOME", home.path().toLocal8Bit());
        s.setPortName(QStringLiteral("unit"));
        s.start(false);
        runStep();
        unit(rvTr(2, 1));
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
    // Starts the log read of a day and answers the open request with `size`.
    void openLog(uint32_t size)
    {
        t.Read_log_fileClick(QStringLiteral("2026-12-09"));
        runStep();
        link.takeWritten();
        unit(sizeReply(size));
        ASSERT_EQ(link.takeWritten(), QByteArray("CONFIGF\x04"));
    }
};

TEST(FileCommands, RequestBytesAndPadding)
{
    EXPECT_EQ(filecmd::openRead(1, "2026-12-09.log"),
              (Writes{"CONFIGF", QByteArray("\x01\x01"), "2026-12-09.log", QByteArray(1, '\0')}));
    EXPECT_EQ(filecmd::openRead(4, "Marshrut.fai").join(), QByteArray("CONFIGF\x01\x04Marshrut.fai\0", 22));
    // Only voice names are padded: an 8-letter one goes out as its letters, 0x00, 0x00.
    EXPECT_EQ(filecmd::openRead(3, "ABCDEFGH", true).join(), QByteArray("CONFIGF\x01\x03" "ABCDEFGH\0\0", 19));
    EXPECT_EQ(filecmd::openRead(3, "ABCDEFGHIJKLMNOP", false).join().size(), 7 + 2 + 16 + 1);
    EXPECT_EQ(filecmd::openWrite(4, 0x0180, "Marshrut.fai").join(),
              QByteArray("CONFIGF\x02\x04\x80\x01\0\0Marshrut.fai\0", 26));
    // A data chunk is one write: 509 data bytes make 512, so one 0x00 follows; 512 data bytes make 515.
    const Writes c509 = filecmd::dataChunk(pattern(509, 1));
    ASSERT_EQ(c509.size(), 2);
    EXPECT_EQ(c509[1].size(), 513);
    EXPECT_EQ(c509[1].left(3), QByteArray("\x03\xFD\x01"));
    EXPECT_EQ(c509[1].back(), '\0');
    EXPECT_EQ(filecmd::dataChunk(pattern(512, 2))[1].size(), 515);
    EXPECT_EQ(filecmd::dataChunk({}).join(), QByteArray("CONFIGF\x03\0\0", 10));
    EXPECT_EQ(filecmd::nextChunk().join(), QByteArray("CONFIGF\x04"));
    EXPECT_EQ(filecmd::stop().join(), QByteArray("CONFIGF\x05"));
}

TEST(FileReplies, ParsingAndCompleteChunks)
{
    const FileReply r = parseFileReply(QByteArray("xxFLRW\x03\x80\x01") + pattern(384, 3), 2);
    EXPECT_EQ(r.code, 3);
    EXPECT_TRUE(r.complete); // 0x0180 is 384: the length is unsigned
    EXPECT_EQ(r.data, pattern(384, 3));
    EXPECT_FALSE(parseFileReply(chunk(pattern(100, 4)).chopped(1), 0).complete);
    EXPECT_EQ(parseFileReply(sizeReply(123456), 0).size, 123456u);
    EXPECT_FALSE(parseFileReply(QByteArray("FLRW\x06\x01\x02", 7), 0).complete);
    EXPECT_FALSE(parseFileReply(QByteArray("FLRW"), 0).complete);

    EXPECT_EQ(completeChunkLength(chunk(pattern(10, 5)) + "tail"), 17);
    EXPECT_EQ(completeChunkLength(chunk(pattern(10, 5)).chopped(1)), kFrameIncomplete);
    EXPECT_EQ(completeChunkLength("FLR"), kFrameIncomplete);
    EXPECT_EQ(completeChunkLength("FLRW\x04"), 0);
    EXPECT_EQ(completeChunkLength(code(4)), 0);
    EXPECT_EQ(completeChunkLength("x" + chunk(pattern(10, 5))), 0);
}

TEST_F(Transfer, LogReadDeliversTheFileChunkByChunkWithoutWaitingForTheGap)
{
    QSignalSpy delivered(&t, &FileTransfer::logFileRead);
    QSignalSpy started(&t, &FileTransfer::logReadStarted);
    t.Read_log_fileClick(QStringLiteral("2026-12-09"));
    EXPECT_EQ(started.size(), 1);
    EXPECT_EQ(s.progress().label(), QStringLiteral("Чтение файла диагностики..."));
    runStep();
    EXPECT_EQ(link.takeWritten(), QByteArray("CONFIGF\x01\x01" "2026-12-09.log\0", 24));
    const QByteArray file = pattern(1500, 6);
    unit(sizeReply(1500));
    EXPECT_EQ(link.takeWritten(), QByteArray("CONFIGF\x04"));
    EXPECT_EQ(s.progress().maximum(), 1500);

    // A complete chunk is taken the moment its last byte is there, in pieces or not.
    const QByteArray first = chunk(file.left(1000));
    link.feed(first.left(600));
    EXPECT_TRUE(link.written().isEmpty());
    link.feed(first.sliced(600));
    EXPECT_EQ(link.takeWritten(), QByteArray("CONFIGF\x04"));
    EXPECT_EQ(s.progress().position(), 1000);
    link.feed(chunk(file.sliced(1000)));
    EXPECT_EQ(link.takeWritten(), QByteArray("CONFIGF\x05"));
    ticks(10);

    EXPECT_EQ(rvtest::fileBytes(FileTransfer::logFilePath()), file);
    EXPECT_EQ(delivered.size(), 1);
    EXPECT_EQ(lastClosed(), QStringLiteral("Файл диагностики считан"));
    EXPECT_EQ(s.session().OperationState, osIdle);
    EXPECT_FALSE(t.active());
}

TEST_F(Transfer, WithoutEarlyHandOnAChunkWaitsForTheQuietGap)
{
    s.setEarlyFrames(false);
    openLog(100);
    link.feed(chunk(pattern(100, 7)));
    EXPECT_TRUE(link.written().isEmpty());
    ticks(4);
    EXPECT_EQ(link.takeWritten(), QByteArray("CONFIGF\x05"));
    EXPECT_EQ(rvtest::fileBytes(FileTransfer::logFilePath()), pattern(100, 7));
}

TEST_F(Transfer, AChunkStalledPastTheQuietGapIsCompletedByItsRest)
{
    for (bool early : {true, false}) {
        s.setEarlyFrames(early);
        openLog(300);
        const QByteArray c = chunk(pattern(300, 21));
        link.feed(c.left(150));
        ticks(10); // the line is quiet for 100 ms mid-chunk
        EXPECT_TRUE(t.active());
        link.feed(c.sliced(150));
        ticks(4);
        EXPECT_EQ(lastClosed(), QStringLiteral("Файл диагностики считан"));
        EXPECT_EQ(rvtest::fileBytes(FileTransfer::logFilePath()), pattern(300, 21));
    }
}

TEST_F(Transfer, AnAnswerArrivingWhileTheLastReplyIsHandledIsKept)
{
    // The unit answers the next-chunk request at once, before the analysis that sent it has returned:
    // the line must not be purged under that answer.
    s.setEarlyFrames(false);
    t.Read_log_fileClick(QStringLiteral("2026-12-09"));
    runStep();
    bool answered = false;
    QObject::connect(&s.progress(), &ProgressWatchdog::changed, [&] {
        if (!answered && link.written().endsWith("CONFIGF\x04")) {
            answered = true;
            link.feed(chunk(pattern(64, 20)));
        }
    });
    unit(sizeReply(64));
    ASSERT_TRUE(answered);
    ticks(4);
    EXPECT_EQ(rvtest::fileBytes(FileTransfer::logFilePath()), pattern(64, 20));
    EXPECT_EQ(lastClosed(), QStringLiteral("Файл диагностики считан"));
}

TEST_F(Transfer, ChunkDataIsNeverTakenForReplies)
{
    SessionTexts texts{s};
    QSignalSpy sessionMessages(&texts, &SessionTexts::message);
    QSignalSpy password(&s, &SessionController::passwordWanted);
    const QByteArray text = "12:00 FAIL WRITE GPS\x05\x00E +PASS=? TRACKDEL NEWCONF LOWD CONFIG\x02\x00xx RV-TR\x02\x01";
    for (bool early : {true, false}) {
        s.setEarlyFrames(early);
        openLog(uint32_t(text.size()));
        link.feed(chunk(text));
        ticks(4);
        EXPECT_EQ(rvtest::fileBytes(FileTransfer::logFilePath()), text);
        EXPECT_EQ(lastClosed(), QStringLiteral("Файл диагностики считан"));
    }
    EXPECT_TRUE(sessionMessages.isEmpty());
    EXPECT_TRUE(password.isEmpty());
    EXPECT_EQ(s.session().DeviceType, 2);
}

TEST_F(Transfer, FailedReadsKeepThePreviousFileAndSayWhy)
{
    rvtest::putFile(FileTransfer::logFilePath(), "the good old log");
    struct Case {
        const char* what;
        QByteArray afterSize; // what the unit sends after the size reply and the first chunk
        QString message;
        bool stopSent;
    };
    const QList<Case> cases = {
        {"overshoot", chunk(pattern(200, 8)), QStringLiteral("Устройство передало больше данных, чем объявило: файл не сохранен"), true},
        {"empty chunk", chunk({}), QStringLiteral("Не удается записать во временный файл"), true},
        {"read error", code(8), QStringLiteral("Ошибка чтения файла"), false},
        {"unsupported", code(255), QStringLiteral("Команда не поддерживается"), false},
    };
    for (const Case& c : cases) {
        openLog(250);
        link.feed(chunk(pattern(100, 9)));
        link.takeWritten();
        unit(c.afterSize);
        EXPECT_EQ(lastClosed(), c.message) << c.what;
        EXPECT_EQ(link.takeWritten() == QByteArray("CONFIGF\x05"), c.stopSent) << c.what;
        EXPECT_EQ(rvtest::fileBytes(FileTransfer::logFilePath()), QByteArray("the good old log")) << c.what;
        EXPECT_EQ(s.session().OperationState, osIdle) << c.what;
        EXPECT_FALSE(t.active()) << c.what;
    }

    // No file, no medium.
    t.Read_log_fileClick(QStringLiteral("2026-12-09"));
    runStep();
    unit(code(7));
    EXPECT_EQ(lastClosed(), QStringLiteral("Нет запрашиваемого файла или нет носителя"));

    // A size no medium holds is refused before any chunk is asked for.
    t.Read_log_fileClick(QStringLiteral("2026-12-09"));
    runStep();
    link.takeWritten();
    unit(sizeReply(0xFFFFFFF0u));
    EXPECT_EQ(link.takeWritten(), QByteArray("CONFIGF\x05"));
    EXPECT_TRUE(lastClosed().startsWith(QStringLiteral("Размер файла")));

    // The unit falls silent mid-transfer: the watchdog ends it and the partial file is dropped.
    openLog(250);
    link.feed(chunk(pattern(100, 10)));
    for (int i = 0; i < 15; ++i)
        s.progress().Timer1Timer();
    EXPECT_EQ(lastClosed(), QStringLiteral("Нет ответа/Повторите операцию"));
    EXPECT_FALSE(t.active());
    EXPECT_EQ(rvtest::fileBytes(FileTransfer::logFilePath()), QByteArray("the good old log"));
    EXPECT_EQ(QDir(home.path()).entryList(QDir::Files), QStringList{QStringLiteral("Log_file.log")});

    // The cable is pulled mid-transfer: ended at once, nothing kept.
    openLog(250);
    link.feed(chunk(pattern(100, 11)));
    link.hangUp();
    EXPECT_FALSE(t.active());
    EXPECT_EQ(s.session().OperationState, osSearch);
    EXPECT_EQ(rvtest::fileBytes(FileTransfer::logFilePath()), QByteArray("the good old log"));
}

TEST_F(Transfer, RepliesNobodyAskedForAreIgnored)
{
    for (const QByteArray& r : {code(4), code(9), code(5), code(7), code(255), sizeReply(10), chunk("abc")})
        unit(r);
    EXPECT_FALSE(link.written().contains("CONFIGF")); // keep-alive polls only
    EXPECT_TRUE(closed.isEmpty());
    t.Read_log_fileClick(QString());
    EXPECT_EQ(messages.last().at(0).toString(), QStringLiteral("Задайте дату!"));
    EXPECT_EQ(s.session().OperationState, osIdle);
}

TEST_F(Transfer, RouteWriteAnswersEveryRequestOfTheUnit)
{
    const QString local = FileTransfer::routeFilePath();
    const QByteArray file = pattern(1100, 12);
    rvtest::putFile(local, file);
    ASSERT_TRUE(t.startRouteWrite(local));
    EXPECT_EQ(s.progress().label(), QStringLiteral("Запись файла маршрута..."));
    runStep();
    EXPECT_EQ(link.takeWritten(), filecmd::openWrite(4, 1100, "Marshrut.fai").join());
    QByteArray sent;
    for (int i = 0; i < 3; ++i) {
        unit(code(4));
        const QByteArray w = link.takeWritten();
        ASSERT_TRUE(w.startsWith("CONFIGF\x03"));
        const int n = uint8_t(w[8]) | uint8_t(w[9]) << 8;
        sent += w.mid(10, n);
    }
    EXPECT_EQ(sent, file);
    unit(code(4)); // after the end: an empty chunk
    EXPECT_EQ(link.takeWritten(), QByteArray("CONFIGF\x03\0\0", 10));
    unit(code(9));
    EXPECT_EQ(lastClosed(), QStringLiteral("Файл маршрута записан"));
    EXPECT_EQ(s.session().OperationState, osIdle);

    // The local file shrinks under a write: stopped with a message, no empty chunks for ever.
    ASSERT_TRUE(t.startRouteWrite(local));
    runStep();
    link.takeWritten();
    rvtest::putFile(local, "short");
    unit(code(4));
    unit(code(4));
    EXPECT_EQ(lastClosed(), QStringLiteral("Ошибка чтения временного файла"));
    EXPECT_FALSE(t.active());

    // The unit cannot store the file.
    rvtest::putFile(local, file);
    ASSERT_TRUE(t.startRouteWrite(local));
    runStep();
    unit(code(5));
    EXPECT_EQ(lastClosed(), QStringLiteral("Ошибка создания/записи файла или нет носителя"));

    // A local file that cannot be opened: a message, and no transfer starts.
    EXPECT_FALSE(t.startRouteWrite(home.filePath(QStringLiteral("missing.fai"))));
    EXPECT_EQ(messages.last().at(0).toString(), QStringLiteral("Ошибка чтения временного файла"));
    EXPECT_FALSE(t.active());
}

} // namespace
