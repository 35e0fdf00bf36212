#include "core/track/track_geometry.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace rv::track {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRadPerMillionth = kPi / 180.0 / 1e6;
constexpr int64_t kFullTurn = 360000000; // millionths of a degree
constexpr int64_t kHalfTurn = kFullTurn / 2;

bool onTheGlobe(int32_t lat, int32_t lon)
{
    return lat >= -90000000 && lat <= 90000000 && lon >= -180000000 && lon <= 180000000;
}

// Into [-180°, 180°).
int64_t wrapped(int64_t lon)
{
    lon %= kFullTurn;
    if (lon >= kHalfTurn)
        lon -= kFullTurn;
    else if (lon < -kHalfTurn)
        lon += kFullTurn;
    return lon;
}

QString decimalComma(double v, int digits)
{
    return QString::number(v, 'f', digits).replace(QLatin1Char('.'), QLatin1Char(','));
}

} // namespace

Fix fixOf(const TrackPacket& p)
{
    if (!p.crcOk)
        return Fix::Damaged;
    if (p.notValidBit || !onTheGlobe(p.latitude, p.longitude))
        return Fix::NotValid;
    return Fix::Valid;
}

bool startsSegment(std::optional<int32_t> previous, int32_t time)
{
    return !previous || time < *previous || int64_t(time) - *previous > kSegmentGapSeconds;
}

TrackPoint pointOf(const TrackPacket& p, uint32_t packetIndex)
{
    TrackPoint t;
    t.time = p.time;
    t.latitude = p.latitude;
    t.longitude = p.longitude;
    t.altitude = p.altitude;
    t.speed = p.speed;
    t.course = p.course;
    t.satellites = p.satellites;
    t.hdop = p.hdop;
    t.packet = packetIndex;
    return t;
}

TrackPoints trackPoints(QByteArrayView buffer)
{
    TrackPoints t;
    t.packets = pointCount(buffer.size());
    t.points.reserve(static_cast<size_t>(t.packets));
    std::optional<int32_t> previous;
    for (qsizetype i = 0; i < t.packets; ++i) {
        const TrackPacket p = decodePacket(buffer.sliced(i * kPacketSize, kPacketSize));
        switch (fixOf(p)) {
        case Fix::Damaged: ++t.damaged; continue;
        case Fix::NotValid: ++t.invalid; continue;
        case Fix::Valid: break;
        }
        TrackPoint point = pointOf(p, static_cast<uint32_t>(i));
        point.segmentStart = startsSegment(previous, p.time);
        t.segments += point.segmentStart;
        previous = p.time;
        t.points.push_back(point);
    }
    return t;
}

std::optional<Stop> StopFinder::close(int32_t end)
{
    Stop s;
    s.point = *m_first;
    s.start = m_start;
    s.seconds = int64_t(end) - m_start;
    s.latitude = m_latitude;
    s.longitude = m_longitude;
    m_first.reset();
    if (s.seconds < kStopSeconds)
        return std::nullopt;
    return s;
}

std::optional<Stop> StopFinder::add(const TrackPoint& p, qsizetype index)
{
    std::optional<Stop> done;
    if (p.segmentStart && m_first)
        done = close(m_lastStanding); // the segment ended standing
    if (p.speed == 0) {
        if (!m_first) {
            m_first = index;
            m_start = p.time;
            m_latitude = p.latitude;
            m_longitude = p.longitude;
        }
        m_lastStanding = p.time;
    } else if (m_first) {
        done = close(p.time);
    }
    return done;
}

std::optional<Stop> StopFinder::finish()
{
    if (!m_first)
        return std::nullopt;
    return close(m_lastStanding);
}

std::vector<Stop> findStops(const std::vector<TrackPoint>& points)
{
    std::vector<Stop> stops;
    StopFinder finder;
    for (size_t i = 0; i < points.size(); ++i)
        if (const auto s = finder.add(points[i], qsizetype(i)))
            stops.push_back(*s);
    if (const auto s = finder.finish())
        stops.push_back(*s);
    return stops;
}

double haversineKm(int32_t lat1, int32_t lon1, int32_t lat2, int32_t lon2)
{
    const double phi1 = lat1 * kRadPerMillionth, phi2 = lat2 * kRadPerMillionth;
    const double dPhi = (int64_t(lat2) - lat1) * kRadPerMillionth;
    const double dLambda = wrapped(int64_t(lon2) - lon1) * kRadPerMillionth;
    const double a = std::sin(dPhi / 2) * std::sin(dPhi / 2) +
                     std::cos(phi1) * std::cos(phi2) * std::sin(dLambda / 2) * std::sin(dLambda / 2);
    return 2 * kEarthRadiusKm * std::asin(std::min(1.0, std::sqrt(a)));
}

TrackSummary summarize(const TrackPoints& track, const std::vector<Stop>& stops)
{
    TrackSummary s;
    s.points = qsizetype(track.points.size());
    s.invalid = track.invalid;
    s.damaged = track.damaged;
    s.segments = track.segments;
    s.stops = int(stops.size());
    if (track.points.empty())
        return s;
    int32_t earliest = std::numeric_limits<int32_t>::max(), latest = std::numeric_limits<int32_t>::min();
    for (size_t i = 0; i < track.points.size(); ++i) {
        const TrackPoint& p = track.points[i];
        earliest = std::min(earliest, p.time);
        latest = std::max(latest, p.time);
        s.maxSpeed = std::max(s.maxSpeed, p.speed);
        if (i == 0 || p.segmentStart)
            continue;
        const TrackPoint& q = track.points[i - 1];
        s.distanceKm += haversineKm(q.latitude, q.longitude, p.latitude, p.longitude);
        if (q.speed > 0)
            s.movingSeconds += int64_t(p.time) - q.time;
    }
    s.spanSeconds = int64_t(latest) - earliest;
    return s;
}

