// The track memory read driven tick by tick over the in-memory link: the exact requests of both forms, the
// blocks kept up to the announced size, the single repeat after a silent block, the unit's end answers, and
// the replies that must change nothing (outside a read, too large a size, data that looks like a reply).

#include "core/track/track_read.h"

#include "core/config/records.h"
#include "core/link/memory_link.h"
#include "core/monitor/monitor_blocks.h"
#include "core/protocol/device_session.h"
#include "core/protocol/session_texts.h"
#include "support/unit_bytes.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace rv;
using namespace rvtest;

namespace {

QByteArray memStart(uint32_t total) { return QByteArray("+MEM\x00\x00", 6) + le::bytes32(total); }
QByteArray memStatus(uint8_t s) { return QByteArray("+MEM\x00", 5) + char(s); }
QByteArray memBlock(const QByteArray& data)
{
    return QByteArray("+MEM\x01", 5) + le::bytes16(static_cast<uint16_t>(data.size())) + data;
}
QByteArray bytesOf(int n, int seed)
{
    QByteArray b(n, '\0');
    for (int i = 0; i < n; ++i)
        b[i] = static_cast<char>((i * 7 + seed * 13) & 0xFF);
    return b;
}
const QByteArray kNext("CONFIGM\x0A\x01\x00", 10);
const QByteArray kRepeat("CONFIGM\x0A\x01\x01", 10);

class Read : public ::testing::TestWithParam<bool> {
protected:
    QTemporaryDir home;
    MemoryLink link;
    ConfigRecords records;
    MonitorBlocks monitor;
    SessionController s{link, &records, &monitor};
    TrackRead t{s};
    QSignalSpy closed{&s.progress(), &ProgressWatchdog::closed};
    QStringList texts;

