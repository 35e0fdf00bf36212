#pragma once

// Number and value formats of the monitor labels. Decimal fractions use a comma, as everywhere in the
// program's user interface.

#include <QString>

#include <array>
#include <cstdint>

namespace rv {

// Divider factors of the ADC inputs (volts = count × 3.16 × k / 1023).
inline constexpr double kAdcInput36V = 11.0;    // 36 V inputs and the external supply
inline constexpr double kAdcBattery = 2.0;
inline constexpr double kAdcInput5V = 1.909;    // an input in 5 V mode

double adcVolts(uint16_t count, double k);

// 123 → "12,3"; -15 → "-1,5"; -5 → "-0,5".
QString tenthsText(int64_t tenths);
// Millionths of a degree: 55012345 → "55,012345"; -37500000 → "-37,500000".
QString coordinateText(int32_t millionths);
// Hundredths as a fixed number with two decimals: 12345 → "123,45".
QString hundredthsText(int64_t hundredths);
// General format with at most `precision` significant digits, trailing zeros dropped; scientific
// ("1,2E5", "1E-6") when the number needs more whole digits than that or is below 0.00001.
QString generalText(double value, int precision);
// "%.2d.%.2d.%.2d %.2d:%.2d:%.2d" (day, month, year, hour, minute, second) of unit time, without zone shift.
QString unitTimeText(uint32_t secondsSince1970);
// An external temperature byte: 0x80 "нет", 0x81 "КЗ", 0x82 "обрыв", else the signed value.
QString externalTemperatureText(uint8_t code);
// Twelve hex digits of an iButton code, last byte first ("%.2X" each).
QString iButtonText(const std::array<uint8_t, 6>& code);

} // namespace rv
