#include "core/monitor/monitor_blocks.h"

#include <gtest/gtest.h>

using namespace rv;

TEST(MonitorBlocks, StartZeroedAndKeepTailOnShortPayload)
{
    GpsBlock gps;
    ASSERT_EQ(gps.bytes(), QByteArray(GpsBlock::kSize, '\0'));
    gps.fillFrom(QByteArray(GpsBlock::kSize, '\x11'));
    gps.fillFrom(QByteArray(3, '\x22'));
    EXPECT_EQ(gps.bytes().left(3), QByteArray(3, '\x22'));
    EXPECT_EQ(gps.bytes().mid(3), QByteArray(GpsBlock::kSize - 3, '\x11'));
    gps.fillFrom(QByteArrayView());
    EXPECT_EQ(gps.bytes().size(), GpsBlock::kSize);
}

TEST(MonitorBlocks, LongPayloadCutToStoreSize)
{
    DeviceBlock dev;
    QByteArray big(200, '\x33');
    big[DeviceBlock::kSize - 1] = '\x44';
    dev.fillFrom(big);
    EXPECT_EQ(dev.bytes().size(), DeviceBlock::kSize);
    EXPECT_EQ(dev.bytes().back(), '\x44');
    EXPECT_EQ(&programMonitorBlocks(), &programMonitorBlocks());
}
