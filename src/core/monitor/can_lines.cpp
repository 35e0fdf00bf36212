#include "core/monitor/can_lines.h"

#include "core/base/bytes.h"

namespace rv {

QString canMesLine(const CanMessage& m)
{
    return QString::asprintf("Frame: %.8X ID: %.8X DataA: %.8X DataB: %.8X", m.frame, m.id, m.dataA, m.dataB);
}

QStringList canBufLines(const QList<CanRecord>& records)
{
    QStringList lines;
    lines.reserve(records.size());
    for (const CanRecord& r : records)
        lines << QString::asprintf("ID: %.8X DataA: %.8X DataB: %.8X", r.id, r.dataA, r.dataB);
    return lines;
}

QStringList canMesLines(QByteArrayView b)
{
    if (b.size() < kCanMesSize)
        return {};
    return {canMesLine({le::u32(b, 0), le::u32(b, 4), le::u32(b, 8), le::u32(b, 12)})};
}

QStringList canBufLines(QByteArrayView b)
{
    if (b.size() < kCanBufSize)
        return {};
    QList<CanRecord> records;
    records.reserve(kCanBufEntries);
    for (qsizetype at = 0; at < kCanBufSize; at += kCanBufEntrySize)
        records.append({le::u32(b, at), le::u32(b, at + 4), le::u32(b, at + 8)});
    return canBufLines(records);
}

} // namespace rv
