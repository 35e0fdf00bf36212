#include "core/base/checksum.h"

#include <gtest/gtest.h>

using namespace rv;

TEST(BlockChecksum, GoldenValues)
{
    EXPECT_EQ(blockChecksum("abc"), 0x0126);
    EXPECT_EQ(blockChecksum(QByteArray(512, '\xFF')), 0xFE00);
    EXPECT_EQ(blockChecksum(QByteArray()), 0);
    // The sum wraps modulo 65536: 258 bytes of 0xFF sum to 65790.
    EXPECT_EQ(blockChecksum(QByteArray(258, '\xFF')), 65790 - 65536);
}

TEST(Crc16Modbus, CheckValueAndChaining)
{
    // The catalogue check value of CRC-16/MODBUS.
    EXPECT_EQ(crc16Modbus("123456789"), 0x4B37);
    EXPECT_EQ(crc16Modbus(QByteArray()), 0xFFFF);
    EXPECT_EQ(crc16Modbus("6789", crc16Modbus("12345")), 0x4B37);
}
