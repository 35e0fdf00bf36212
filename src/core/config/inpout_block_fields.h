#pragma once

// The input/output record, 513 bytes: nine places of OutputReaction (13 bytes), twenty EventRule (8 bytes)
// and twenty condition-state words. The reaction layout is written once and placed at each instance.

#include "core/config/field_table.h"

namespace rv {

namespace fields {

// One OutputReaction, offsets inside the 13 bytes. modes holds four 2-bit codes, output 1 lowest.
inline constexpr std::array kOutputReactionFields{
    word("modes", 0, FieldType::U8),
    bits("Out1mode", 0, FieldType::U8, 0, 2, Encoding::ListIndex),
    bits("Out2mode", 0, FieldType::U8, 2, 2, Encoding::ListIndex),
    bits("Out3mode", 0, FieldType::U8, 4, 2, Encoding::ListIndex),
    bits("Out4mode", 0, FieldType::U8, 6, 2, Encoding::ListIndex),
    u8("Out1act", 1), u8("Out1pause", 2), u8("Out1per", 3),
    u8("Out2act", 4), u8("Out2pause", 5), u8("Out2per", 6),
    u8("Out3act", 7), u8("Out3pause", 8), u8("Out3per", 9),
    u8("Out4act", 10), u8("Out4pause", 11), u8("Out4per", 12),
};
inline constexpr uint16_t kOutputReactionSize = 13;
static_assert(checkLayout(kOutputReactionFields, kOutputReactionSize));

struct ReactionPlace
{
    std::string_view suffix;
    uint16_t offset;
    uint16_t count;
};

// Input n becoming active / passive (eight each), arming, disarming, low supply, DTMF, alarm.
inline constexpr std::array kReactionPlaces{
    ReactionPlace{"actin", 0, 8},   ReactionPlace{"passin", 104, 8}, ReactionPlace{"actoh", 208, 1},
    ReactionPlace{"passoh", 221, 1}, ReactionPlace{"extlow", 234, 1}, ReactionPlace{"dtmf", 247, 1},
    ReactionPlace{"trevoh", 500, 1},
};

// One EventRule, offsets inside the 8 bytes: word 0 holds source, state and the action mask; word 1 the
// condition mask and the AND/OR switch (bit 31 is kept as read).
inline constexpr std::array kEventRuleFields{
    word("EventWord0", 0, FieldType::U32),
    bits("EventSource", 0, FieldType::U32, 0, 6, Encoding::ListIndex, 31),
    bits("EventState", 0, FieldType::U32, 6, 2, Encoding::ListIndex),
    bits("EventActions", 0, FieldType::U32, 8, 24),
    word("EventWord1", 4, FieldType::U32),
    bits("EventConditions", 4, FieldType::U32, 0, 30),
    bits("EventLogic", 4, FieldType::U32, 30, 1),
};
inline constexpr uint16_t kEventRuleSize = 8;
inline constexpr uint16_t kEventRuleOffset = 260;
inline constexpr uint16_t kEventRuleCount = 20;
static_assert(checkLayout(kEventRuleFields, kEventRuleSize));

inline constexpr std::array kInpOutTail{
    word("ConditionState", 420, FieldType::U32, 20, 4),
    bits("ConditionStateMask", 420, FieldType::U32, 0, 30, Encoding::Bits, -1, 20, 4),
};

consteval auto buildInpOutFields()
{
    constexpr std::size_t n = kOutputReactionFields.size() * kReactionPlaces.size() + kEventRuleFields.size()
                              + kInpOutTail.size();
    std::array<FieldDef, n> out{};
    std::size_t k = 0;
    for (const ReactionPlace& p : kReactionPlaces) {
        for (FieldDef f : kOutputReactionFields) {
            f.suffix = p.suffix;
            f.offset = uint16_t(f.offset + p.offset);
            f.count = p.count;
            f.stride = kOutputReactionSize;
            out[k++] = f;
        }
    }
    for (FieldDef f : kEventRuleFields) {
        f.offset = uint16_t(f.offset + kEventRuleOffset);
        f.count = kEventRuleCount;
        f.stride = kEventRuleSize;
        out[k++] = f;
    }
    for (const FieldDef& f : kInpOutTail)
        out[k++] = f;
    return out;
}

inline constexpr auto kInpOutBlockFields = buildInpOutFields();

} // namespace fields

inline constexpr RecordLayout kInpOutBlockLayout{"InpOutBlock", 513, fields::kInpOutBlockFields};

} // namespace rv
