#pragma once

// The track drawn flat: a local equirectangular map fitted to the widget (no tiles, nothing fetched), the
// path coloured by speed with a legend, the start, the end and the stops marked, a scale bar in km, and a
// marker on the point the chart's cursor is at.
//
// Mouse: the wheel zooms around the pointer, a drag moves the map, a click on the path picks the nearest
// point, a double click fits the track again. Keys: + and - zoom, the arrows move, Home fits.

#include "core/track/track_geometry.h"

#include <QImage>
#include <QWidget>

#include <optional>

namespace rv {

class TrackMapView : public QWidget {
    Q_OBJECT
public:
    explicit TrackMapView(QWidget* parent = nullptr);

    // The track to draw (kept by the caller while shown); the view fits it.
    void setTrack(const track::TrackOverview* track);
    void fit();
    bool fitted() const { return m_fitted; }
    double pxPerKm() const { return m_pxPerKm; }
    // Zooms by `factor` keeping the map point under `at` where it is.
    void zoomBy(double factor, QPointF at);

    // The marked point (an index into the track's points).
    std::optional<qsizetype> marker() const { return m_marker; }
    void setMarker(qsizetype point);
    // Where a point is drawn, and the point drawn nearest to `at` within a few pixels.
    QPointF pixelOf(qsizetype point) const;
    std::optional<qsizetype> pointAt(QPointF at) const;
    // The top speed of the colour scale, km/h.
    double speedScaleTop() const { return m_speedTop; }
    int paints() const { return m_paints; }
    // How often the path itself was drawn: once per view (a move of the marker draws only the marks).
    int pathDraws() const { return m_pathDraws; }

    // The colour of a speed on a scale from 0 to `top` km/h: blue when standing, through green and yellow, to red.
    static QColor speedColor(double kmh, double top);

signals:
    // The user clicked on the path at this point.
    void pointClicked(qsizetype point);

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    QPointF toPixel(QPointF km) const;
    void drawPath(QPainter& p) const;
    void drawMarkers(QPainter& p) const;
    void drawLegend(QPainter& p) const;
    void drawScaleBar(QPainter& p) const;

    const track::TrackOverview* m_track = nullptr;
    double m_pxPerKm = 1;
    QPointF m_centreKm;
    bool m_fitted = true;  // follows the widget's size until the user zooms or moves
    double m_speedTop = 10;
    std::optional<qsizetype> m_marker;
    std::optional<QPointF> m_pressAt;
    std::optional<QPointF> m_dragFrom;
    int m_paints = 0;
    int m_pathDraws = 0;

    // The path as last drawn, and the view it was drawn for.
    struct PathKey
    {
        const track::TrackOverview* track = nullptr;
        double pxPerKm = 0;
        QPointF centreKm;
        QSize size;
        qreal dpr = 0;
        bool operator==(const PathKey&) const = default;
    };
    QImage m_path;
    PathKey m_pathKey;
};

} // namespace rv
