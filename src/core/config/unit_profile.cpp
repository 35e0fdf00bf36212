#include "core/config/unit_profile.h"

#include <array>

namespace rv {

namespace {

using R = InputReading;
using Readings = std::array<InputReading, 8>;

// The monitor's readings of inputs that have no scale selector (the selector's inputs are marked NotShown).
constexpr Readings kEightReadings = {R::NotShown, R::NotShown, R::Volts36, R::Volts36,
                                     R::Volts36,  R::Volts36,  R::Volts36, R::Volts36};
constexpr Readings kFiveReadings = {R::NotShown, R::Volts36, R::Count,    R::UpCounter,
                                    R::DownCounter, R::NotShown, R::NotShown, R::NotShown};

struct Facts
{
    uint8_t type;
    const char16_t* name;    // nullptr for a code the program does not know
    int inputs, outputs, fuelSensors;
    bool can, messageAction;
    InputLists lists;
    uint8_t frequencyInputs; // bit i: input i + 1 measures frequency, and an option selector sets its reading
    Readings readings;
    VoiceStorage voice;
    int voiceChunkBytes;
    uint16_t minimumBuild;
    bool adaptsControls;
};

constexpr Facts kTypes[] = {
    // type name        in out fuel  CAN    message lists              freq  readings        voice                  chunk build adapts
    {2, u"RV-2 v2",     8, 4, 2,     true,  true,   InputLists::Eight, 0b11, kEightReadings, VoiceStorage::Files,   512, 0,    true},
    {3, u"RV-1",        5, 3, 1,     false, false,  InputLists::Five,  0b01, kFiveReadings,  VoiceStorage::Archive, 528, 620,  true},
    {4, u"RV-2 v4",     8, 4, 2,     true,  true,   InputLists::Eight, 0b11, kEightReadings, VoiceStorage::Archive, 512, 0,    false},
};
// Any other code is treated as type 2 without a name, input lists or adaptation.
constexpr Facts kOther = {0, nullptr, 8, 4, 2, true, true, InputLists::None, 0b11, kEightReadings,
                          VoiceStorage::Files, 512, 0, false};

const Facts& factsOf(uint8_t type)
{
    for (const Facts& f : kTypes)
        if (f.type == type)
            return f;
    return kOther;
}

} // namespace

bool UnitProfile::known() const { return factsOf(m_type).name != nullptr; }

QString UnitProfile::name() const
{
    const char16_t* name = factsOf(m_type).name;
    return name ? QString::fromUtf16(name) : QString();
}

int UnitProfile::inputs() const { return factsOf(m_type).inputs; }
int UnitProfile::outputs() const { return factsOf(m_type).outputs; }
int UnitProfile::fuelSensors() const { return factsOf(m_type).fuelSensors; }
bool UnitProfile::can() const { return factsOf(m_type).can; }
bool UnitProfile::messageAction() const { return factsOf(m_type).messageAction; }
InputLists UnitProfile::inputLists() const { return factsOf(m_type).lists; }

bool UnitProfile::frequencyInput(int input) const
{
    return input >= 0 && input < 8 && ((factsOf(m_type).frequencyInputs >> input) & 1) != 0;
}

InputReading UnitProfile::reading(int input) const
{
    if (input < 0 || input >= 8)
        return R::NotShown;
    if (!frequencyInput(input))
        return factsOf(m_type).readings[size_t(input)];
    switch ((m_options >> (1 + 2 * input)) & 3) {
    case 0: return R::Volts36;
    case 1: return R::Volts5;
    case 2: return R::Frequency;
    default: return R::NotShown;
    }
}

VoiceStorage UnitProfile::voiceStorage() const { return factsOf(m_type).voice; }
int UnitProfile::voiceChunkBytes() const { return factsOf(m_type).voiceChunkBytes; }
uint16_t UnitProfile::minimumBuild() const { return factsOf(m_type).minimumBuild; }
bool UnitProfile::adaptsControls() const { return factsOf(m_type).adaptsControls; }

} // namespace rv
