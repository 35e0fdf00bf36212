#include "core/devicefiles/waypoint_import.h"

#include "core/base/input_file.h"

#include <QFile>

namespace rv::route {

namespace {

const QString kNoData = QStringLiteral("Файл не содержит данных о координатах!");

// Field 14 is an integer of metres; the radius column holds 0..255. Leading digits count, as atoi reads.
int radiusOf(QByteArrayView field)
{
    field = field.trimmed();
    const bool negative = field.startsWith('-');
    if (negative || field.startsWith('+'))
        field = field.sliced(1);
    int64_t v = 0;
    for (char c : field) {
        if (c < '0' || c > '9')
            break;
        v = std::min<int64_t>(v * 10 + (c - '0'), 1000000);
    }
    return negative ? 0 : int(std::min<int64_t>(v, columnMaximum(ColOuter)));
}

// Where the waypoint lines begin, or -1 when the file is not a waypoint file.
qsizetype firstWaypointLine(QByteArrayView bytes)
{
    if (bytes.startsWith("OziExplorer Waypoint File")) {
        qsizetype at = 0;
        for (int line = 0; line < 4; ++line) {
            const qsizetype lf = bytes.indexOf('\n', at);
            if (lf < 0)
                return bytes.size();
            at = lf + 1;
        }
        return at;
    }
    const qsizetype garmin = bytes.indexOf("garmin");
    if (garmin < 0)
        return -1;
    const qsizetype lf = bytes.indexOf('\n', garmin);
    return lf < 0 ? bytes.size() : lf + 1;
}

} // namespace

WaypointImport parseWaypoints(QByteArrayView bytes)
{
    WaypointImport r;
    const qsizetype start = firstWaypointLine(bytes);
    if (start < 0) {
        r.message = kNoData;
        return r;
    }
    r.table.rows.clear();
    for (QByteArrayView line : QByteArrayView(bytes).sliced(start).toByteArray().split('\n')) {
        if (line.trimmed().isEmpty())
            continue;
        const QList<QByteArray> fields = line.toByteArray().split(',');
        const std::optional<int32_t> latitude =
            fields.size() > 3 ? parseCoordinate(QString::fromLatin1(fields.at(2))) : std::nullopt;
        const std::optional<int32_t> longitude =
            fields.size() > 3 ? parseCoordinate(QString::fromLatin1(fields.at(3))) : std::nullopt;
        if (!latitude || !longitude) {
            ++r.unreadable;
            continue;
        }
        if (r.table.rows.size() >= kMaxZones) {
            ++r.leftOut;
            continue;
        }
        RouteRow row;
        row[ColLatitude] = formatCoordinate(*latitude);
        row[ColLongitude] = formatCoordinate(*longitude);
        row[ColOuter] = QString::number(fields.size() > 13 ? radiusOf(fields.at(13)) : 0);
        r.table.rows.append(row);
    }
    r.imported = int(r.table.rows.size());
    if (r.imported == 0) {
        r.table = {};
        r.message = kNoData;
        return r;
    }
    r.ok = true;
    QStringList notes;
    if (r.leftOut > 0)
        notes << QStringLiteral("В таблице не более %1 геозон: импортированы первые %1 точек, не вошли %2.")
                     .arg(kMaxZones)
                     .arg(r.leftOut);
    if (r.unreadable > 0)
        notes << QStringLiteral("Строк без читаемых координат пропущено: %1.").arg(r.unreadable);
    r.message = notes.join(QLatin1Char('\n'));
    return r;
}

WaypointImport ImportPoints(const QString& path)
{
    const InputFileBytes in = readInputFile(path, kMaxWaypointFile);
    if (!in.ok()) {
        WaypointImport r;
        r.message = refusedInputFile(in.error) ? inputFileMessage(path, in.error, kMaxWaypointFile)
                        : QStringLiteral("Файл не открывается");
        return r;
    }
    return parseWaypoints(in.bytes);
}

} // namespace rv::route