QString durationText(int64_t seconds)
{
    const int64_t s = std::max<int64_t>(0, seconds);
    return QStringLiteral("%1:%2:%3")
        .arg(s / 3600)
        .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(s % 60, 2, 10, QLatin1Char('0'));
}

QString summaryText(const TrackSummary& s)
{
    QString text = QStringLiteral("Точек: %1 · Расстояние: %2 км · Время: %3 · В движении: %4 · "
                                  "Макс. скорость: %5 км/ч · Стоянок: %6 · Недостоверных пропущено: %7 · "
                                  "Сегментов: %8")
                       .arg(s.points)
                       .arg(decimalComma(s.distanceKm, 2), durationText(s.spanSeconds), durationText(s.movingSeconds),
                            decimalComma(s.maxSpeed / 10.0, 1))
                       .arg(s.stops)
                       .arg(s.invalid)
                       .arg(s.segments);
    if (s.damaged)
        text += QStringLiteral(" · С ошибкой контрольной суммы: %1").arg(s.damaged);
    return text;
}

LocalProjection LocalProjection::at(int32_t latitude, int32_t longitude)
{
    LocalProjection p;
    p.m_lat0 = latitude;
    p.m_lon0 = longitude;
    p.m_ky = kEarthRadiusKm * kRadPerMillionth;
    p.m_kx = p.m_ky * std::cos(latitude * kRadPerMillionth);
    return p;
}

LocalProjection LocalProjection::around(const std::vector<TrackPoint>& points)
{
    if (points.empty())
        return at(0, 0);
    int32_t latLo = points.front().latitude, latHi = latLo;
    // The longitudes as given, and turned to 0..360°: a track across the 180th meridian is narrow in the second.
    int64_t lo = INT64_MAX, hi = INT64_MIN, lo360 = INT64_MAX, hi360 = INT64_MIN;
    for (const TrackPoint& p : points) {
        latLo = std::min(latLo, p.latitude);
        latHi = std::max(latHi, p.latitude);
        const int64_t lon = p.longitude, lon360 = lon < 0 ? lon + kFullTurn : lon;
        lo = std::min(lo, lon);
        hi = std::max(hi, lon);
        lo360 = std::min(lo360, lon360);
        hi360 = std::max(hi360, lon360);
    }
    const int64_t centre = hi360 - lo360 < hi - lo ? wrapped((lo360 + hi360) / 2) : (lo + hi) / 2;
    return at(int32_t((int64_t(latLo) + latHi) / 2), int32_t(centre));
}

QPointF LocalProjection::toKm(int32_t latitude, int32_t longitude) const
{
    return QPointF(double(wrapped(int64_t(longitude) - m_lon0)) * m_kx, double(int64_t(latitude) - m_lat0) * m_ky);
}

MapFit fitTo(const QRectF& boundsKm, const QSizeF& size, double margin)
{
    constexpr double kLeastKm = 0.1; // a track standing in one place is shown 100 m across
    const double w = std::max(boundsKm.width(), kLeastKm), h = std::max(boundsKm.height(), kLeastKm);
    const double aw = std::max(1.0, size.width() - 2 * margin), ah = std::max(1.0, size.height() - 2 * margin);
    return {std::min(aw / w, ah / h), boundsKm.center()};
}

TrackOverview overviewOf(QByteArrayView buffer)
{
    TrackOverview o;
    o.track = trackPoints(buffer);
    o.stops = findStops(o.track.points);
    o.summary = summarize(o.track, o.stops);
    o.projection = LocalProjection::around(o.track.points);
    o.km.reserve(o.track.points.size());
    double left = 0, right = 0, bottom = 0, top = 0;
    for (const TrackPoint& p : o.track.points) {
        const QPointF k = o.projection.toKm(p.latitude, p.longitude);
        if (o.km.empty()) {
            left = right = k.x();
            bottom = top = k.y();
        }
        left = std::min(left, k.x());
        right = std::max(right, k.x());
        bottom = std::min(bottom, k.y());
        top = std::max(top, k.y());
        o.km.push_back(k);
    }
    o.boundsKm = QRectF(QPointF(left, bottom), QPointF(right, top));
    o.byTime.resize(o.track.points.size());
    for (size_t i = 0; i < o.byTime.size(); ++i)
        o.byTime[i] = uint32_t(i);
    const auto earlier = [&](uint32_t a, uint32_t b) { return o.track.points[a].time < o.track.points[b].time; };
    if (!std::is_sorted(o.byTime.begin(), o.byTime.end(), earlier))
        std::stable_sort(o.byTime.begin(), o.byTime.end(), earlier);
    return o;
}

double scaleBarKm(double pxPerKm, double maxPx)
{
    const double maxKm = maxPx / std::max(pxPerKm, 1e-12);
    const double p = std::pow(10.0, std::floor(std::log10(maxKm)));
    for (double m : {5.0, 2.0, 1.0})
        if (m * p <= maxKm * (1 + 1e-9))
            return m * p;
    return p;
}

QString scaleBarText(double km)
{
    return QString::number(km, 'g', 6).replace(QLatin1Char('.'), QLatin1Char(',')) + QStringLiteral(" км");
}

} // namespace rv::track
