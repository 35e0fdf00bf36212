// What each unit type can do, as one line of figures per type (and per option bits where they matter).

#include "core/config/unit_profile.h"

#include <gtest/gtest.h>

using namespace rv;

namespace {

// The monitor's reading of each input: V 36 V, v 5 V, F frequency, C count, + and - the counters, . not shown.
QString figures(const UnitProfile& u)
{
    QString readings, frequency;
    for (int i = 0; i < 8; ++i) {
        readings += QStringLiteral("VvFC+-.").at(int(u.reading(i)));
        if (u.frequencyInput(i))
            frequency += QString::number(i + 1);
    }
    return QStringLiteral("%1|in %2 out %3 fuel %4|%5%6lists %7|freq %8 %9|%10 %11|build %12%13%14")
        .arg(u.known() ? u.name() : QStringLiteral("?"))
        .arg(u.inputs()).arg(u.outputs()).arg(u.fuelSensors())
        .arg(u.can() ? QStringLiteral("CAN ") : QString(), u.messageAction() ? QStringLiteral("message ") : QString())
        .arg(int(u.inputLists())).arg(frequency, readings)
        .arg(u.voiceStorage() == VoiceStorage::Archive ? QStringLiteral("archive") : QStringLiteral("files"))
        .arg(u.voiceChunkBytes()).arg(u.minimumBuild())
        .arg(u.adaptsControls() ? QStringLiteral("|adapts") : QString(), u.glonass() ? QStringLiteral("|GLONASS") : QString());
}

} // namespace

TEST(UnitProfile, FiguresOfEachType)
{
    const struct { uint8_t type; uint32_t options; const char* figures; } rows[] = {
        {2, 0, "RV-2 v2|in 8 out 4 fuel 2|CAN message lists 1|freq 12 VVVVVVVV|files 512|build 0|adapts"},
        {3, 0, "RV-1|in 5 out 3 fuel 1|lists 2|freq 1 VVC+-...|archive 528|build 620|adapts"},
        {4, 0, "RV-2 v4|in 8 out 4 fuel 2|CAN message lists 1|freq 12 VVVVVVVV|archive 512|build 0"},
        {9, 0, "?|in 8 out 4 fuel 2|CAN message lists 0|freq 12 VVVVVVVV|files 512|build 0"},
        // Option bit 0: GLONASS; bits 1-2 and 3-4 select the reading of inputs 1 and 2 (RV-1 has input 1's only).
        {2, 1 | 1u << 1 | 2u << 3, "RV-2 v2|in 8 out 4 fuel 2|CAN message lists 1|freq 12 vFVVVVVV|files 512|build 0|adapts|GLONASS"},
        {4, 3u << 1 | 1u << 3, "RV-2 v4|in 8 out 4 fuel 2|CAN message lists 1|freq 12 .vVVVVVV|archive 512|build 0"},
        {3, 2u << 1 | 3u << 3, "RV-1|in 5 out 3 fuel 1|lists 2|freq 1 FVC+-...|archive 528|build 620|adapts"},
    };
    for (const auto& r : rows)
        EXPECT_EQ(figures(UnitProfile(r.type, r.options)), QString::fromUtf8(r.figures)) << int(r.type) << ' ' << r.options;
    EXPECT_EQ(UnitProfile(2, 0xFFFFFFFF).reading(8), InputReading::NotShown);
}
