#pragma once

// The track's speed, altitude and satellites for the chart view, one sample per point in time order.

#include "core/track/track_geometry.h"
#include "ui/monitor/chart_view.h"

namespace rv {

class TrackChartSource : public ChartSource {
public:
    enum Series { Speed, Altitude, Satellites, SeriesCount };

    explicit TrackChartSource(const track::TrackOverview& track) : m_t(track) {}

    int seriesCount() const override { return SeriesCount; }
    QString caption(int series) const override;
    int pane(int series) const override { return series; }
    QString paneCaption(int pane) const override;
    qsizetype size() const override { return qsizetype(m_t.byTime.size()); }
    int64_t msecs(qsizetype i) const override { return int64_t(point(i).time) * 1000; }
    double value(qsizetype i, int series) const override;
    QString text(qsizetype i, int series) const override;
    QString timeText(qsizetype i) const override;
    bool breakBefore(qsizetype i) const override;

    // The point a sample shows, and the sample of a point.
    qsizetype pointOfSample(qsizetype i) const { return m_t.byTime[size_t(i)]; }
    qsizetype sampleOfPoint(qsizetype point) const;

private:
    const track::TrackPoint& point(qsizetype i) const { return m_t.track.points[m_t.byTime[size_t(i)]]; }

    const track::TrackOverview& m_t;
};

} // namespace rv
