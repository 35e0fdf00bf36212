#include "core/monitor/can_lines.h"

#include <gtest/gtest.h>

using namespace rv;

TEST(CanLines, CanMesFieldsAreLittleEndian)
{
    const QByteArray b = QByteArray::fromHex("01000000" "9A563492" "44332211" "FFFFFFFF");
    EXPECT_EQ(canMesLines(b), QStringList{"Frame: 00000001 ID: 9234569A DataA: 11223344 DataB: FFFFFFFF"});
}

TEST(CanLines, CanBufGivesFortyLinesInEntryOrder)
{
    QByteArray b(kCanBufSize, '\0');
    b.replace(0, 4, QByteArray::fromHex("9A563492"));
    b[kCanBufSize - 4] = '\x07';  // DataB of the last entry
    const QStringList lines = canBufLines(b);
    ASSERT_EQ(lines.size(), 40);
    EXPECT_EQ(lines.first(), "ID: 9234569A DataA: 00000000 DataB: 00000000");
    EXPECT_EQ(lines.last(), "ID: 00000000 DataA: 00000000 DataB: 00000007");
}

TEST(CanLines, RecordCutShortIsDroppedWhole)
{
    // The views end where the received bytes end; ASan would report any read beyond them.
    const QByteArray mes(kCanMesSize, '\x11');
    EXPECT_TRUE(canMesLines(QByteArrayView(mes).first(kCanMesSize - 1)).isEmpty());
    EXPECT_TRUE(canMesLines({}).isEmpty());
    const QByteArray buf(kCanBufSize, '\x22');
    EXPECT_TRUE(canBufLines(QByteArrayView(buf).first(kCanBufSize - 1)).isEmpty());
    EXPECT_TRUE(canBufLines(QByteArrayView(buf).first(12)).isEmpty());
    // Extra bytes after a whole record belong to other replies and are not read.
    EXPECT_EQ(canBufLines(buf + QByteArray(10, '\x33')).size(), 40);
}
