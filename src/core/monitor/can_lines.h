#pragma once

// Lines of the CAN frame list from the scanner records "CANMES" and "CANBUF". Neither record carries a
// length, so a record cut short by the end of the received bytes is dropped whole rather than read past.

#include "core/monitor/can_records.h"

#include <QList>

#include <QByteArrayView>
#include <QStringList>

namespace rv {

inline constexpr qsizetype kCanMesSize = 16;          // Frame, ID, DataA, DataB
inline constexpr qsizetype kCanBufEntries = 40;
inline constexpr qsizetype kCanBufEntrySize = 12;     // ID, DataA, DataB
inline constexpr qsizetype kCanBufSize = kCanBufEntries * kCanBufEntrySize;

// `afterMarker` starts right after the marker and ends where the received bytes end.
// One line "Frame: %.8X ID: %.8X DataA: %.8X DataB: %.8X", or none when fewer than 16 bytes arrived.
QStringList canMesLines(QByteArrayView afterMarker);
// Forty lines "ID: %.8X DataA: %.8X DataB: %.8X" in entry order, or none when fewer than 480 bytes arrived.
QStringList canBufLines(QByteArrayView afterMarker);

// The same lines from records already parsed by the reply scanner.
QString canMesLine(const CanMessage& m);
QStringList canBufLines(const QList<CanRecord>& records);

} // namespace rv