    void SetUp() override
    {
        qputenv("RVCONF_HOME", home.path().toLocal8Bit());
        s.setEarlyFrames(GetParam());
        QObject::connect(&t, &TrackRead::readTextChanged, [this](const QString& x) { texts << x; });
        s.setPortName(QStringLiteral("unit"));
        s.start(false);
        runStep();
        unit(rvTr(2, 1));
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
    QString lastClosed() const { return closed.isEmpty() ? QString() : closed.last().at(0).toString(); }
    void startRange()
    {
        t.DumpClick({TrackRead::Range, 0, 70000, 300});
        runStep();
        ASSERT_EQ(link.writes(), (QList<QByteArray>{"CONFIGM", QByteArray("\x01", 1), le::bytes32(70000),
                                                   le::bytes16(300)}));
        link.takeWritten();
    }
};

} // namespace

INSTANTIATE_TEST_SUITE_P(EarlyAndAfterTheGap, Read, ::testing::Bool());

TEST_P(Read, RangeArrivesWholeBlockByBlockAndEndsComplete)
{
    startRange();
    const QByteArray a = bytesOf(1000, 1), b = bytesOf(50, 2);
    unit(memStart(1050));
    EXPECT_EQ(link.takeWritten(), kNext);
    // The first block arrives in two pieces; it is taken only when whole.
    const QByteArray block = memBlock(a);
    link.feed(block.left(400));
    ticks(1);
    unit(block.mid(400));
    EXPECT_EQ(link.takeWritten(), kNext);
    unit(memBlock(b));
    EXPECT_EQ(link.takeWritten(), kNext);
    unit(memStatus(1));
    EXPECT_EQ(lastClosed(), QStringLiteral("Чтение памяти завершено"));
    EXPECT_EQ(t.buffer(), a + b);
    EXPECT_EQ(t.points(), 10);
    EXPECT_EQ(texts, (QStringList{QStringLiteral("Считано, байт: 0"), QStringLiteral("Считано, байт: 1000 (точек: 9)"),
                                  QStringLiteral("Считано, байт: 1050 (точек: 10)")}));
    EXPECT_EQ(s.session().OperationState, osIdle);
    EXPECT_FALSE(t.active());
    // Nothing more goes out: no repeat after the end.
    ticks(100);
    EXPECT_FALSE(link.takeWritten().contains("CONFIGM"));
}

TEST_P(Read, UndeliveredOfServer2AndBlocksThatLookLikeReplies)
{
    t.DumpClick({TrackRead::Undelivered, 1, 0, 0});
    runStep();
    EXPECT_EQ(link.writes(), (QList<QByteArray>{"CONFIGM", QByteArray(1, '\0'), QByteArray("\x01", 1)}));
    link.takeWritten();
    unit(memStart(60));
    EXPECT_EQ(link.takeWritten(), QByteArray("CONFIGM\x0A\x00\x00", 10));
    // Packet bytes may hold anything, replies' markers included: they are data.
    const QByteArray tricky = QByteArray("+MEM\x00\x02", 6) + "CONFIG" + QByteArray("+PASS=0") + "WRITE" + "TRACKDEL" +
                              QByteArray(60 - 32, 'z');
    ASSERT_EQ(tricky.size(), 60);
    SessionTexts texts{s};
    QSignalSpy messages(&texts, &SessionTexts::message);
    unit(memBlock(tricky));
    EXPECT_TRUE(closed.isEmpty());
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_TRUE(t.active());
    unit(memStatus(1));
    EXPECT_EQ(t.buffer(), tricky);
    EXPECT_EQ(lastClosed(), QStringLiteral("Чтение памяти завершено"));
}

TEST_P(Read, OneRepeatAfterASilentBlockThenTheWatchdog)
{
    startRange();
    unit(memStart(2000));
    link.takeWritten();
    unit(memBlock(bytesOf(500, 3)));
    EXPECT_EQ(link.takeWritten(), kNext);
    ticks(45);
    EXPECT_TRUE(link.takeWritten().isEmpty());
    ticks(10);
    EXPECT_EQ(link.takeWritten(), kRepeat);
    ticks(200);
    EXPECT_TRUE(link.takeWritten().isEmpty()); // once
    // The repeated block is kept and the read goes on; the counter starts again with it.
    unit(memBlock(bytesOf(500, 4)));
    EXPECT_EQ(link.takeWritten(), kNext);
    EXPECT_EQ(t.buffer().size(), 1000);
    ticks(60);
    EXPECT_EQ(link.takeWritten(), kRepeat);
    // Nothing comes: the watchdog ends the read (50 ticks of 200 ms).
    for (int i = 0; i < 60; ++i)
        s.progress().Timer1Timer();
    EXPECT_EQ(lastClosed(), QStringLiteral("Нет ответа/Повторите операцию"));
    EXPECT_FALSE(t.active());
    EXPECT_EQ(s.session().OperationState, osIdle);
    EXPECT_EQ(s.session().memoryRetryCounter, 0u);
    // What was read stays for an export; a late block changes nothing.
    unit(memBlock(bytesOf(500, 5)));
    EXPECT_EQ(t.buffer().size(), 1000);
    EXPECT_FALSE(link.takeWritten().contains("CONFIGM"));
}

TEST_P(Read, ALateBlockAndTheRepeatsEchoOfItAreKeptOnce)
{
    startRange();
    const QByteArray a = bytesOf(500, 1), b = bytesOf(500, 2), c = bytesOf(500, 3);
    unit(memStart(1500));
    link.takeWritten();
    unit(memBlock(a));
    link.takeWritten();
    ticks(60);
    ASSERT_EQ(link.takeWritten(), kRepeat);
    // The block was only late: it comes, then the repeat brings it again, then the block "next" asked for.
    unit(memBlock(b));
    EXPECT_EQ(link.takeWritten(), kNext);
    unit(memBlock(b));
    EXPECT_TRUE(link.takeWritten().isEmpty()); // the echo asks for nothing: the next block is on its way
    unit(memBlock(c));
    EXPECT_EQ(link.takeWritten(), kNext);
    unit(memStatus(1));
    EXPECT_EQ(t.buffer(), a + b + c);
    EXPECT_EQ(lastClosed(), QStringLiteral("Чтение памяти завершено"));
}

TEST_P(Read, AfterARepeatANextBlockOfTheSameBytesComesWithTheFollowingRepeat)
{
    startRange();
    const QByteArray blank(500, '\xFF');
    unit(memStart(1500));
    link.takeWritten();
    unit(memBlock(bytesOf(500, 1)));
    link.takeWritten();
    ticks(60);
    ASSERT_EQ(link.takeWritten(), kRepeat);
    unit(memBlock(blank)); // the lost block, brought by the repeat
    EXPECT_EQ(link.takeWritten(), kNext);
    unit(memBlock(blank)); // the next block holds the same bytes: taken for an echo at first ...
    ticks(60);
    ASSERT_EQ(link.takeWritten(), kRepeat); // ... and asked for again
    unit(memBlock(blank));
    EXPECT_EQ(link.takeWritten(), kNext);
    unit(memStatus(1));
    EXPECT_EQ(t.buffer(), bytesOf(500, 1) + blank + blank);
    EXPECT_EQ(lastClosed(), QStringLiteral("Чтение памяти завершено"));
}

TEST_P(Read, TheUnitsEndAnswers)
{
    for (auto [status, text] : {std::pair<uint8_t, QString>{2, QStringLiteral("Нет пакетов")},
                                {3, QStringLiteral("Некорректный параметр")}}) {
        startRange();
        unit(memStatus(status));
        EXPECT_EQ(lastClosed(), text);
        EXPECT_EQ(s.session().OperationState, osIdle);
        EXPECT_FALSE(t.active());
        ticks(100);
        EXPECT_FALSE(link.takeWritten().contains("CONFIGM"));
    }
}

TEST_P(Read, TooLargeASizeIsRefusedAndTheEarlierReadStays)
{
    startRange();
    unit(memStart(105));
    unit(memBlock(bytesOf(105, 6)));
    unit(memStatus(1));
    const QByteArray earlier = t.buffer();
    ASSERT_EQ(earlier.size(), 105);
    link.takeWritten();

    startRange();
    unit(memStart(0xFFFFFFF0u));
    EXPECT_EQ(lastClosed(), QStringLiteral("Размер памяти (4294967280 байт) больше, чем может храниться в устройстве"));
    EXPECT_FALSE(link.takeWritten().contains("CONFIGM"));
    EXPECT_EQ(t.buffer(), earlier);
    EXPECT_EQ(s.session().OperationState, osIdle);
    ticks(100);
    EXPECT_FALSE(link.takeWritten().contains("CONFIGM"));
}

TEST_P(Read, BytesBeyondTheAnnouncedSizeAreNotKept)
{
    startRange();
    unit(memStart(150));
    link.takeWritten();
    unit(memBlock(bytesOf(100, 7)));
    unit(memBlock(bytesOf(100, 8)));
    unit(memStatus(1));
    EXPECT_EQ(t.buffer(), bytesOf(100, 7) + bytesOf(100, 8).left(50));
    EXPECT_EQ(texts.last(), QStringLiteral("Считано, байт: 150 (точек: 1)"));
}

TEST_P(Read, MemRepliesOutsideAReadChangeNothing)
{
    for (const QByteArray& r : {memStart(100), memBlock(bytesOf(100, 9)), memStatus(1), memStatus(2), memStatus(3)})
        unit(r);
    EXPECT_FALSE(link.takeWritten().contains("CONFIGM"));
    EXPECT_TRUE(closed.isEmpty());
    EXPECT_TRUE(t.buffer().isEmpty());
    EXPECT_EQ(s.session().OperationState, osIdle);
    // A block before the start of a read is not part of it.
    startRange();
    unit(memBlock(bytesOf(100, 10)));
    EXPECT_TRUE(link.takeWritten().isEmpty());
    EXPECT_TRUE(t.buffer().isEmpty());
    // Unknown kinds and statuses are ignored.
    unit(QByteArray("+MEM\x02\x00\x00", 7));
    unit(memStatus(9));
    EXPECT_TRUE(t.active());
    EXPECT_TRUE(closed.isEmpty());
}

TEST(TrackCommands, RequestBytes)
{
    EXPECT_EQ(trackcmd::startUndelivered(0).join(), QByteArray("CONFIGM\x00\x00", 9));
    EXPECT_EQ(trackcmd::startRange(0x01020304, 0xFFFF).join(), QByteArray("CONFIGM\x01\x04\x03\x02\x01\xFF\xFF", 14));
    EXPECT_EQ(trackcmd::nextBlock(1).join(), QByteArray("CONFIGM\x0A\x01\x00", 10));
    EXPECT_EQ(trackcmd::repeatBlock(0).join(), QByteArray("CONFIGM\x0A\x00\x01", 10));
    EXPECT_EQ(trackcmd::repeatBlock(1).join(), cmd::memoryRepeat(1).join());
}

TEST(TrackCommands, ReplyFramesAndParsing)
{
    EXPECT_EQ(completeMemLength(memStart(5) + "tail"), 10);
    EXPECT_EQ(completeMemLength(memStatus(2)), 6);
    EXPECT_EQ(completeMemLength(memBlock(bytesOf(10, 1)) + "x"), 17);
    EXPECT_EQ(completeMemLength(memBlock(bytesOf(10, 1)).chopped(1)), kFrameIncomplete);
    EXPECT_EQ(completeMemLength("+ME"), kFrameIncomplete);
    EXPECT_EQ(completeMemLength(memStart(5).left(8)), kFrameIncomplete);
    EXPECT_EQ(completeMemLength("+PASS=1"), 0);
    EXPECT_EQ(completeMemLength(memStatus(7)), 0);
    EXPECT_EQ(completeMemLength(QByteArray("+MEM\x05", 5)), 0);
    EXPECT_EQ(completeMemLength({}), 0);

    const MemReply start = parseMemReply("xx" + memStart(0x00C0FFEE), 2);
    EXPECT_EQ(start.kind, MemReply::Kind::Start);
    EXPECT_EQ(start.total, 0x00C0FFEEu);
    EXPECT_FALSE(parseMemReply(memStart(1).left(9), 0).complete);
    const MemReply cut = parseMemReply(memBlock(bytesOf(300, 2)).left(100), 0);
    EXPECT_EQ(cut.kind, MemReply::Kind::Block);
    EXPECT_FALSE(cut.complete);
    EXPECT_EQ(cut.data.size(), 93);
    EXPECT_FALSE(parseMemReply("+MEM", 0).complete);
    EXPECT_EQ(parseMemReply(memStatus(3), 0).kind, MemReply::Kind::BadParameter);
}

TEST(TrackCommands, NumbersOfARangeAreCheckedNotWrapped)
{
    EXPECT_EQ(parseDumpStart(QStringLiteral("0")), 0u);
    EXPECT_EQ(parseDumpStart(QStringLiteral(" 4294967295 ")), 4294967295u);
    EXPECT_EQ(parseDumpCount(QStringLiteral("65535")), 65535);
    for (const char* bad : {"", " ", "abc", "12a", "-1", "+5", "1.5", "1e3", "4294967296", "99999999999"})
        EXPECT_FALSE(parseDumpStart(QString::fromLatin1(bad)).has_value()) << bad;
    for (const char* bad : {"65536", "-0", "x", "100000"})
        EXPECT_FALSE(parseDumpCount(QString::fromLatin1(bad)).has_value()) << bad;
    EXPECT_FALSE(parseDumpCount(QStringLiteral("١٢")).has_value()); // digits of another script
}
