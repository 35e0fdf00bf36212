#include "core/monitor/monitor_blocks.h"

#include <gtest/gtest.h>

using namespace rv;

TEST(MonitorBlocks, ShortPayloadKeepsTailLongPayloadIsCut)
{
    GpsBlock gps;
    ASSERT_EQ(gps.bytes(), QByteArray(GpsBlock::kSize, '\0'));
    gps.fillFrom(QByteArray(200, '\x11'));
    gps.fillFrom(QByteArray(3, '\x22'));
    EXPECT_EQ(gps.bytes(), QByteArray(3, '\x22') + QByteArray(GpsBlock::kSize - 3, '\x11'));
    gps.fillFrom(QByteArrayView());
    EXPECT_EQ(gps.bytes().size(), GpsBlock::kSize);
    EXPECT_EQ(&programMonitorBlocks(), &programMonitorBlocks());
}
