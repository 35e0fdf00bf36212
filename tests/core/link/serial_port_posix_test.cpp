// What only the termios port has to prove: exclusive opening, the line settings, the read time-out, the
// raised errors, and silence after Close.

#include "core/link/serial_link.h"
#include "support/pty_pair.h"
#include "support/wait.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryFile>
#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <vector>
#include <cerrno>
#include <fcntl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

using namespace rv;
using rvtest::waitUntil;

TEST(SerialPort, OpensExclusivelyAndOnlyCharacterDevices)
{
    rvtest::PtyPair pty;
    SerialLink first, second;
    ASSERT_TRUE(first.open(pty.slavePath()));
    EXPECT_FALSE(second.open(pty.slavePath()));
    EXPECT_TRUE(second.lastOpenError().contains(QStringLiteral("занят")));
    first.close();
    EXPECT_TRUE(second.open(pty.slavePath())); // free again once closed

    QTemporaryFile plain;
    ASSERT_TRUE(plain.open());
    SerialLink third;
    EXPECT_FALSE(third.open(plain.fileName()));
    EXPECT_TRUE(third.lastOpenError().contains(QStringLiteral("не является")));
}

TEST(SerialPort, LineIsRaw115200_8N1)
{
    rvtest::PtyPair pty;
    SerialLink link;
    ASSERT_TRUE(link.open(pty.slavePath()));
    const int fd = ::open(pty.slavePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    termios tio {};
    ASSERT_EQ(::tcgetattr(fd, &tio), 0);
    ::close(fd);
    EXPECT_EQ(::cfgetospeed(&tio), speed_t(B115200));
    EXPECT_EQ(tio.c_cflag & CSIZE, tcflag_t(CS8));
    EXPECT_FALSE(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS));
    EXPECT_TRUE(tio.c_cflag & CLOCAL);
    EXPECT_FALSE(tio.c_lflag & (ICANON | ECHO | ISIG));
    EXPECT_FALSE(tio.c_iflag & (IXON | IXOFF | ICRNL | INLCR));
    EXPECT_FALSE(tio.c_oflag & OPOST);
}

TEST(SerialPort, ReadReturnsWhatArrivedAfterOneSecond)
{
    rvtest::PtyPair pty;
    SerialLink link;
    ASSERT_TRUE(link.open(pty.slavePath()));
    pty.unitWrite("WRITE");
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(link.read(64), QByteArray("WRITE"));
    EXPECT_GE(t.elapsed(), 900); // the rest never came: the read waited out its time-out
}

TEST(SerialPort, RaisesTheDocumentedErrors)
{
    rvtest::PtyPair pty;
    TComm comm;
    QSignalSpy errors(&comm, &TThreadComm::errorRaised);
    comm.EscapeComm(CommEscape::SetDtr);
    ASSERT_EQ(errors.size(), 1);
    EXPECT_EQ(errors.at(0).at(0).toString(), QStringLiteral("Port not open (Error: -1)"));

    comm.SetDeviceName(pty.slavePath());
    comm.Open();
    ASSERT_TRUE(comm.Enabled());
    comm.Open();
    ASSERT_EQ(errors.size(), 2);
    EXPECT_EQ(errors.at(1).at(0).toString(), QStringLiteral("Port already assigned (open) (Error: -1)"));

    // Settings that only apply while closed are left alone.
    comm.SetDeviceName(QStringLiteral("/dev/other"));
    comm.setReadBufSize(1);
    comm.setMonitorEvents({evBreak});
    EXPECT_EQ(comm.DeviceName(), pty.slavePath());
    EXPECT_EQ(comm.ReadBufSize(), 4096);
    EXPECT_EQ(comm.MonitorEvents(), kAllCommEvents);
    comm.Close();
    EXPECT_EQ(comm.Write("x", 1), -1);
    EXPECT_EQ(comm.Read(nullptr, 1), -1);
}

TEST(SerialPort, NoNotificationAfterClose)
{
    rvtest::PtyPair pty;
    SerialLink link;
    ASSERT_TRUE(link.open(pty.slavePath()));
    std::atomic<int> notified{0};
    QObject::connect(&link, &Link::bytesArrived, [&] { ++notified; });

    std::atomic<bool> stop{false};
    std::thread unit([&] {
        while (!stop) {
            pty.unitWrite("GPS");
            ::usleep(500);
        }
    });
    waitUntil([&] { return notified > 3; });
    link.close();
    const int atClose = notified;
    waitUntil([] { return false; }, 150);
    stop = true;
    unit.join();
    EXPECT_GT(atClose, 0);
    EXPECT_EQ(notified, atClose);
}

TEST(SerialPort, FailureTextsExplainTheCause)
{
    QTemporaryFile f;
    ASSERT_TRUE(f.open());
    ASSERT_TRUE(f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::WriteGroup));
    const QString denied = portOpenFailureText(f.fileName(), EACCES);
    EXPECT_TRUE(denied.contains(QStringLiteral("usermod -aG")));
    EXPECT_TRUE(denied.contains(f.fileName()));
    EXPECT_EQ(portOpenFailureText(QStringLiteral("/dev/ttyUSB7"), ENOENT), QStringLiteral("Порт /dev/ttyUSB7 не найден"));
}

