#pragma once

// The track as a path: which packets hold a position, where the path breaks into segments, where the
// vehicle stood, how far and how long it went, and a flat map of it. Pure functions of the read bytes;
// the exports and the track window share them.

#include "core/track/track_packet.h"

#include <QByteArrayView>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace rv::track {

// The path breaks where the unit's clock goes back or jumps ahead by more than this.
inline constexpr int32_t kSegmentGapSeconds = 10 * 60;
// Standing still (speed 0) at least this long is a stop.
inline constexpr int32_t kStopSeconds = 3 * 60;
// The mean earth radius, for distances and the flat map.
inline constexpr double kEarthRadiusKm = 6371.0088;

enum class Fix : uint8_t {
    Valid,
    Damaged,   // the check value is wrong: nothing in it can be trusted
    NotValid,  // the unit marked the position not valid, or it lies off the globe
};
Fix fixOf(const TrackPacket& p);

// Whether a point at `time` starts a new segment after a point at `previous` (none: the first point).
bool startsSegment(std::optional<int32_t> previous, int32_t time);

// One packet that holds a valid position, with what the path needs of it.
struct TrackPoint
{
    int32_t time = 0;       // seconds since 1970 UTC
    int32_t latitude = 0;   // millionths of a degree
    int32_t longitude = 0;
    uint16_t altitude = 0;  // metres; 0xFFFF: none
    uint16_t speed = 0;     // tenths of km/h
    uint16_t course = 0;    // tenths of a degree
    uint8_t satellites = 0;
    uint8_t hdop = 0;       // tenths
    bool segmentStart = false;
    uint32_t packet = 0;    // its index in the buffer
};
TrackPoint pointOf(const TrackPacket& p, uint32_t packetIndex);

struct TrackPoints
{
    std::vector<TrackPoint> points;
    qsizetype packets = 0;  // whole packets in the buffer
    qsizetype damaged = 0;  // left out: wrong check value
    qsizetype invalid = 0;  // left out: no valid position
    int segments = 0;
};
TrackPoints trackPoints(QByteArrayView buffer);

// A stop: from the first point with speed 0 to the next point that moves (or the last point standing,
// where the segment or the track ends standing).
struct Stop
{
    qsizetype point = 0;    // index of its first point
    int32_t start = 0;
    int64_t seconds = 0;
    int32_t latitude = 0;   // where it stood
    int32_t longitude = 0;
};

// Finds the stops of points given in order, as they come.
class StopFinder
{
public:
    // The stop that ends at this point, if one does.
    std::optional<Stop> add(const TrackPoint& p, qsizetype index);
    // The stop the track ends in, if it does.
    std::optional<Stop> finish();

private:
    std::optional<Stop> close(int32_t end);

    std::optional<qsizetype> m_first; // the first point of the run standing
    int32_t m_start = 0;
    int32_t m_latitude = 0, m_longitude = 0;
    int32_t m_lastStanding = 0;
};
std::vector<Stop> findStops(const std::vector<TrackPoint>& points);

// Great-circle distance by the haversine formula.
double haversineKm(int32_t lat1, int32_t lon1, int32_t lat2, int32_t lon2);

struct TrackSummary
{
    qsizetype points = 0;
    qsizetype invalid = 0;
    qsizetype damaged = 0;
    int segments = 0;
    double distanceKm = 0;       // along each segment; the gaps between segments are not counted
    int64_t spanSeconds = 0;     // from the earliest point to the latest
    int64_t movingSeconds = 0;   // the time from each point that moves to the next one of its segment
    uint16_t maxSpeed = 0;       // tenths of km/h
    int stops = 0;
};
TrackSummary summarize(const TrackPoints& track, const std::vector<Stop>& stops);
// "Точек: 120 · Расстояние: 3,45 км · Время: 0:20:00 · В движении: 0:15:30 · ..." as the window shows it.
QString summaryText(const TrackSummary& s);
// 1:05:00; hours beyond a day go on counting.
QString durationText(int64_t seconds);

// A local equirectangular map: kilometres east and north of a centre, the east scaled by the cosine of
// the centre's latitude. Tracks across the 180th meridian stay in one piece.
class LocalProjection
{
public:
    LocalProjection() = default;
    // Centred on the middle of the points' bounds.
    static LocalProjection around(const std::vector<TrackPoint>& points);
    static LocalProjection at(int32_t latitude, int32_t longitude);

    QPointF toKm(int32_t latitude, int32_t longitude) const; // x east, y north
    int32_t centreLatitude() const { return m_lat0; }
    int32_t centreLongitude() const { return m_lon0; }

private:
    int32_t m_lat0 = 0, m_lon0 = 0;
    double m_kx = 0, m_ky = 0; // km per millionth of a degree
};

// Where a map of `boundsKm` goes in an area of `size` pixels with `margin` pixels all round: the scale
// and the map point at the area's centre.
struct MapFit
{
    double pxPerKm = 1;
    QPointF centreKm;
};
MapFit fitTo(const QRectF& boundsKm, const QSizeF& size, double margin);

// What the track window draws, worked out once per track.
struct TrackOverview
{
    TrackPoints track;
    std::vector<Stop> stops;
    TrackSummary summary;
    LocalProjection projection;
    std::vector<QPointF> km;        // each point on the flat map
    QRectF boundsKm;
    std::vector<uint32_t> byTime;   // the points in time order (a clock that went back puts them out of order)
};
TrackOverview overviewOf(QByteArrayView buffer);

// The length of a scale bar at most `maxPx` pixels long: 1, 2 or 5 times a power of ten kilometres.
double scaleBarKm(double pxPerKm, double maxPx);
// "2 км", "0,5 км", "0,02 км".
QString scaleBarText(double km);

} // namespace rv::track
