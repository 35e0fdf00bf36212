#include "core/monitor/monitor_blocks.h"

namespace rv {

MonitorBlocks& programMonitorBlocks()
{
    static MonitorBlocks blocks;
    return blocks;
}

} // namespace rv
