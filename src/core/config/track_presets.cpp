#include "core/config/track_presets.h"

namespace rv {

namespace {

constexpr PresetControl check(std::string_view c, bool on) { return {c, {}, on}; }
constexpr PresetControl edit(std::string_view c, std::string_view t) { return {c, t}; }

// Each profile: the four filter switches, then the numbers.
constexpr std::array<PresetControl, 19> preset(bool economy, const char* move, const char* dist, const char* angle)
{
    return {
        check("ParkCheck", economy), check("Filter_coord", true), check("Perestroi", economy),
        check("Filterline", economy),
        edit("TimePark", "30"), edit("Perpackstop", "120"), edit("Perpackstop2", "120"), edit("Accel_sens", "800"),
        edit("Timeoutstop", "60"), edit("Perpackmove", move), edit("Packdist", dist), edit("Minangel", angle),
        edit("Minspeedangel", "3"), edit("MaxHdop", "4"), edit("Minspeed", "3"), edit("Maxspeed", "150"),
        edit("Maxdist", "50"), edit("Maxaccel", "3"), edit("Filterlineangel", angle),
    };
}

constexpr std::array kPresets{
    preset(false, "30", "20", "5"), // "Красивый трэк"
    preset(false, "40", "30", "5"), // "Стандарт"
    preset(true, "60", "50", "7"),  // "Эконом"
};

} // namespace

std::span<const PresetControl> trackPreset(int profile)
{
    if (profile < 1 || profile > kTrackPresetCount)
        return {};
    return kPresets[profile - 1];
}

} // namespace rv
