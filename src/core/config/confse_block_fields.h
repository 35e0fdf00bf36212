#pragma once

// The extended settings record, 26 bytes: five operators, roaming switch, second server.

#include "core/config/field_table.h"

namespace rv {

namespace fields {

inline constexpr std::array kConfSeBlockFields{
    u16("MCC1", 0), u16("MCC2", 2), u16("MCC3", 4), u16("MCC4", 6), u16("MCC5", 8),
    u8("MNC1", 10), u8("MNC2", 11), u8("MNC3", 12), u8("MNC4", 13), u8("MNC5", 14),
    word("RoamFlags", 15, FieldType::U8),
    bits("SELOPINROU", 15, FieldType::U8, 0),
    u16("IRPARKTIME", 16),
    u8s("IP2", 18, 4),
    u16("IPport2", 22),
    u16("TIMETOCON2", 24, 1000, 1),
};

} // namespace fields

inline constexpr RecordLayout kConfSeBlockLayout{"ConfSeBlock", 26, fields::kConfSeBlockFields};

} // namespace rv
