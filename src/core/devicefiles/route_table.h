#pragma once

// The autoinformer's route: up to 254 circular geofences kept as the text the grid shows, and the route
// file ("Marshrut.fai", any *.fai): one count byte, then 44-byte records. The grid of the page is only a
// view of a RouteTable; everything here is widget-free.

#include "core/base/output_file.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <optional>

namespace rv::route {

inline constexpr int kMaxZones = 254;       // the unit's table; the count byte could say 255
inline constexpr qsizetype kRecordSize = 44;
// The count byte and at most 255 records: no route file is larger.
inline constexpr qsizetype kMaxRouteFileSize = 1 + 255 * kRecordSize;
inline constexpr qsizetype kNameWidth = 30; // zero-terminated inside the field
inline constexpr int kNameMax = 29;
inline constexpr int kColumnCount = 8;

enum Column : int {
    ColNumber = 0, ColLatitude = 1, ColLongitude = 2, ColInner = 3, ColOuter = 4, ColName = 5,
    ColDirection = 6, ColSpread = 7,
};

// "№", "Широта", "Долгота", "Rin, м", "Rext, м", "Имя файла", "Направление", "Разброс".
const QStringList& headers();

// One geofence as its cells show it: columns 1..7 (column 0 is the row's number).
struct RouteRow {
    std::array<QString, kColumnCount - 1> cells;
    QString& operator[](int column) { return cells[std::size_t(column - 1)]; }
    const QString& operator[](int column) const { return cells[std::size_t(column - 1)]; }
    bool operator==(const RouteRow&) const = default;
};

// The table the grid shows. Row numbers are 1-based, as in the grid.
struct RouteTable {
    QList<RouteRow> rows{RouteRow{}}; // a new table holds one empty row

    int count() const { return int(rows.size()); }
    bool operator==(const RouteTable&) const = default;

    // One empty row at the end; nothing at kMaxZones rows. Returns whether a row was added.
    bool addRow();
    // Up to n rows, stopping silently at the limit; the number added.
    int addRows(int n);
    // Rows below `row` move up; the only row left keeps its content. False when `row` is not a row.
    bool deleteRow(int row);
    // One empty row.
    void deleteAll();
    // Columns 1 and 2 of `row` from millionths of a degree; false when `row` is not a row.
    bool setCoordinates(int row, int32_t latitude, int32_t longitude);
};

// The rows (1-based) whose latitude or longitude is not a coordinate (an empty cell): the file would get a
// geofence at 0°/0° for them.
QList<int> rowsWithoutCoordinates(const RouteTable& table);

// "Общее количество геозон: N".
QString zoneCountText(int count);

// Millionths of a degree as the grid shows them: a decimal comma and six fraction digits ("-0,500000").
QString formatCoordinate(int32_t millionths);
// Degrees typed with ',' or '.' as the decimal separator, to the nearest millionth (half away from zero);
// nothing when the text is not a number or does not fit a signed 32-bit count of millionths.
std::optional<int32_t> parseCoordinate(QStringView text);

// The largest value each number column takes: 255, 255, 360, 250.
int columnMaximum(int column);

// --- the route file ---

struct RouteFileRead {
    enum Status { Loaded, Partial, Refused };
    Status status = Loaded;
    RouteTable table;
    int promised = 0; // the count byte
    int present = 0;  // whole records in the file
    QString message;  // empty when the file was whole
};
// The whole records present are loaded, never more; bytes after the last record are ignored. A file
// without even its count byte is refused.
RouteFileRead parseRouteFile(QByteArrayView bytes);

struct RouteFileBytes {
    QByteArray bytes;
    QString error; // a cell that cannot be stored; empty on success
    bool ok() const { return error.isEmpty(); }
};
// Save_marshrut's conversion. Empty cells become "0"; numbers above their column's maximum become the
// maximum; a name keeps what is stored of it (29 bytes). The table is changed to show exactly what the
// bytes hold. On an error the table is left as it was.
RouteFileBytes encodeRouteFile(RouteTable& table);

enum class OpenStatus { NotOpened, Loaded, Partial, Refused };
struct OpenResult {
    OpenStatus status = OpenStatus::NotOpened;
    QString message; // for Partial and Refused
    bool loaded() const { return status == OpenStatus::Loaded || status == OpenStatus::Partial; }
};
// Loads the route file at `path` into `table`. A file that cannot be opened changes nothing and says
// nothing; a refused file (also one that is no regular file or larger than a route file can be) leaves
// the table as it was.
OpenResult Open_marshrut(const QString& path, RouteTable& table);

struct SaveResult {
    bool ok = false;
    QString message; // "Не удалось сохранить <file>: <why>" or the cell that cannot be stored
    OutputFileResult file; // the save of the file itself (error None when a cell stopped it first)
};
// Stores `table` into the route file at `path`, replacing it only when the whole file is written.
SaveResult Save_marshrut(const QString& path, RouteTable& table);

// --- typing into a cell ---

inline constexpr char16_t kBackspace = 8;

struct KeyVerdict {
    bool accept = true;
    std::optional<QString> cellText; // the cell's new text before the key is (or is not) inserted
};
// KeyPressAutoinfoGrid: what a character typed into `column` does to a cell holding `cell`, the cursor at
// `cursor` (the text without any selection the key would replace).
KeyVerdict KeyPressAutoinfoGrid(int column, QStringView cell, QChar key, qsizetype cursor);

// --- the voice file named in a row ---

inline constexpr qsizetype kWavHeaderSize = 36;
// "RIFF", PCM (format 1), one channel, 11000..12000 samples a second, 8 bits: the first 36 bytes of the
// file. Another format (μ-law, ADPCM ...) would play as noise on the unit.
bool wavFormatAccepted(QByteArrayView header);
QString wavFormatMessage();

} // namespace rv::route
