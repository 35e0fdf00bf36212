#pragma once

// The satellite modem's tariff plan: what its code (the last byte of the main record) means for the
// satellite page, and the sending parameters the tariff server may fix. Widget-free: SatSetTarif returns
// what the page is to show and what the records are to hold, and the page applies it.

#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace rv {

struct ConfigRecords;
class ConfigBlock;

namespace sat {

inline constexpr uint8_t kThirdParty = 255;   // the unit works with another service ("Сторонний")
inline constexpr uint8_t kPresetBit = 0x80;   // the sending parameters came from the tariff server
inline constexpr uint8_t kPlanMask = 0x3F;
inline constexpr int kIridiumDevice = 5;      // "Иридиум", item 5 of the port-2 device list

enum class Plan { None, A, B, C, D1, D2, D3, D4, E, Unknown, ThirdParty };

Plan planOf(uint8_t value);
// The name shown after "Тариф: ".
QString planName(uint8_t value);
// "включены" / "выключены" for the fuel-sensor and odometer data the plan sends.
QString fuelDataText(uint8_t value);
QString odometerDataText(uint8_t value);

// Values for the controls of the sending parameters; a member left empty leaves its control as it is.
struct SatParams
{
    std::optional<bool> messend;     // IRmessend checked (true) or IRbufsend (false)
    std::optional<int> bufSize;      // IRbuf
    std::optional<bool> byTime;      // IRbyTime checked (true) or IRbyDist (false)
    std::optional<int> dist;         // IRDIST
    std::optional<int> moveInterval; // IRSAVEINT_
    std::optional<bool> parking;     // IRparking
    std::optional<int> parkInterval; // IRPARKTIME
    std::optional<bool> manual;      // HandIridium
    bool operator==(const SatParams&) const = default;
};

// The buffer size edit IRbuf, 10..340 bytes: too large a value becomes "340" at once (IRbufChange); too small
// a one, or none, becomes "10" once the user has finished typing (IRbufDone), so that "200" can be typed.
std::optional<QString> IRbufChange(QStringView text);
std::optional<QString> IRbufDone(QStringView text);

// The presets of plans D1..D4.
SatParams presetParams();

// The parameter text of the tariff server: the defaults, then every key found. Each value passes the
// validator of its field; a key without a number is listed in `refused` and its default stands.
struct ParamText
{
    SatParams params;
    QStringList refused;   // keys followed by no number
    QStringList corrected; // keys whose number the field could not hold, brought into its range
};
ParamText StrToParam(QByteArrayView text);

enum class SatMode { Page = 0, AfterRead = 1, AfterOpen = 2 };

// What the satellite page shows after SatSetTarif.
struct SatView
{
    QString tariffText;                // Label230
    QString fuelText;                  // Label233
    QString odometerText;              // Label234
    std::optional<bool> groupsEnabled; // the three parameter groups; none: as they are
    bool transmitterChecked = false;   // RzCheckBox3
    int serviceItem = 0;               // RzRG4
    bool serviceEnabled = true;        // RzRG4
    bool presetLabelVisible = false;   // Label240
};

struct SatResult
{
    QString message;                  // for the user first, when not empty
    std::optional<uint8_t> tariff;    // the new SatTariff; none: the record keeps its value
    std::optional<SatView> view;      // none: the page stays as it is
    std::optional<SatParams> params;  // the presets, when the plan fixes them
};

// `value`: the tariff code; `mode`: who asks (the page, a read from a unit, an opened file); `iridium`:
// whether port 2 has the satellite modem. After a read without the modem the page shows no tariff but the
// record keeps the unit's byte.
SatResult SatSetTarif(uint8_t value, SatMode mode, bool iridium);

// The page after StrToParam: the tariff gets the preset bit, the groups and the service choice are locked.
uint8_t withPresetBit(uint8_t tariff);

bool iridiumOnPort2(const ConfigBlock& config);

// The records as the page's controls would give them back: the tariff and the parameters written in.
void applyParams(ConfigRecords& records, const SatParams& params);
void applyResult(ConfigRecords& records, const SatResult& result);

} // namespace sat
} // namespace rv
