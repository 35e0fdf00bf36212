#include "core/devicefiles/route_table.h"

#include "core/base/cp1251.h"
#include "core/base/input_file.h"
#include "core/base/bytes.h"

#include <QFile>

#include <algorithm>

namespace rv::route {

namespace {

constexpr int64_t kMillion = 1000000;
constexpr qsizetype kCoordinateLength = 10; // "179,123456"; one more for a leading minus

bool isDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

// An unsigned decimal number of digits only (blanks around allowed); nothing for anything else.
std::optional<int64_t> parseCount(QStringView text)
{
    text = text.trimmed();
    if (text.isEmpty() || text.size() > 12)
        return std::nullopt;
    int64_t v = 0;
    for (QChar c : text) {
        if (!isDigit(c))
            return std::nullopt;
        v = v * 10 + (c.unicode() - u'0');
    }
    return v;
}

} // namespace

const QStringList& headers()
{
    static const QStringList h = {QStringLiteral("№"),      QStringLiteral("Широта"),    QStringLiteral("Долгота"),
                                  QStringLiteral("Rin, м"), QStringLiteral("Rext, м"),   QStringLiteral("Имя файла"),
                                  QStringLiteral("Направление"), QStringLiteral("Разброс")};
    return h;
}

QString zoneCountText(int count) { return QStringLiteral("Общее количество геозон: %1").arg(count); }

int columnMaximum(int column)
{
    switch (column) {
    case ColInner:
    case ColOuter: return 255;
    case ColDirection: return 360;
    case ColSpread: return 250;
    default: return 0;
    }
}

bool RouteTable::addRow()
{
    if (rows.size() >= kMaxZones)
        return false;
    rows.append(RouteRow{});
    return true;
}

int RouteTable::addRows(int n)
{
    int added = 0;
    while (added < n && addRow())
        ++added;
    return added;
}

bool RouteTable::deleteRow(int row)
{
    if (row < 1 || row > rows.size())
        return false;
    if (rows.size() > 1)
        rows.removeAt(row - 1);
    return true;
}

void RouteTable::deleteAll() { rows = {RouteRow{}}; }

bool RouteTable::setCoordinates(int row, int32_t latitude, int32_t longitude)
{
    if (row < 1 || row > rows.size())
        return false;
    rows[row - 1][ColLatitude] = formatCoordinate(latitude);
    rows[row - 1][ColLongitude] = formatCoordinate(longitude);
    return true;
}

QString formatCoordinate(int32_t millionths)
{
    const int64_t v = millionths;
    const int64_t a = v < 0 ? -v : v;
    return QStringLiteral("%1%2,%3")
        .arg(v < 0 ? QStringLiteral("-") : QString())
        .arg(a / kMillion)
        .arg(a % kMillion, 6, 10, QLatin1Char('0'));
}

QList<int> rowsWithoutCoordinates(const RouteTable& table)
{
    QList<int> rows;
    for (int r = 0; r < table.count(); ++r) {
        const RouteRow& row = table.rows[r];
        if (!parseCoordinate(row[ColLatitude].trimmed()) || !parseCoordinate(row[ColLongitude].trimmed()))
            rows << r + 1;
    }
    return rows;
}

std::optional<int32_t> parseCoordinate(QStringView text)
{
    text = text.trimmed();
    bool negative = false;
    if (!text.isEmpty() && (text.front() == QLatin1Char('-') || text.front() == QLatin1Char('+'))) {
        negative = text.front() == QLatin1Char('-');
        text = text.sliced(1);
    }
    int64_t whole = 0;
    int64_t fraction = 0;
    int fractionDigits = 0;
    bool roundUp = false;
    bool anyDigit = false;
    bool separator = false;
    for (QChar c : text) {
        if (c == QLatin1Char(',') || c == QLatin1Char('.')) {
            if (separator)
                return std::nullopt;
            separator = true;
            continue;
        }
        if (!isDigit(c))
            return std::nullopt;
        anyDigit = true;
        const int d = c.unicode() - u'0';
        if (!separator) {
            whole = whole * 10 + d;
            if (whole > INT32_MAX)
                return std::nullopt;
        } else if (fractionDigits < 6) {
            fraction = fraction * 10 + d;
            ++fractionDigits;
        } else if (fractionDigits == 6) {
            roundUp = d >= 5;
            ++fractionDigits;
        }
    }
    if (!anyDigit)
        return std::nullopt;
    for (int i = std::min(fractionDigits, 6); i < 6; ++i)
        fraction *= 10;
    const int64_t magnitude = whole * kMillion + fraction + (roundUp ? 1 : 0);
    const int64_t value = negative ? -magnitude : magnitude;
    if (value < INT32_MIN || value > INT32_MAX)
        return std::nullopt;
    return static_cast<int32_t>(value);
}

RouteFileRead parseRouteFile(QByteArrayView bytes)
{
    RouteFileRead r;
    if (bytes.isEmpty()) {
        r.status = RouteFileRead::Refused;
        r.message = QStringLiteral("Файл маршрута пуст: таблица не изменена");
        return r;
    }
    r.promised = le::u8(bytes, 0);
    r.present = int(std::min<qsizetype>(r.promised, (bytes.size() - 1) / kRecordSize));
    r.table.rows.clear();
    for (int k = 0; k < r.present; ++k) {
        const QByteArrayView rec = bytes.sliced(1 + k * kRecordSize, kRecordSize);
        RouteRow row;
        row[ColLatitude] = formatCoordinate(static_cast<int32_t>(le::u32(rec, 0)));
        row[ColLongitude] = formatCoordinate(static_cast<int32_t>(le::u32(rec, 4)));
        row[ColInner] = QString::number(le::u8(rec, 8));
        row[ColOuter] = QString::number(le::u8(rec, 9));
        row[ColName] = cp1251::readFixed(rec.sliced(10, kNameWidth));
        row[ColDirection] = QString::number(le::u16(rec, 40));
        row[ColSpread] = QString::number(le::u8(rec, 42));
        r.table.rows.append(row);
    }
    if (r.present < r.promised) {
        r.status = RouteFileRead::Partial;
        r.message = QStringLiteral("Файл маршрута неполон: заявлено геозон %1, полных записей %2. "
                                   "Загружены только полные записи.")
                        .arg(r.promised)
                        .arg(r.present);
    }
    return r;
}

RouteFileBytes encodeRouteFile(RouteTable& table)
{
    RouteFileBytes out;
    if (table.rows.size() > 255) {
        out.error = QStringLiteral("В файле маршрута может быть не более %1 геозон").arg(kMaxZones);
        return out;
    }
    RouteTable shown = table;
    QByteArray bytes(1 + shown.rows.size() * kRecordSize, '\0');
    bytes[0] = static_cast<char>(shown.rows.size());
    const auto refuse = [&](int row, int column, const QString& text) {
        out.error = QStringLiteral("Не удается сохранить строку %1: в столбце «%2» недопустимое значение «%3»")
                        .arg(row)
                        .arg(headers().at(column), text);
    };
    for (int k = 0; k < shown.rows.size(); ++k) {
        RouteRow& row = shown.rows[k];
        for (QString& cell : row.cells)
            if (cell.isEmpty())
                cell = QStringLiteral("0");
        const qsizetype at = 1 + k * kRecordSize;
        for (int column : {ColLatitude, ColLongitude}) {
            const std::optional<int32_t> v = parseCoordinate(row[column]);
            if (!v) {
                refuse(k + 1, column, row[column]);
                return out;
            }
            le::put32(bytes, at + (column == ColLatitude ? 0 : 4), static_cast<uint32_t>(*v));
            row[column] = formatCoordinate(*v);
        }
        for (int column : {ColInner, ColOuter, ColDirection, ColSpread}) {
            const std::optional<int64_t> v = parseCount(row[column]);
            if (!v) {
                refuse(k + 1, column, row[column]);
                return out;
            }
            const int value = int(std::min<int64_t>(*v, columnMaximum(column)));
            switch (column) {
            case ColInner: bytes[at + 8] = static_cast<char>(value); break;
            case ColOuter: bytes[at + 9] = static_cast<char>(value); break;
            case ColDirection: le::put16(bytes, at + 40, static_cast<uint16_t>(value)); break;
            default: bytes[at + 42] = static_cast<char>(value); break;
            }
            row[column] = QString::number(value);
        }
        std::optional<QByteArray> name = cp1251::encode(row[ColName]);
        if (!name) {
            refuse(k + 1, ColName, row[ColName]);
            return out;
        }
        name->truncate(kNameMax);
        std::copy(name->cbegin(), name->cend(), bytes.begin() + at + 10);
        row[ColName] = cp1251::decode(*name);
    }
    table = std::move(shown);
    out.bytes = std::move(bytes);
    return out;
}

OpenResult Open_marshrut(const QString& path, RouteTable& table)
{
    OpenResult r;
    const InputFileBytes in = readInputFile(path, kMaxRouteFileSize);
    if (refusedInputFile(in.error)) {
        r.status = OpenStatus::Refused;
        r.message = inputFileMessage(path, in.error, kMaxRouteFileSize);
        return r;
    }
    if (!in.ok())
        return r;
    const RouteFileRead read = parseRouteFile(in.bytes);
    r.message = read.message;
    switch (read.status) {
    case RouteFileRead::Refused: r.status = OpenStatus::Refused; return r;
    case RouteFileRead::Partial: r.status = OpenStatus::Partial; break;
    case RouteFileRead::Loaded: r.status = OpenStatus::Loaded; break;
    }
    table = read.table;
    return r;
}

SaveResult Save_marshrut(const QString& path, RouteTable& table)
{
    RouteTable stored = table;
    const RouteFileBytes encoded = encodeRouteFile(stored);
    if (!encoded.ok())
        return {false, encoded.error, {}};
    if (const OutputFileResult saved = saveOutputFile(path, encoded.bytes); !saved.ok())
        return {false, outputFileMessage(saved), saved};
    table = std::move(stored);
    return {true, {}, {}};
}

KeyVerdict KeyPressAutoinfoGrid(int column, QStringView cell, QChar key, qsizetype cursor)
{
    cursor = std::clamp<qsizetype>(cursor, 0, cell.size());
    const bool backspace = key.unicode() == kBackspace;
    const bool digit = isDigit(key);
    if (column == ColName)
        return {backspace || cell.size() < kNameMax, {}};
    if (column == ColLatitude || column == ColLongitude) {
        if (backspace)
            return {};
        const bool minus = key == QLatin1Char('-') && cursor == 0 && !cell.contains(QLatin1Char('-'));
        const bool comma = key == QLatin1Char(',') && !cell.contains(QLatin1Char(','));
        if (!digit && !minus && !comma)
            return {false, {}};
        if (!minus && cursor == 0 && cell.startsWith(QLatin1Char('-')))
            return {false, {}}; // nothing goes before the sign
        const bool signedValue = minus || cell.startsWith(QLatin1Char('-'));
        return {cell.size() < kCoordinateLength + (signedValue ? 1 : 0), {}};
    }
    if (column == ColNumber)
        return {digit || backspace, {}};

    // Radii, direction and spread: whole numbers up to the column's maximum.
    if (!digit && !backspace)
        return {false, {}};
    if (cell.isEmpty())
        return backspace ? KeyVerdict{false, column == ColInner || column == ColOuter ? QStringLiteral("1")
                                                                                     : QStringLiteral("0")}
                         : KeyVerdict{};
    if (backspace)
        return {};
    const QString next = cell.left(cursor).toString() + key + cell.mid(cursor).toString();
    const std::optional<int64_t> value = parseCount(next);
    if (value && *value > columnMaximum(column))
        return {false, QString::number(columnMaximum(column))};
    return {};
}

bool wavFormatAccepted(QByteArrayView header)
{
    if (header.size() < kWavHeaderSize)
        return false;
    const uint32_t rate = le::u32(header, 24);
    return header.startsWith("RIFF") && le::u16(header, 20) == 1 && le::u16(header, 22) == 1 && rate >= 11000 && rate <= 12000 &&
           le::u16(header, 34) == 8;
}

QString wavFormatMessage()
{
    return QStringLiteral("Не правильный формат файла\nВыберите файл с параметрами\n(12(11,025) кГц, 8 бит, моно)");
}

} // namespace rv::route