// USB adapters deliver a reply in many small pieces a fraction of a millisecond apart. Whatever the
// interleaving of the event thread and this one, the last notification must report every byte that
// arrived, and reading that many returns them all. Many rounds, to give a race room to show.
TEST(SerialPort, EveryByteOfAReplyInPiecesIsNotified)
{
    rvtest::PtyPair pty;
    SerialLink link;
    ASSERT_TRUE(link.open(pty.slavePath()));
    quint32 lastCount = 0;
    qint64 notifications = 0;
    QObject::connect(&link, &Link::bytesArrived, [&](quint32 n) { lastCount = n; ++notifications; });

    std::mt19937 rng(20261209);
    int lostRounds = 0;
    constexpr int kRounds = 80;
    for (int round = 0; round < kRounds; ++round) {
        QByteArray reply(std::uniform_int_distribution<int>(200, 1000)(rng), '\0');
        for (char& c : reply)
            c = static_cast<char>(rng());
        std::vector<std::pair<int, int>> pieces; // (length, gap in microseconds)
        for (qsizetype at = 0; at < reply.size();) {
            const int len = std::min<int>(std::uniform_int_distribution<int>(1, 64)(rng), int(reply.size() - at));
            pieces.emplace_back(len, std::uniform_int_distribution<int>(50, 600)(rng));
            at += len;
        }
        lastCount = 0;
        std::atomic<bool> written{false};
        std::thread unit([&] {
            qsizetype at = 0;
            for (const auto& [len, gap] : pieces) {
                pty.unitWrite(QByteArrayView(reply).sliced(at, len));
                at += len;
                std::this_thread::sleep_for(std::chrono::microseconds(gap));
            }
            written = true;
        });
        const bool whole = waitUntil([&] { return written && lastCount == quint32(reply.size()); });
        unit.join();
        if (!whole) {
            ++lostRounds;
            ADD_FAILURE() << "round " << round << ": notified " << lastCount << " of " << reply.size();
        } else {
            EXPECT_EQ(link.read(int(reply.size())), reply) << "round " << round;
        }
        link.discardInput();
    }
    EXPECT_EQ(lostRounds, 0);
    EXPECT_GE(notifications, kRounds);
}

// The session reads, at every notification, the count it reports: all of it must be there at once. A count
// that took a byte twice (once in the port, once moved by the event thread meanwhile) would leave the read
// waiting for a byte that never comes and returning short after its time-out.
TEST(SerialPort, ReadingWhatANotificationCountsGetsExactlyThat)
{
    rvtest::PtyPair pty;
    SerialLink link;
    ASSERT_TRUE(link.open(pty.slavePath()));
    QByteArray got;
    int shortReads = 0;
    QObject::connect(&link, &Link::bytesArrived, [&](quint32 n) {
        const QByteArray b = link.read(int(n));
        shortReads += b.size() != qsizetype(n);
        got += b;
    });
    std::mt19937 rng(20261210);
    for (int round = 0; round < 60; ++round) {
        QByteArray reply(std::uniform_int_distribution<int>(300, 1200)(rng), '\0');
        for (char& c : reply)
            c = static_cast<char>(rng());
        got.clear();
        std::thread unit([&] {
            for (qsizetype at = 0; at < reply.size();) {
                const qsizetype len = std::min<qsizetype>(std::uniform_int_distribution<int>(1, 32)(rng), reply.size() - at);
                pty.unitWrite(QByteArrayView(reply).sliced(at, len));
                at += len;
                std::this_thread::sleep_for(std::chrono::microseconds(std::uniform_int_distribution<int>(0, 150)(rng)));
            }
        });
        ASSERT_TRUE(waitUntil([&] { return got.size() >= reply.size(); })) << "round " << round;
        unit.join();
        EXPECT_EQ(got, reply) << "round " << round;
    }
    EXPECT_EQ(shortReads, 0);
}

// A line whose far end hung up reads nothing and says so: the read returns at once instead of spinning
// until its one-second time-out, and the hang-up is reported.
TEST(SerialPort, HungUpLineReturnsAtOnceAndIsReported)
{
    rvtest::PtyPair pty;
    SerialLink link;
    ASSERT_TRUE(link.open(pty.slavePath()));
    QSignalSpy hungUp(&link, &Link::hungUp);
    pty.unitWrite("RV-TR");
    ASSERT_TRUE(waitUntil([&] { return link.read(5) == "RV-TR"; }));
    pty.closeMaster();
    ASSERT_TRUE(waitUntil([&] { return !hungUp.isEmpty(); }));
    // A time-out no busy machine comes near: a read that waited for it instead of returning took all of it.
    const uint32_t timeout = 2 * rvtest::kPatienceMs;
    link.comm().setReadTimeout(timeout);
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(link.read(100).isEmpty());
    EXPECT_LT(clock.elapsed(), timeout);
    EXPECT_EQ(hungUp.size(), 1);
}
