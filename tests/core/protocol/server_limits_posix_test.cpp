// The server's bounds on real loopback sockets: a caller that does not read what it is sent is cut off,
// callers from networks not allowed are closed at once, one address may hold only its share of places
// waiting for a greeting, a full house makes room by closing a caller that has not greeted, and a caller
// that resets its connection at once is still logged with its address. Callers are plain sockets of the
// test (127.0.0.x addresses are all this machine's), so nothing reads for them behind the test's back.

#include "core/base/bytes.h"
#include "core/base/checksum.h"
#include "core/protocol/network_units.h"
#include "support/wait.h"

#include <QDeadlineTimer>
#include <QSignalSpy>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <vector>

using namespace rv;
using rvtest::waitUntil;

namespace {

QByteArray unitFrame(uint8_t type, const QByteArray& body)
{
    QByteArray f = le::bytes16(static_cast<uint16_t>(body.size() | (type << 14))) + body;
    return f + le::bytes16(crc16Modbus(f));
}

QByteArray greeting(const QByteArray& imei)
{
    return unitFrame(remote::Greeting, le::bytes16(1234) + imei + QByteArray(1, 28));
}

// A caller: a non-blocking socket from `from` (127.0.0.x) that reads only when asked.
struct Caller {
    int fd = -1;
    quint16 localPort = 0;

    Caller(quint16 port, const char* from = "127.0.0.1")
    {
        fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int small = 4096; // what the caller does not read backs up into the server soon
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        ::inet_pton(AF_INET, from, &a.sin_addr);
        ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::inet_pton(AF_INET, "127.0.0.1", &a.sin_addr);
        a.sin_port = htons(port);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
            ::close(fd);
            fd = -1;
            return;
        }
        socklen_t length = sizeof a;
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length);
        localPort = ntohs(a.sin_port);
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    ~Caller()
    {
        if (fd >= 0)
            ::close(fd);
    }
    // Sends all of `bytes`, letting the server run while the socket is full; false once the server has
    // closed the connection.
    bool send(const QByteArray& bytes)
    {
        qsizetype done = 0;
        QDeadlineTimer limit(rvtest::kPatienceMs);
        while (done < bytes.size() && !limit.hasExpired()) {
            const ssize_t n = ::send(fd, bytes.constData() + done, size_t(bytes.size() - done), MSG_NOSIGNAL);
            if (n > 0) {
                done += n;
            } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
                return false;
            } else {
                QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            }
        }
        return done == bytes.size();
    }
    // Whether the server closed the connection (reads what waits, to see the end).
    bool closedByServer()
    {
        char buf[4096];
        for (;;) {
            const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
            if (n == 0)
                return true;
            if (n < 0)
                return errno != EAGAIN;
        }
    }
    QByteArray received()
    {
        QByteArray out;
        char buf[4096];
        ssize_t n;
        while ((n = ::recv(fd, buf, sizeof buf, 0)) > 0)
            out.append(buf, n);
        return out;
    }
};

class ServerLimits : public ::testing::Test {
protected:
    NetworkUnits units;
    QStringList log;

    void SetUp() override
    {
        QObject::connect(&units, &NetworkUnits::logLine, [this](const QString& t) { log << t; });
        ASSERT_TRUE(units.start(0, QHostAddress(QStringLiteral("127.0.0.1"))));
    }
    quint16 port() const { return units.server().port(); }
    int count(const QString& text) const { return static_cast<int>(log.filter(text).size()); }
    bool settle(int connections)
    {
        return waitUntil([&] { return units.server().connectionCount() == connections; });
    }
};

} // namespace

// A greeted caller that floods frames to acknowledge and never reads: the acknowledgements pile up in the
// server only up to the bound, then the connection is cut off. A caller that has not greeted is sent nothing.
TEST_F(ServerLimits, ACallerThatDoesNotReadIsCutOff)
{
    const QByteArray frame = unitFrame(remote::ToAcknowledge, {});
    QByteArray burst;
    for (int i = 0; i < 1000; ++i)
        burst += frame;

    qsizetype arrived = 0;
    QObject::connect(&units.server(), &TcpServer::dataReceived, [&](ConnectionId, const QByteArray& b) { arrived += b.size(); });
    Caller stranger(port());
    ASSERT_TRUE(settle(1));
    for (int i = 0; i < 10; ++i)
        ASSERT_TRUE(stranger.send(burst));
    ASSERT_TRUE(waitUntil([&] { return arrived == 10 * burst.size(); }));
    EXPECT_TRUE(stranger.received().isEmpty());

    Caller flood(port());
    ASSERT_TRUE(flood.send(greeting("861234567890123")));
    ASSERT_TRUE(waitUntil([&] { return units.units().greetedCount() == 1; }));
    // Bounded: the kernel's buffers on both sides and the server's bound fill after a few megabytes.
    for (int round = 0; round < 10000 && flood.send(burst) && units.units().greetedCount() == 1; ++round)
        QCoreApplication::processEvents();
    ASSERT_TRUE(waitUntil([&] { return units.units().greetedCount() == 0; }));
    EXPECT_EQ(count(QStringLiteral("не принимает данные")), 1) << log.join('\n').toStdString();
    EXPECT_TRUE(waitUntil([&] { return flood.closedByServer(); }));
}

