#include "ui/track/track_chart_source.h"

#include <QDateTime>

#include <algorithm>
#include <cmath>

namespace rv {

QString TrackChartSource::caption(int series) const
{
    switch (series) {
    case Speed: return QStringLiteral("Скорость, км/ч");
    case Altitude: return QStringLiteral("Высота, м");
    default: break;
    }
    return QStringLiteral("Спутников");
}

QString TrackChartSource::paneCaption(int pane) const
{
    return caption(pane);
}

double TrackChartSource::value(qsizetype i, int series) const
{
    const track::TrackPoint& p = point(i);
    switch (series) {
    case Speed: return p.speed / 10.0;
    case Altitude: return p.altitude == 0xFFFF ? NAN : double(p.altitude);
    default: break;
    }
    return p.satellites;
}

QString TrackChartSource::text(qsizetype i, int series) const
{
    const track::TrackPoint& p = point(i);
    switch (series) {
    case Speed: return QStringLiteral("%1,%2").arg(p.speed / 10).arg(p.speed % 10);
    case Altitude: return p.altitude == 0xFFFF ? QString() : QString::number(p.altitude);
    default: break;
    }
    return QString::number(p.satellites);
}

QString TrackChartSource::timeText(qsizetype i) const
{
    return QDateTime::fromSecsSinceEpoch(point(i).time).toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
}

bool TrackChartSource::breakBefore(qsizetype i) const
{
    // Neighbours in time that are not neighbours on the path, or a new segment.
    return i > 0 && (m_t.byTime[size_t(i)] != m_t.byTime[size_t(i - 1)] + 1 || point(i).segmentStart);
}

qsizetype TrackChartSource::sampleOfPoint(qsizetype p) const
{
    if (p < 0 || p >= size())
        return -1;
    // In time order already (the usual case): the sample is the point.
    if (m_t.byTime[size_t(p)] == uint32_t(p))
        return p;
    const auto at = std::find(m_t.byTime.begin(), m_t.byTime.end(), uint32_t(p));
    return at == m_t.byTime.end() ? -1 : qsizetype(at - m_t.byTime.begin());
}

} // namespace rv
