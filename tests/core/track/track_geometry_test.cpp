// The track as a path, without widgets: which packets hold a position, where segments break, where the
// vehicle stood, the summary of a track whose figures are known from its layout, and the flat map.

#include "core/track/track_geometry.h"

#include "support/track_packets.h"

#include <gtest/gtest.h>

using namespace rv::track;
using rvtest::PacketFields;
using rvtest::trackPacket;

namespace {

// One kilometre per 0.001° along the equator or a meridian would be 111.195 m: R × π / 180 per degree.
constexpr double kKmPerDegree = 6371.0088 * 3.14159265358979323846 / 180;

TrackPoint at(int32_t time, uint16_t speed, bool segmentStart = false)
{
    TrackPoint p;
    p.time = time;
    p.speed = speed;
    p.segmentStart = segmentStart;
    return p;
}

} // namespace

TEST(TrackGeometry, PointsLeaveOutDamagedAndInvalidPacketsAndBreakWhereTheClockJumps)
{
    QByteArray buffer;
    const int32_t t = 1767261600;
    for (int32_t time : {t, t + 10, t + 20})
        buffer += trackPacket({.time = time, .lat = 1000, .lon = 2000, .speed = 100});
    buffer += trackPacket({.time = t + 30, .notValid = true});
    buffer += trackPacket({.time = t + 30, .lat = 91000000});          // off the globe
    buffer += trackPacket({.time = t + 30, .lon = -180000001});
    buffer += trackPacket({.time = t + 30, .brokenCrc = true});
    buffer += trackPacket({.time = t + 15});                            // the clock went back
    buffer += trackPacket({.time = t + 15 + 600});                      // ten minutes: the same segment
    buffer += trackPacket({.time = t + 15 + 1201});                     // more than ten: a new one
    buffer += trackPacket({.time = t + 15 + 1201, .lat = -90000000, .lon = 180000000}); // the edge is on it
    buffer += QByteArray(50, 'x');                                       // not a whole packet

    const TrackPoints track = trackPoints(buffer);
    EXPECT_EQ(track.packets, 11);
    EXPECT_EQ(track.damaged, 1);
    EXPECT_EQ(track.invalid, 3);
    ASSERT_EQ(track.points.size(), 7u);
    EXPECT_EQ(track.segments, 3);
    const bool starts[] = {true, false, false, true, false, true, false};
    const uint32_t packets[] = {0, 1, 2, 7, 8, 9, 10};
    for (size_t i = 0; i < 7; ++i) {
        EXPECT_EQ(track.points[i].segmentStart, starts[i]) << i;
        EXPECT_EQ(track.points[i].packet, packets[i]) << i;
    }
    EXPECT_EQ(track.points[0].latitude, 1000);
    EXPECT_EQ(track.points[0].speed, 100);
}

TEST(TrackGeometry, StopsLastThreeMinutesStandingUntilTheNextPointThatMoves)
{
    const int32_t t = 1000000;
    // 180 s standing is a stop, 170 s is not; the stop runs until the point that moves again.
    std::vector<TrackPoint> points = {at(t, 100),       at(t + 10, 0),  at(t + 100, 0), at(t + 190, 50),
                                      at(t + 200, 0),   at(t + 370, 30), at(t + 380, 0), at(t + 500, 0, true),
                                      at(t + 700, 0),   at(t + 900, 0, true), at(t + 1000, 0), at(t + 1080, 0)};
    const std::vector<Stop> stops = findStops(points);
    ASSERT_EQ(stops.size(), 3u);
    EXPECT_EQ(stops[0].point, 1);
    EXPECT_EQ(stops[0].start, t + 10);
    EXPECT_EQ(stops[0].seconds, 180);
    // A segment that ends standing ends the stop at its last point (200 s), and one that begins standing
    // starts a new stop; the track that ends standing ends its stop at the last point (180 s).
    EXPECT_EQ(stops[1].point, 7);
    EXPECT_EQ(stops[1].seconds, 200);
    EXPECT_EQ(stops[2].point, 9);
    EXPECT_EQ(stops[2].seconds, 180);
}

TEST(TrackGeometry, HaversineAlongTheEquatorAMeridianAndAcrossTheDateLine)
{
    EXPECT_NEAR(haversineKm(0, 0, 0, 1000000), kKmPerDegree, 1e-9);
    EXPECT_NEAR(haversineKm(-500000, 37000000, 500000, 37000000), kKmPerDegree, 1e-9);
    EXPECT_NEAR(haversineKm(0, 179999500, 0, -179999500), kKmPerDegree / 1000, 1e-9);
    EXPECT_NEAR(haversineKm(90000000, 0, -90000000, 0), 6371.0088 * 3.14159265358979323846, 1e-6);
    EXPECT_EQ(haversineKm(55750000, 37620000, 55750000, 37620000), 0.0);
}

