#pragma once

// What the monitor shows, computed without widgets: each refresh yields the new state of the controls,
// keyed by their objectName, for the views to apply as they are.

#include "core/config/unit_profile.h"
#include "core/monitor/monitor_blocks.h"
#include "core/monitor/monitor_snapshot.h"

#include <QList>
#include <QString>

#include <cstdint>
#include <optional>

namespace rv {

// Background colour of a status label: Red is pure red, Green is dark green (RGB 0,128,0), Normal is
// the window's button-face colour.
enum class LabelColor { Unchanged, Normal, Red, Green };

struct LabelUpdate
{
    QString objectName;
    std::optional<QString> text;        // nullopt: keep the current caption
    LabelColor color = LabelColor::Unchanged;
    std::optional<bool> visible;        // nullopt: keep the current visibility

    bool operator==(const LabelUpdate&) const = default;
};

struct MonitorUpdate
{
    QList<LabelUpdate> monitorPage;     // controls of the Monitor page (labels and Copy_IMEI)
    QList<LabelUpdate> statusWindow;    // Status_L0..Status_L6 of the status window TForm11
    QList<LabelUpdate> mainWindow;      // Reset_but
    std::optional<QString> motionText;  // third panel (index 2) of the main status bar

    // The update for objectName in any of the three lists, or nullptr.
    const LabelUpdate* find(QStringView objectName) const;
};

// Shows the battery warning below 3.4 V and hides it only above 3.5 V; between, it keeps its state.
class BatteryWarning
{
public:
    // Takes the battery ADC count and returns whether Status_L6 is now shown.
    bool update(uint16_t batteryCount);
    bool shown() const { return m_shown; }
    void reset() { m_shown = false; }

private:
    bool m_shown = false;  // hidden at start
};

// Refresh_GPS: the GpsBlock labels, the inputs and outputs as the unit's profile reads them (with RV-1's
// counters from DeviceBlock), the accelerometer and GSM level of DeviceBlock, the status window and the
// caption of Reset_but. `battery` carries the Status_L6 hysteresis from one call to the next.
MonitorUpdate refreshGps(const GpsSnapshot& gps, const DeviceSnapshot& device, const UnitProfile& unit,
                         BatteryWarning& battery);
// Refresh_DEVICE: identity, firmware, counters, track-filter values, server link, motion text, and the
// GpsBlock iButton, external temperatures, fuel sensors and CAN values.
MonitorUpdate refreshDevice(const GpsSnapshot& gps, const DeviceSnapshot& device, const UnitProfile& unit);

// Convenience over the program-wide stores.
MonitorUpdate refreshGps(const MonitorBlocks& blocks, const UnitProfile& unit, BatteryWarning& battery);
MonitorUpdate refreshDevice(const MonitorBlocks& blocks, const UnitProfile& unit);

// Label208 text for the unit's type; nullopt for a type that leaves the label unchanged.
std::optional<QString> unitTypeText(const UnitProfile& unit);
// Status-bar motion text from DeviceBlock byte 35: "Движение" or "Стоянка".
QString motionText(uint8_t motionFlag);
// "Выключить" when the external supply is below 5.0 V, else "Перезагрузить".
QString resetButtonText(uint16_t supplyCount);

// The firmware compatibility check made after every DEVICE block.
struct FirmwareCheck
{
    bool incompatible = false;  // end the connection: connected flag cleared, step timer disarmed,
                                // device buttons disabled, Program_but enabled, message shown
    QString message;            // empty when compatible
    QString statusText;         // why the unit is refused, for the connection panel of the status bar
};
FirmwareCheck checkFirmware(const UnitProfile& unit, const DeviceSnapshot& device);

} // namespace rv
