#pragma once

// The three track-recording profiles of the navigation page ("Красивый трэк", "Стандарт", "Эконом"). A
// profile sets controls, not fields: the record follows at the next gathering, like any edit by the user.

#include <array>
#include <span>
#include <string_view>

namespace rv {

struct PresetControl
{
    std::string_view control; // objectName
    std::string_view text;    // an edit's text; empty for a check box
    bool checked = false;     // a check box's state
    constexpr bool isCheck() const { return text.empty(); }
};

inline constexpr int kTrackPresetCount = 3;

// Profile 1..3 (the buttons RzBitBtn1 … RzBitBtn3); empty for any other number.
std::span<const PresetControl> trackPreset(int profile);

} // namespace rv
