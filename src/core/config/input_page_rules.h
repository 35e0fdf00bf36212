#pragma once

// The rules of the inputs, outputs and security pages that are worth more than a binding row: the voltage
// and filter labels of an input, the colour of its live bar, the input types that drag a neighbour along,
// and the iButton keys as the key table shows them. Widget-free, so they are tested without a page.

#include "core/config/unit_profile.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <optional>

namespace rv::inputs {

inline constexpr int kInputs = 8;
inline constexpr int kAdcMax = 1023;
inline constexpr int kKeyBytes = 6;
inline constexpr int kKeyDigits = 12;
inline constexpr int kKeys = 5;

// Items of the type list with a meaning of their own (inputs 1 and 2 on the wide list).
inline constexpr int kTypeAnalog5V = 3;
inline constexpr int kTypeFrequency = 4;
inline constexpr int kTypeCounter = 5;
inline constexpr int kTypeDifferential = 6;
// Item 3 of inputs 6..8 is the input's special function (dispatcher call, arming, ignition).
inline constexpr int kTypeSpecial = 3;
// What a special function sets: active level "high" and the upper limit 141 (4.79 V).
inline constexpr int kSpecialLevel = 3;
inline constexpr int kSpecialUpper = 141;

// ---- the type list and the title (input 0..7) ----

// Items of the input type list `Inputtype` of the unit's type; empty where it has no such input or no lists.
QStringList typeItems(const UnitProfile& unit, int input);
// The title `Labelinput`: "Вход N", and on RV-1 "Вход4" and "Вход5" for its two counting inputs.
QString titleText(const UnitProfile& unit, int input);

// ---- labels (input 0..7, type = item index of the type list) ----

// An ADC count (or slider position) as volts behind the input's divider: 3 significant digits, ',' and " В".
// Inputs 1 and 2 on "Аналоговый (5 В)" have the 5 V divider (k = 2), every other input k = 11.
QString voltsText(int count, int input, int type);
// The filter length as time: "(N сек)" on a frequency input 1 or 2, else "(N×100 мс)".
QString filterTimeText(int length, int input, int type);
// Whether Freq_level applies: inputs 1 and 2 on "Частотный" or "Счетный" only.
bool hasFreqLevel(int input, int type);
// Its caption: "Порог частоты" or "Переполнение".
QString freqLevelCaption(int type);

// ---- coupled inputs ----
// Choosing type `type` on input `input` (0..7) also gives the returned input the same type: the differential
// counter uses inputs 1 and 2, RV-1's counter inputs 4 and 5.
std::optional<int> coupledInput(const UnitProfile& unit, int input, int type);
// Whether the type is the special function of input 6, 7 or 8 (where the unit has them).
bool isSpecialFunction(const UnitProfile& unit, int input, int type);

// ---- live bar ----
enum class BarColour { Red, Blue, Green };
// Red where the active level counts the value as active, blue where passive, green in the hysteresis band.
// A level past the six known ones shows blue.
BarColour barColour(int activeLevel, int lower, int upper, int count);

// ---- iButton keys ----
// Six stored bytes as twelve hex digits, last byte first; empty when byte 0 is 0 (no key).
QString keyText(QByteArrayView bytes);
// A key cell as six bytes: empty → six zeros; up to twelve hex digits, padded on the left with zeros
// (see paddedKey); anything else (other characters, more digits) → nothing.
std::optional<QByteArray> keyBytes(QStringView text);
// The cell's text as it is stored: padded to twelve upper-case digits, or empty; nothing when invalid.
std::optional<QString> paddedKey(QStringView text);

} // namespace rv::inputs
