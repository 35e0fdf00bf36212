#pragma once

// Waypoints of an OziExplorer waypoint file (.wpt) as geofences: latitude, longitude and the proximity
// radius (field 14) of each point become columns 1, 2 and 4 of a new route table.
//
// The waypoint lines are those after the four header lines of a file that starts with
// "OziExplorer Waypoint File", or else those after the first line break that follows the text "garmin".

#include "core/devicefiles/route_table.h"

namespace rv::route {

struct WaypointImport {
    bool ok = false;
    RouteTable table;     // the imported points (only when ok)
    int imported = 0;
    int leftOut = 0;      // points past kMaxZones
    int unreadable = 0;   // waypoint lines without a readable latitude and longitude
    QString message;      // the error when not ok; a note about points left out or unreadable otherwise
};

inline constexpr qint64 kMaxWaypointFile = 16 << 20;

WaypointImport parseWaypoints(QByteArrayView bytes);
// ImportPoints: "Файл не открывается" when the file cannot be read.
WaypointImport ImportPoints(const QString& path);

} // namespace rv::route
