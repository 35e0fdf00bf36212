#pragma once

// One contract for every Link: the serial port and the in-memory fake must behave the same towards the
// protocol layers. Each implementation instantiates it with a harness that plays the unit's side:
//   portName(), missingPort(), unitSend(bytes), unitReceive(expected), unplug(), and a member `link`.

#include "core/link/link.h"
#include "support/wait.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

namespace rvtest {

using rv::Link;

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

TYPED_TEST_SUITE_P(LinkContract);

TYPED_TEST_P(LinkContract, OpensWritesAndReadsEveryByteValueUnchanged)
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

TYPED_TEST_P(LinkContract, DiscardInputDropsWaitingBytes)
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

TYPED_TEST_P(LinkContract, ClosedLinkRefusesAndStaysQuiet)
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

TYPED_TEST_P(LinkContract, MissingPortFailsWithAReason)
{
    EXPECT_FALSE(this->h.link.open(this->h.missingPort()));
    EXPECT_FALSE(this->h.link.isOpen());
    EXPECT_TRUE(this->h.link.lastOpenError().contains(QStringLiteral("не найден")));
}

TYPED_TEST_P(LinkContract, WriteFailsAtOnceWhenUnplugged)
{
    ASSERT_TRUE(this->h.link.open(this->h.portName()));
    this->h.unplug();
    EXPECT_LT(this->h.link.write("CONFIGG"), 1);
}

REGISTER_TYPED_TEST_SUITE_P(LinkContract, OpensWritesAndReadsEveryByteValueUnchanged, DiscardInputDropsWaitingBytes,
                            ClosedLinkRefusesAndStaysQuiet, MissingPortFailsWithAReason, WriteFailsAtOnceWhenUnplugged);

} // namespace rvtest
