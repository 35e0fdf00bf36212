#pragma once

// What a unit can do, from the two things its handshake tells: the type code (2 "RV-2 v2", 3 "RV-1",
// 4 "RV-2 v4") and the option bits. The pages, the monitor, the charts and the voice transfer ask the profile
// instead of comparing type codes: each fact about a type is written once, in the table of unit_profile.cpp.

#include <QString>

#include <cstdint>

namespace rv {

// The type lists of the input page: eight inputs, RV-1's five, or none for a code the program does not know.
enum class InputLists : uint8_t { None, Eight, Five };

// How a unit keeps its voice messages: one file each on its medium, or one archive built on the computer.
enum class VoiceStorage : uint8_t { Files, Archive };

// What the monitor shows of an input, on its label and in its chart.
enum class InputReading : uint8_t {
    Volts36,     // volts behind the 36 V divider
    Volts5,      // volts behind the 5 V divider
    Frequency,   // the navigation block's frequency/count value of input 1 or 2 (label only)
    Count,       // the raw ADC count (label only)
    UpCounter,   // the device block's up-counter (label only)
    DownCounter, // the device block's down-counter (label only)
    NotShown,    // the label keeps its caption, the chart has no value
};

class UnitProfile
{
public:
    static constexpr uint8_t kInitialType = 2; // the type assumed before any handshake

    explicit UnitProfile(uint8_t type = kInitialType, uint32_t options = 0) : m_options(options), m_type(type) {}

    uint8_t type() const { return m_type; }
    uint32_t options() const { return m_options; }

    // 2, 3 or 4: a type with a name, input type lists and voice buttons of its own.
    bool known() const;
    // "RV-2 v2", "RV-1", "RV-2 v4"; empty for another code.
    QString name() const;

    int inputs() const;       // 8; RV-1 has 5
    int outputs() const;      // 4; RV-1 has 3
    int fuelSensors() const;  // 2; RV-1 has 1
    bool can() const;         // the CAN interface and its scanner; not on RV-1
    bool messageAction() const; // an event can play a voice message ("Воспр. сообщение"); not on RV-1
    InputLists inputLists() const;
    // Whether input `input` (0..7) measures frequency or counts ("Част/счет 1", "Част/счет 2"): inputs 1
    // and 2, on RV-1 input 1 only. These are the inputs whose monitor reading an option selector sets.
    bool frequencyInput(int input) const;
    // The monitor's reading of input `input` (0..7). Inputs 1 and 2 follow the selectors of option bits 1-2
    // and 3-4 where they measure frequency (0: 36 V, 1: 5 V, 2: frequency, 3: not shown).
    InputReading reading(int input) const;

    VoiceStorage voiceStorage() const;
    // Data bytes in one chunk of the voice archive: 528 on RV-1, 512 on the others.
    int voiceChunkBytes() const;
    // The oldest firmware build (its first part) this configurator works with; 0 for no limit.
    uint16_t minimumBuild() const;
    // Whether the pages adapt their controls to the type at a handshake. A type 4 unit (units reached
    // through the network are given type 4) leaves them as the unit before left them.
    bool adaptsControls() const;

    // Option bit 0: the receiver can use GLONASS.
    bool glonass() const { return (m_options & 1u) != 0; }

    bool operator==(const UnitProfile&) const = default;

private:
    uint32_t m_options;
    uint8_t m_type;
};

} // namespace rv
