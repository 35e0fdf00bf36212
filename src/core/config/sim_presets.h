#pragma once

// The GPRS settings of the four operators a SIM card can be set to with one click, and how the main settings
// record says which one a SIM uses: its custom flag is 63 ('?') for settings of the user's own ("Другой"),
// and otherwise the first letter of its login names the operator.

#include "core/config/records.h"

#include <array>
#include <optional>

namespace rv {

struct SimPreset
{
    const char16_t* caption;
    const char* apn;
    const char* login;
    const char* password;
    uint8_t serviceNumber;
};

// Buttons 1..4 ("Билайн", "Мегафон", "МТС", "Теле2"); button 5 is "Другой".
const std::array<SimPreset, 4>& simPresets();
inline constexpr int kSimCustomButton = 5;
inline constexpr uint8_t kSimCustomMark = 63;

// The record fields of SIM 1 or 2.
struct SimFields
{
    QString apn, login, password, serviceNumber, custom;
};
SimFields simFields(int sim);

// The button (1..5) the record selects for a SIM, or nothing when neither the custom flag nor the login's
// first letter names one.
std::optional<int> simButton(const ConfigBlock& config, int sim);

// Writes preset 1..4 into the SIM's fields, each text NUL-terminated, and clears the custom flag.
void applySimPreset(ConfigBlock& config, int sim, int button);

} // namespace rv