// Callers from a network not allowed are closed as they come; one address holds at most its share of
// callers waiting to greet, and a unit that has greeted no longer counts against it.
TEST_F(ServerLimits, AllowedNetworksAndTheShareOfOneAddress)
{
    units.setAllowedNets(*AllowedNets::parse(u"127.0.0.2/32, 127.0.0.3"));
    Caller outsider(port(), "127.0.0.1");
    ASSERT_TRUE(waitUntil([&] { return count(QStringLiteral("адрес не из разрешённых сетей")) == 1; }));
    EXPECT_TRUE(log.filter(QStringLiteral("не из разрешённых")).first().contains(
        QStringLiteral("127.0.0.1:%1").arg(outsider.localPort)));
    EXPECT_TRUE(waitUntil([&] { return outsider.closedByServer(); }));
    EXPECT_EQ(units.server().connectionCount(), 0);

    units.setMaxPerAddress(3);
    std::vector<std::unique_ptr<Caller>> waiting;
    for (int i = 0; i < 3; ++i)
        waiting.push_back(std::make_unique<Caller>(port(), "127.0.0.2"));
    ASSERT_TRUE(settle(3));
    Caller fourth(port(), "127.0.0.2");
    ASSERT_TRUE(waitUntil([&] { return count(QStringLiteral("ждут приветствия 3")) == 1; }));
    EXPECT_TRUE(waitUntil([&] { return fourth.closedByServer(); }));
    Caller elsewhere(port(), "127.0.0.3"); // another address has its own share
    ASSERT_TRUE(settle(4));

    ASSERT_TRUE(waiting[0]->send(greeting("861234567890123")));
    ASSERT_TRUE(waitUntil([&] { return units.units().greetedCount() == 1; }));
    Caller fifth(port(), "127.0.0.2");
    ASSERT_TRUE(settle(5));
    EXPECT_EQ(count(QStringLiteral("ждут приветствия")), 1);
}

// When every place is taken, the caller that has waited longest without greeting makes room; when every
// place holds a greeted unit, the newcomer is refused.
TEST_F(ServerLimits, AFullHouseMakesRoomFromCallersThatHaveNotGreeted)
{
    units.setMaxUnits(4);
    std::vector<std::unique_ptr<Caller>> callers;
    for (int i = 0; i < 4; ++i) {
        callers.push_back(std::make_unique<Caller>(port()));
        ASSERT_TRUE(settle(i + 1));
    }
    Caller unit(port(), "127.0.0.2");
    ASSERT_TRUE(waitUntil([&] { return count(QStringLiteral("место отдано новому вызову")) == 1; }));
    EXPECT_TRUE(waitUntil([&] { return callers[0]->closedByServer(); }));
    ASSERT_TRUE(unit.send(greeting("861234567890120")));
    ASSERT_TRUE(waitUntil([&] { return units.units().greetedCount() == 1; }));
    EXPECT_TRUE(waitUntil([&] { return unit.received().startsWith('\x01'); })); // acknowledged

    for (int i = 1; i < 4; ++i)
        ASSERT_TRUE(callers[size_t(i)]->send(greeting(QByteArray("86123456789012") + char('0' + i))));
    ASSERT_TRUE(waitUntil([&] { return units.units().greetedCount() == 4; }));
    Caller late(port());
    ASSERT_TRUE(waitUntil([&] { return count(QStringLiteral("уже подключено 4 (предел)")) == 1; }));
    EXPECT_EQ(units.units().greetedCount(), 4);
}

// A caller that resets its connection before the server takes it is logged with its address, not ":0".
TEST_F(ServerLimits, AResetCallerIsLoggedWithItsAddress)
{
    quint16 callerPort = 0;
    {
        Caller c(port());
        ASSERT_GE(c.fd, 0);
        callerPort = c.localPort;
        const linger reset{1, 0};
        ::setsockopt(c.fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset); // the close sends a reset
    }
    ASSERT_TRUE(waitUntil([&] { return log.join('\n').contains(QStringLiteral("127.0.0.1:%1").arg(callerPort)); }))
        << log.join('\n').toStdString();
    EXPECT_TRUE(log.filter(QStringLiteral(":0")).filter(QStringLiteral("Подключение")).isEmpty());
    EXPECT_TRUE(settle(0));
}
