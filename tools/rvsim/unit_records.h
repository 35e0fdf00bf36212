#pragma once

// The unit's three configuration records as plain byte images, and the state file that keeps them
// between runs (the configuration file layout, so that a test or a user can open it).

#include "wire.h"

#include <QString>

namespace rvsim {

struct UnitRecords {
    QByteArray config = QByteArray(wire::kConfigSize, '\0');
    QByteArray inpOut = QByteArray(wire::kInpOutSize, '\0');
    QByteArray confSe = QByteArray(wire::kConfSeSize, '\0');

    // A believable configuration: the unit as it leaves a fitter's bench.
    void fillBenchDefaults();
    // SIM `sim` (1 or 2) marked as operator button `button` (1..4: by its custom byte 0 and the first letter
    // of its login, "b", "g", "m" or none; 5: custom settings, byte 63), but holding a fleet's own APN, login,
    // password and service number rather than the operator's published ones. False for a bad argument.
    bool holdSim(int sim, int button);
    // False (records unchanged) when the file cannot be read or is shorter than a configuration file.
    bool load(const QString& path);
    bool save(const QString& path) const;
};

} // namespace rvsim
