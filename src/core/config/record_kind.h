#pragma once

// The unit's three configuration records, and their sizes.

#include <QtGlobal>

namespace rv {

inline constexpr qsizetype kConfigRecordSize = 512;
inline constexpr qsizetype kInpOutRecordSize = 513;
inline constexpr qsizetype kConfSeRecordSize = 26;

enum class RecordKind { Config, InpOut, ConfSe };

constexpr qsizetype recordSize(RecordKind kind)
{
    switch (kind) {
    case RecordKind::Config: return kConfigRecordSize;
    case RecordKind::InpOut: return kInpOutRecordSize;
    case RecordKind::ConfSe: return kConfSeRecordSize;
    }
    return 0;
}

} // namespace rv
