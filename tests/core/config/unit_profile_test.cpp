// What each unit type can do, as the figures a fitter would check against the unit's data sheet.

#include "core/config/unit_profile.h"

#include <gtest/gtest.h>

using namespace rv;

TEST(UnitProfile, FiguresOfEachType)
{
    using R = InputReading;
    const struct
    {
        uint8_t type;
        const char16_t* name;
        int inputs, outputs, fuel;
        bool can, message;
        InputLists lists;
        bool frequency2;                // input 2 measures frequency as input 1 does
        InputReading reading2, reading3, reading4, reading8; // with every selector at 0 (36 V)
        VoiceStorage voice;
        int chunk, build;
        bool adapts;
    } rows[] = {
        {2, u"RV-2 v2", 8, 4, 2, true, true, InputLists::Eight, true, R::Volts36, R::Volts36, R::Volts36, R::Volts36, VoiceStorage::Files, 512, 0, true},
        {3, u"RV-1", 5, 3, 1, false, false, InputLists::Five, false, R::Volts36, R::Count, R::UpCounter, R::NotShown, VoiceStorage::Archive, 528, 620, true},
        {4, u"RV-2 v4", 8, 4, 2, true, true, InputLists::Eight, true, R::Volts36, R::Volts36, R::Volts36, R::Volts36, VoiceStorage::Archive, 512, 0, false},
        {9, u"", 8, 4, 2, true, true, InputLists::None, true, R::Volts36, R::Volts36, R::Volts36, R::Volts36, VoiceStorage::Files, 512, 0, false},
    };
    for (const auto& r : rows) {
        const UnitProfile u(r.type);
        SCOPED_TRACE(int(r.type));
        EXPECT_EQ(u.known(), r.type != 9);
        EXPECT_EQ(u.name(), QString::fromUtf16(r.name));
        EXPECT_EQ(u.inputs(), r.inputs);
        EXPECT_EQ(u.outputs(), r.outputs);
        EXPECT_EQ(u.fuelSensors(), r.fuel);
        EXPECT_EQ(u.can(), r.can);
        EXPECT_EQ(u.messageAction(), r.message);
        EXPECT_EQ(u.inputLists(), r.lists);
        EXPECT_TRUE(u.frequencyInput(0));
        EXPECT_EQ(u.frequencyInput(1), r.frequency2);
        EXPECT_FALSE(u.frequencyInput(2));
        const InputReading readings[] = {R::Volts36, r.reading2, r.reading3, r.reading4, r.reading8};
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(u.reading(i < 4 ? i : 7), readings[i]) << i;
        EXPECT_EQ(u.voiceStorage(), r.voice);
        EXPECT_EQ(u.voiceChunkBytes(), r.chunk);
        EXPECT_EQ(u.minimumBuild(), r.build);
        EXPECT_EQ(u.adaptsControls(), r.adapts);
    }
}

TEST(UnitProfile, OptionBitsSetGlonassAndTheReadingOfTheFrequencyInputs)
{
    EXPECT_TRUE(UnitProfile(2, 1).glonass());
    EXPECT_FALSE(UnitProfile(2, 6).glonass());
    // Bits 1-2 select input 1's reading, bits 3-4 input 2's: 36 V, 5 V, frequency, not shown.
    const InputReading order[] = {InputReading::Volts36, InputReading::Volts5, InputReading::Frequency,
                                  InputReading::NotShown};
    for (uint32_t sel = 0; sel < 4; ++sel) {
        EXPECT_EQ(UnitProfile(4, sel << 1).reading(0), order[sel]);
        EXPECT_EQ(UnitProfile(2, sel << 3).reading(1), order[sel]);
        EXPECT_EQ(UnitProfile(3, sel << 3).reading(1), InputReading::Volts36); // RV-1 has no selector on input 2
    }
    EXPECT_EQ(UnitProfile(2, 0xFFFFFFFF).reading(8), InputReading::NotShown);
}
