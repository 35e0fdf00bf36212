#pragma once

// The twenty programmable event rules of the input/output record: the names of their sources, states,
// conditions and actions (four action texts depend on the rule), and the bits the rule lists set.

#include "core/config/records.h"
#include "core/config/unit_profile.h"

#include <QString>
#include <QStringList>

namespace rv::events {

inline constexpr int kRuleCount = 20;
inline constexpr int kSourceCount = 32;     // "Нет источника" and 31 sources
inline constexpr int kConditionItems = 31;  // the sources without "Нет источника"
inline constexpr int kConditionBits = 30;   // the last condition item ("Вход в геозону") has no bit
inline constexpr int kActionCount = 24;
inline constexpr int kStateCount = 4;

QStringList sourceNames();
QStringList stateNames();
QStringList conditionNames();
// Action `action` (0..23) as rule `rule` (1..20) names it.
QString actionText(int action, int rule);
QStringList actionTexts(int rule);

// The three lists of a rule that are ticked item by item.
enum class RuleList : uint8_t { Conditions, ConditionStates, Actions };

int itemCount(RuleList list);
// Whether the item has a bit in the record; a condition without one can never be ticked.
bool hasBit(RuleList list, int item);
// Item `item` of the list of rule `rule` (0-based) as the record holds it.
bool ruleBit(const InpOutBlock& record, RuleList list, int rule, int item);
// Sets or clears the item's bit and nothing else of the rule; false when the item has no bit or the rule
// no place.
bool setRuleBit(InpOutBlock& record, RuleList list, int rule, int item, bool on);

// Sources the unit lacks (an input, an output or a frequency/counter input it does not have): choosing one
// stores "Нет источника".
bool sourceMissing(const UnitProfile& unit, int source);

} // namespace rv::events
