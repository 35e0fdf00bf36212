#include "core/protocol/commands.h"

#include <gtest/gtest.h>

using namespace rv;

namespace {
QByteArray hex(const char* h) { return QByteArray::fromHex(h); }
}

TEST(Commands, RecordWritesAsSeparatePiecesWithChecksum)
{
    const QByteArray config(512, '\xFF');
    const Writes w = cmd::writeConfig(config);
    ASSERT_EQ(w.size(), 3);
    EXPECT_EQ(w.join().left(9), hex("434F4E464947570002"));
    EXPECT_EQ(w[2].size(), 514); // never padded
    EXPECT_EQ(w[2].right(2), hex("00FE"));

    const Writes io = cmd::writeInpOut(QByteArray(513, '\0'));
    EXPECT_EQ(io[0] + io[1], QByteArray("CONFIGI") + hex("0102"));
    EXPECT_EQ(io[2].size(), 515);

    const Writes ext = cmd::writeExtended(QByteArray("abc").leftJustified(26, '\0'));
    EXPECT_EQ(ext.join().left(10), hex("434F4E4649475430 1A00"));
    EXPECT_EQ(ext.join().right(2), hex("2601"));
    EXPECT_EQ(ext.join().size(), 10 + 26 + 2);
}

TEST(Commands, PaddingRuleOnMultiplesOfEight)
{
    EXPECT_EQ(padBlock(QByteArray(8, 'a')).size(), 9);
    EXPECT_EQ(padBlock(QByteArray(16, 'a')).back(), '\0');
    EXPECT_EQ(padBlock(QByteArray(7, 'a')).size(), 7);
    EXPECT_EQ(padBlock(QByteArray()).size(), 0);
    // A 6-byte record plus its checksum makes 8: one zero byte follows, counted by no length field.
    const Writes w = cmd::writeExtended(QByteArray(6, '\x01'));
    EXPECT_EQ(w[2], hex("0600"));
    EXPECT_EQ(w[3], hex("010101010101060000"));
}

TEST(Commands, SmallCommandsExactBytes)
{
    EXPECT_EQ(cmd::pollDevice(cmd::kFlagLogTrailer | cmd::kFlagCanScanner).join(), QByteArray("CONFIGD\x03"));
    EXPECT_EQ(cmd::readExtended().join(), QByteArray("CONFIGS0"));
    EXPECT_EQ(cmd::password(65535).join(), QByteArray("RV+PASS=65535"));
    EXPECT_EQ(cmd::password(0).join(), QByteArray("RV+PASS=0"));
    EXPECT_EQ(cmd::cameraShot1(0x13).join(), QByteArray("CONFIGJ\x03"));
    EXPECT_EQ(cmd::cameraShot2(2).join(), QByteArray("CONFIGH\x02"));
    EXPECT_EQ(cmd::satelliteModem().join(), QByteArray("CONFIGZ\x01\x01"));
    EXPECT_EQ(cmd::memoryRepeat(2).join(), QByteArray("CONFIGM\x0A\x02\x01"));
    EXPECT_EQ(cmd::word(cmd::kHandshake).join(), QByteArray("CONFIGO"));
}
