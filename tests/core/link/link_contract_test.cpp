// One contract for every Link: the termios port on a pseudo-terminal and the in-memory fake must behave
// the same towards the protocol layers.

#include "core/link/memory_link.h"
#include "core/link/serial_link.h"
#include "support/pty_pair.h"
#include "support/wait.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace rv;
using rvtest::waitUntil;

namespace {

struct MemoryHarness {
    MemoryLink link;
    QString portName() const { return QStringLiteral("mem0"); }
    QString missingPort()
    {
        link.setMissingPorts({QStringLiteral("nowhere")});
        return QStringLiteral("nowhere");
    }
    void unitSend(QByteArrayView b) { link.feed(b); }
    QByteArray unitReceive(qsizetype) { return link.takeWritten(); }
    void unplug() { link.setUnplugged(true); }
};

struct SerialHarness {
    rvtest::PtyPair pty;
    SerialLink link;
    QString portName() const { return pty.slavePath(); }
    QString missingPort() const { return QStringLiteral("/dev/rvconf-no-such-port"); }
    void unitSend(QByteArrayView b) { pty.unitWrite(b); }
    QByteArray unitReceive(qsizetype expected) { return pty.unitRead(rvtest::kPatienceMs, expected); }
    void unplug() { pty.closeMaster(); }
};

template <typename H>
class LinkContract : public ::testing::Test {
protected:
    H h;
    // Waits until at least `n` bytes are reported waiting.
    bool arrived(QSignalSpy& spy, quint32 n)
    {
        return waitUntil([&] { return !spy.isEmpty() && spy.last().at(0).toUInt() >= n; });
    }
};

using Harnesses = ::testing::Types<MemoryHarness, SerialHarness>;
TYPED_TEST_SUITE(LinkContract, Harnesses);

TYPED_TEST(LinkContract, OpensWritesAndReadsEveryByteValueUnchanged)
{
    ASSERT_TRUE(this->h.link.open(this->h.portName())) << this->h.link.lastOpenError().toStdString();
    EXPECT_TRUE(this->h.link.isOpen());

    // All 256 values, XON/XOFF, CR and LF included: the line is raw in both directions.
    QByteArray all;
    for (int i = 0; i < 256; ++i)
        all.append(static_cast<char>(i));
    EXPECT_EQ(this->h.link.write(all), 256);
    EXPECT_EQ(this->h.unitReceive(256), all);

    QSignalSpy spy(&this->h.link, &Link::bytesArrived);
    this->h.unitSend(all);
    ASSERT_TRUE(this->arrived(spy, 256));
    EXPECT_EQ(spy.last().at(0).toUInt(), 256u); // the count is the whole queue
    EXPECT_EQ(this->h.link.read(256), all);
}

TYPED_TEST(LinkContract, DiscardInputDropsWaitingBytes)
{
    ASSERT_TRUE(this->h.link.open(this->h.portName()));
    QSignalSpy spy(&this->h.link, &Link::bytesArrived);
    this->h.unitSend("stale bytes");
    ASSERT_TRUE(this->arrived(spy, 11));
    this->h.link.discardInput();
    this->h.unitSend("RV-TR");
    ASSERT_TRUE(waitUntil([&] { return spy.size() >= 2; }));
    EXPECT_EQ(this->h.link.read(5), QByteArray("RV-TR"));
}

TYPED_TEST(LinkContract, ClosedLinkRefusesAndStaysQuiet)
{
    ASSERT_TRUE(this->h.link.open(this->h.portName()));
    this->h.link.close();
    EXPECT_FALSE(this->h.link.isOpen());
    EXPECT_EQ(this->h.link.write("CONFIGO"), -1);
    EXPECT_TRUE(this->h.link.read(4).isEmpty());

    QSignalSpy spy(&this->h.link, &Link::bytesArrived);
    this->h.unitSend("late");
    waitUntil([] { return false; }, 100);
    EXPECT_TRUE(spy.isEmpty());
}

TYPED_TEST(LinkContract, MissingPortFailsWithAReason)
{
    EXPECT_FALSE(this->h.link.open(this->h.missingPort()));
    EXPECT_FALSE(this->h.link.isOpen());
    EXPECT_TRUE(this->h.link.lastOpenError().contains(QStringLiteral("не найден")));
}

TYPED_TEST(LinkContract, WriteFailsAtOnceWhenUnplugged)
{
    ASSERT_TRUE(this->h.link.open(this->h.portName()));
    this->h.unplug();
    EXPECT_LT(this->h.link.write("CONFIGG"), 1);
}

} // namespace
