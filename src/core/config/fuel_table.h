#pragma once

// The two fuel sensors' calibration tables (21 points each, empty tank to full) as the table editor shows
// them: one column per sensor, one row per twentieth of the tank, cells as unsigned decimal numbers.

#include "core/config/records.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace rv {

namespace fuel {

inline constexpr int kPoints = 21;   // rows 1..21 of the grid
inline constexpr int kSensors = 2;   // columns 1 and 2
inline constexpr int kCellDigits = 5;

// The label column, rows 0..21: "Объем", "Пустой бак", "1/20" … "Полный бак".
QString rowLabel(int row);
// The header row, columns 0..2.
QString columnTitle(int column);

// Sensor 1 or 2's table as cell texts.
QStringList column(const ConfigBlock& config, int sensor);

// The value a cell stores: empty → 0; a number 0..65535; a sensor reading −32768..−1 (inserted from the
// live block, a broken line reads −1) as its 16 bits. Nothing for any other text: it is never stored
// as some other number.
std::optional<uint16_t> cellValue(QStringView text);
// The correction made while a cell is typed: a value above 65535 becomes "65535".
std::optional<QString> cellCorrection(QStringView text);

// Both columns into the tables, all or nothing. Returns the (sensor 1..2, point 0..20) of every cell that
// cannot be stored; nothing is written then.
struct Cell
{
    int sensor;
    int point;
    bool operator==(const Cell&) const = default;
};
QList<Cell> store(ConfigBlock& config, const QStringList& column1, const QStringList& column2);

// The current reading of fuel sensor 1 or 2 in the navigation block (signed 16 bits at 59 or 61), as text;
// nothing when the block is too short or the sensor unknown.
std::optional<QString> readingText(QByteArrayView gpsBlock, int sensor);

} // namespace fuel

} // namespace rv
