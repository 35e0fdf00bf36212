#include "core/monitor/can_lines.h"

#include "core/protocol/bytes.h"

namespace rv {

QStringList canMesLines(QByteArrayView b)
{
    if (b.size() < kCanMesSize)
        return {};
    return {QString::asprintf("Frame: %.8X ID: %.8X DataA: %.8X DataB: %.8X", le::u32(b, 0), le::u32(b, 4),
                              le::u32(b, 8), le::u32(b, 12))};
}

QStringList canBufLines(QByteArrayView b)
{
    if (b.size() < kCanBufSize)
        return {};
    QStringList lines;
    lines.reserve(kCanBufEntries);
    for (qsizetype at = 0; at < kCanBufSize; at += kCanBufEntrySize)
        lines << QString::asprintf("ID: %.8X DataA: %.8X DataB: %.8X", le::u32(b, at), le::u32(b, at + 4),
                                   le::u32(b, at + 8));
    return lines;
}

} // namespace rv