TEST(TrackGeometry, SummaryOfTheSquareLoop)
{
    const QByteArray buffer = rvtest::squareLoop();
    const TrackOverview o = overviewOf(buffer);
    const TrackSummary& s = o.summary;
    EXPECT_EQ(s.points, 42);
    EXPECT_NEAR(s.distanceKm, 4 * kKmPerDegree / 100, 1e-6);
    EXPECT_EQ(s.spanSeconds, 640);
    EXPECT_EQ(s.movingSeconds, 400);
    EXPECT_EQ(s.maxSpeed, 555);
    EXPECT_EQ(s.stops, 1);
    EXPECT_EQ(s.invalid, 1);
    EXPECT_EQ(s.damaged, 0);
    EXPECT_EQ(s.segments, 1);
    ASSERT_EQ(o.stops.size(), 1u);
    EXPECT_EQ(o.stops[0].point, rvtest::SquareLoop::kStopPoint);
    EXPECT_EQ(o.stops[0].seconds, rvtest::SquareLoop::kStopSeconds);
    EXPECT_EQ(summaryText(s), QStringLiteral("Точек: 42 · Расстояние: 4,45 км · Время: 0:10:40 · В движении: 0:06:40 · "
                                             "Макс. скорость: 55,5 км/ч · Стоянок: 1 · Недостоверных пропущено: 1 · "
                                             "Сегментов: 1"));
    // Damaged packets are named only when there are some.
    TrackSummary damaged = s;
    damaged.damaged = 3;
    EXPECT_TRUE(summaryText(damaged).endsWith(QStringLiteral(" · С ошибкой контрольной суммы: 3")));
    EXPECT_EQ(durationText(90061), QStringLiteral("25:01:01"));

    // The map: centred on the square, a side of 1.112 km east and north, in time order.
    EXPECT_EQ(o.projection.centreLatitude(), 5000);
    EXPECT_EQ(o.projection.centreLongitude(), 37605000);
    EXPECT_NEAR(o.boundsKm.width(), kKmPerDegree / 100, 1e-6);
    EXPECT_NEAR(o.boundsKm.height(), kKmPerDegree / 100, 1e-6);
    EXPECT_NEAR(o.km[0].x(), -kKmPerDegree / 200, 1e-6);
    EXPECT_NEAR(o.km[0].y(), -kKmPerDegree / 200, 1e-6);
    for (size_t i = 0; i < o.byTime.size(); ++i)
        EXPECT_EQ(o.byTime[i], i);
}

TEST(TrackGeometry, TheMapKeepsTracksAcrossTheDateLineInOnePieceAndFitsTheWindow)
{
    // East is shrunk by the cosine of the latitude: at 60° N a degree east is half a degree north.
    const LocalProjection p = LocalProjection::at(60000000, 10000000);
    EXPECT_NEAR(p.toKm(60000000, 11000000).x(), kKmPerDegree / 2, 1e-9);
    EXPECT_NEAR(p.toKm(61000000, 10000000).y(), kKmPerDegree, 1e-9);

    std::vector<TrackPoint> across(2);
    across[0].longitude = 179990000;
    across[1].longitude = -179990000;
    const LocalProjection d = LocalProjection::around(across);
    EXPECT_EQ(std::abs(d.centreLongitude()), 180000000);
    EXPECT_NEAR(d.toKm(0, -179990000).x() - d.toKm(0, 179990000).x(), 0.02 * kKmPerDegree, 1e-9);

    // 2 km by 1 km into 420 x 180 pixels with 10 px all round: 160 px a km, the height decides.
    const MapFit f = fitTo(QRectF(-1, -0.5, 2, 1), QSizeF(420, 180), 10);
    EXPECT_DOUBLE_EQ(f.pxPerKm, 160);
    EXPECT_EQ(f.centreKm, QPointF(0, 0));
    // A track standing in one place is shown 100 m across.
    EXPECT_DOUBLE_EQ(fitTo(QRectF(5, 5, 0, 0), QSizeF(120, 120), 10).pxPerKm, 1000);

    EXPECT_DOUBLE_EQ(scaleBarKm(100, 250), 2);
    EXPECT_DOUBLE_EQ(scaleBarKm(100, 500), 5);
    EXPECT_DOUBLE_EQ(scaleBarKm(100, 100), 1);
    EXPECT_NEAR(scaleBarKm(1000, 90), 0.05, 1e-12);
    EXPECT_EQ(scaleBarText(2), QStringLiteral("2 км"));
    EXPECT_EQ(scaleBarText(0.05), QStringLiteral("0,05 км"));
}
