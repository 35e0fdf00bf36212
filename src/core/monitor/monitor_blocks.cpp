#include "core/monitor/monitor_blocks.h"

#include <algorithm>
#include <cstring>

namespace rv {

namespace {

void fillStore(QByteArray& store, QByteArrayView payload)
{
    const qsizetype n = std::min(payload.size(), store.size());
    if (n > 0)
        std::memcpy(store.data(), payload.data(), static_cast<size_t>(n));
}

} // namespace

void GpsBlock::fillFrom(QByteArrayView payload) { fillStore(m_bytes, payload); }

void DeviceBlock::fillFrom(QByteArrayView payload) { fillStore(m_bytes, payload); }

MonitorBlocks& programMonitorBlocks()
{
    static MonitorBlocks blocks;
    return blocks;
}

} // namespace rv
