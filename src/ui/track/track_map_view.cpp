#include "ui/track/track_map_view.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <unordered_set>

namespace rv {

namespace {

constexpr double kMargin = 30;
constexpr double kPickPx = 10;        // a click this close to a point picks it
constexpr double kDragPx = 4;         // a press that moves less is a click
constexpr int kSpeedBins = 32;        // the path's colours
constexpr size_t kThickLinesUpTo = 20000;
constexpr double kMinPxPerKm = 1e-3, kMaxPxPerKm = 1e5; // the earth in 40 px .. a metre in 100 px

const QColor kStartColor(0, 170, 60), kEndColor(210, 30, 30), kStopColor(255, 150, 0);
const QColor kGround(246, 244, 238);

// The top of the speed scale: the maximum speed rounded up to ten km/h.
double speedTop(uint16_t maxSpeedTenths)
{
    return std::max(10.0, std::ceil(maxSpeedTenths / 100.0) * 10.0);
}

// The part of `line` inside `r` (Liang-Barsky); false when none is. Lines far out of view never reach the
// painter, whose raster engine works in fixed point.
bool clipTo(QLineF& line, const QRectF& r)
{
    const double x0 = line.x1(), y0 = line.y1(), dx = line.dx(), dy = line.dy();
    double t0 = 0, t1 = 1;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {x0 - r.left(), r.right() - x0, y0 - r.top(), r.bottom() - y0};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0)
                return false;
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        if (t0 > t1)
            return false;
    }
    line = QLineF(x0 + t0 * dx, y0 + t0 * dy, x0 + t1 * dx, y0 + t1 * dy);
    return true;
}

void drawStart(QPainter& p, QPointF at)
{
    p.setPen(QPen(Qt::black, 1.5));
    p.setBrush(kStartColor);
    p.drawEllipse(at, 7, 7);
}

void drawEnd(QPainter& p, QPointF at)
{
    p.setPen(QPen(Qt::black, 1.5));
    p.setBrush(kEndColor);
    p.drawRect(QRectF(at.x() - 6, at.y() - 6, 12, 12));
}

// A ring, so a stop at the start or the end (the depot) shows round their marks.
void drawStop(QPainter& p, QPointF at)
{
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::black, 5));
    p.drawEllipse(at, 10, 10);
    p.setPen(QPen(kStopColor, 3));
    p.drawEllipse(at, 10, 10);
}

} // namespace

TrackMapView::TrackMapView(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("TrackMap"));
    setMinimumSize(300, 200);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setToolTip(QStringLiteral("Колесо — масштаб, перетаскивание — сдвиг, щелчок по пути — точка на графике, "
                              "двойной щелчок — весь трек"));
}

QColor TrackMapView::speedColor(double kmh, double top)
{
    const double f = std::clamp(top > 0 ? kmh / top : 0.0, 0.0, 1.0);
    return QColor::fromHsvF(float((1 - f) * 240.0 / 360.0), 0.9f, 0.85f);
}

void TrackMapView::setTrack(const track::TrackOverview* t)
{
    m_track = t;
    m_path = QImage(); // the same overview may hold another track now
    m_marker.reset();
    m_speedTop = t ? speedTop(t->summary.maxSpeed) : 10;
    fit();
}

void TrackMapView::fit()
{
    m_fitted = true;
    if (m_track && !m_track->km.empty()) {
        const track::MapFit f = track::fitTo(m_track->boundsKm, QSizeF(size()), kMargin);
        m_pxPerKm = f.pxPerKm;
        m_centreKm = f.centreKm;
    }
    update();
}

void TrackMapView::zoomBy(double factor, QPointF at)
{
    const QPointF c(width() / 2.0, height() / 2.0);
    const QPointF kmAt(m_centreKm.x() + (at.x() - c.x()) / m_pxPerKm, m_centreKm.y() - (at.y() - c.y()) / m_pxPerKm);
    m_pxPerKm = std::clamp(m_pxPerKm * factor, kMinPxPerKm, kMaxPxPerKm);
    m_centreKm = QPointF(kmAt.x() - (at.x() - c.x()) / m_pxPerKm, kmAt.y() + (at.y() - c.y()) / m_pxPerKm);
    m_fitted = false;
    update();
}

QPointF TrackMapView::toPixel(QPointF km) const
{
    return QPointF(width() / 2.0 + (km.x() - m_centreKm.x()) * m_pxPerKm,
                   height() / 2.0 - (km.y() - m_centreKm.y()) * m_pxPerKm);
}

QPointF TrackMapView::pixelOf(qsizetype point) const
{
    if (!m_track || point < 0 || point >= qsizetype(m_track->km.size()))
        return {};
    return toPixel(m_track->km[size_t(point)]);
}

std::optional<qsizetype> TrackMapView::pointAt(QPointF at) const
{
    if (!m_track)
        return std::nullopt;
    // Of points drawn on the same spot (a stop) the first is taken.
    std::optional<qsizetype> best;
    double bestD = kPickPx * kPickPx * (1 + 1e-9);
    for (size_t i = 0; i < m_track->km.size(); ++i) {
        const QPointF d = toPixel(m_track->km[i]) - at;
        const double dd = d.x() * d.x() + d.y() * d.y();
        if (dd < bestD) {
            bestD = dd;
            best = qsizetype(i);
        }
    }
    return best;
}

void TrackMapView::setMarker(qsizetype point)
{
    if (!m_track || point < 0 || point >= qsizetype(m_track->km.size()))
        m_marker.reset();
    else
        m_marker = point;
    update();
}

void TrackMapView::paintEvent(QPaintEvent*)
{
    ++m_paints;
    QPainter p(this);
    if (!m_track || m_track->km.empty()) {
        p.fillRect(rect(), kGround);
        p.setPen(palette().color(QPalette::Text));
        p.drawText(rect(), Qt::AlignCenter, QStringLiteral("Нет точек с достоверными координатами"));
        return;
    }
    // The path is drawn once per view; the marks over it (the cursor's above all) are drawn every time.
    const qreal dpr = devicePixelRatioF();
    const PathKey key{m_track, m_pxPerKm, m_centreKm, size(), dpr};
    if (!(key == m_pathKey) || m_path.isNull()) {
        m_path = QImage(size() * dpr, QImage::Format_RGB32);
        m_path.setDevicePixelRatio(dpr);
        m_path.fill(kGround);
        QPainter ip(&m_path);
        ip.setRenderHint(QPainter::Antialiasing);
        drawPath(ip);
        m_pathKey = key;
        ++m_pathDraws;
    }
    p.drawImage(0, 0, m_path);
    p.setRenderHint(QPainter::Antialiasing);
    drawMarkers(p);
    drawLegend(p);
    drawScaleBar(p);
}

void TrackMapView::drawPath(QPainter& p) const
{
    // A line from each point to the next, in the colour of the speed it left the point at. Lines are gathered
    // by colour and drawn a colour at a time; a point less than a pixel from the last one drawn is passed over,
    // and a line drawn already between the same two pixels in the same colour (a road driven again) is not
    // drawn twice, so a long track costs about what the window can show.
    const std::vector<track::TrackPoint>& points = m_track->track.points;
    std::vector<QLineF> lines[kSpeedBins];
    std::unordered_set<uint64_t> drawn[kSpeedBins];
    const QRectF view = QRectF(rect()).adjusted(-20, -20, 20, 20);
    constexpr int64_t kKeyRange = 30000; // pixel coordinates that fit the duplicate key
    QPointF anchor;
    int anchorBin = -1;
    for (size_t i = 0; i < points.size(); ++i) {
        const QPointF at = toPixel(m_track->km[i]);
        if (i == 0 || points[i].segmentStart) {
            anchor = at;
            anchorBin = -1;
            continue;
        }
        const int bin = std::min(kSpeedBins - 1, int(points[i - 1].speed / 10.0 / m_speedTop * kSpeedBins));
        const int64_t ax = std::llround(anchor.x()), ay = std::llround(anchor.y());
        const int64_t bx = std::llround(at.x()), by = std::llround(at.y());
        if (ax == bx && ay == by && bin == anchorBin)
            continue;
        QLineF line(anchor, at);
        anchor = at;
        anchorBin = bin;
        if (!clipTo(line, view))
            continue;
        if (std::abs(ax) < kKeyRange && std::abs(ay) < kKeyRange && std::abs(bx) < kKeyRange && std::abs(by) < kKeyRange) {
            auto word = [](int64_t v) { return uint64_t(uint16_t(int16_t(v))); };
            // Either way along the road is the same line.
            uint64_t k1 = word(ax) << 16 | word(ay), k2 = word(bx) << 16 | word(by);
            if (k1 > k2)
                std::swap(k1, k2);
            if (!drawn[bin].insert(k1 << 32 | k2).second)
                continue;
        }
        lines[bin].push_back(line);
    }
    // Where the lines are many they lie close together anyway: a hairline draws them three times as fast.
    size_t count = 0;
    for (const auto& l : lines)
        count += l.size();
    QPen pen(Qt::black, count > kThickLinesUpTo ? 0.0 : 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    for (int b = 0; b < kSpeedBins; ++b) {
        if (lines[b].empty())
            continue;
        pen.setColor(speedColor((b + 0.5) * m_speedTop / kSpeedBins, m_speedTop));
        p.setPen(pen);
        p.drawLines(lines[b].data(), int(lines[b].size()));
    }
}

void TrackMapView::drawMarkers(QPainter& p) const
{
    // A stop made at the same place day after day is one mark.
    std::unordered_set<uint64_t> marked;
    const QRectF view = QRectF(rect()).adjusted(-12, -12, 12, 12);
    for (const track::Stop& s : m_track->stops) {
        const QPointF at = pixelOf(s.point);
        if (!view.contains(at))
            continue;
        const uint64_t key = uint64_t(uint32_t(std::lround(at.x()))) << 32 | uint32_t(std::lround(at.y()));
        if (marked.insert(key).second)
            drawStop(p, at);
    }
    if (const QPointF at = pixelOf(0); view.contains(at))
        drawStart(p, at);
    if (const QPointF at = pixelOf(qsizetype(m_track->km.size()) - 1); view.contains(at))
        drawEnd(p, at);
    if (m_marker && view.contains(pixelOf(*m_marker))) {
        const QPointF at = pixelOf(*m_marker);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(Qt::white, 4));
        p.drawEllipse(at, 9, 9);
        p.setPen(QPen(Qt::black, 2));
        p.drawEllipse(at, 9, 9);
        p.drawLine(at + QPointF(-14, 0), at + QPointF(-5, 0));
        p.drawLine(at + QPointF(5, 0), at + QPointF(14, 0));
        p.drawLine(at + QPointF(0, -14), at + QPointF(0, -5));
        p.drawLine(at + QPointF(0, 5), at + QPointF(0, 14));
    }
}

void TrackMapView::drawLegend(QPainter& p) const
{
    const QFontMetrics fm = fontMetrics();
    const QString keys[] = {QStringLiteral("начало"), QStringLiteral("стоянка"), QStringLiteral("конец")};
    void (*const marks[])(QPainter&, QPointF) = {drawStart, drawStop, drawEnd};
    double keysWidth = 0;
    for (const QString& k : keys)
        keysWidth += 12 + 16 + fm.horizontalAdvance(k) + 16;
    const int pad = 8, barH = 10, line = fm.height();
    const double barW = std::max(150.0, keysWidth - 16);
    const QRectF box(width() - barW - 2 * pad - 10, 10, barW + 2 * pad, pad + line + barH + line + 8 + line + pad + 4);
    p.setPen(QPen(QColor(0, 0, 0, 60), 1));
    p.setBrush(QColor(255, 255, 255, 220));
    p.drawRoundedRect(box, 4, 4);

    p.setPen(Qt::black);
    const double x0 = box.left() + pad;
    double y = box.top() + pad;
    p.drawText(QRectF(x0, y, barW, line), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Скорость, км/ч"));
    y += line;
    QLinearGradient g(x0, 0, x0 + barW, 0);
    for (int i = 0; i <= 8; ++i)
        g.setColorAt(i / 8.0, speedColor(m_speedTop * i / 8.0, m_speedTop));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRect(QRectF(x0, y, barW, barH));
    y += barH;
    p.setPen(Qt::black);
    p.drawText(QRectF(x0, y, barW, line), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("0"));
    p.drawText(QRectF(x0, y, barW, line), Qt::AlignHCenter | Qt::AlignVCenter, QString::number(m_speedTop / 2));
    p.drawText(QRectF(x0, y, barW, line), Qt::AlignRight | Qt::AlignVCenter, QString::number(m_speedTop));
    y += line + 8;
    // What the marks mean.
    double x = x0 + 12;
    for (int i = 0; i < 3; ++i) {
        marks[i](p, QPointF(x, y + line / 2.0 + 2));
        p.setPen(Qt::black);
        const double w = fm.horizontalAdvance(keys[i]);
        p.drawText(QRectF(x + 16, y + 2, w + 2, line), Qt::AlignLeft | Qt::AlignVCenter, keys[i]);
        x += 16 + w + 16 + 12;
    }
}

void TrackMapView::drawScaleBar(QPainter& p) const
{
    const double km = track::scaleBarKm(m_pxPerKm, width() / 4.0);
    const double len = km * m_pxPerKm;
    const QPointF a(14, height() - 14), b(14 + len, height() - 14);
    p.setPen(QPen(Qt::white, 5, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(a, b);
    p.setPen(QPen(Qt::black, 2, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(a, b);
    p.drawLine(a, a - QPointF(0, 6));
    p.drawLine(b, b - QPointF(0, 6));
    p.drawText(QRectF(a.x(), a.y() - 8 - fontMetrics().height(), std::max(len, 80.0), fontMetrics().height()),
               Qt::AlignLeft | Qt::AlignBottom, track::scaleBarText(km));
}

void TrackMapView::resizeEvent(QResizeEvent*)
{
    if (m_fitted)
        fit();
}

void TrackMapView::mousePressEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton)
        return;
    m_pressAt = m_dragFrom = e->position();
}

void TrackMapView::mouseMoveEvent(QMouseEvent* e)
{
    if (!m_dragFrom || !(e->buttons() & Qt::LeftButton))
        return;
    const QPointF d = e->position() - *m_dragFrom;
    if (m_pressAt && (e->position() - *m_pressAt).manhattanLength() < kDragPx)
        return; // not yet a drag
    m_pressAt.reset();
    m_dragFrom = e->position();
    m_centreKm -= QPointF(d.x() / m_pxPerKm, -d.y() / m_pxPerKm);
    m_fitted = false;
    update();
}

void TrackMapView::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton)
        return;
    const bool click = m_pressAt.has_value();
    m_pressAt.reset();
    m_dragFrom.reset();
    if (!click)
        return;
    if (const auto point = pointAt(e->position())) {
        setMarker(*point);
        emit pointClicked(*point);
    }
}

void TrackMapView::mouseDoubleClickEvent(QMouseEvent*)
{
    fit();
}

void TrackMapView::wheelEvent(QWheelEvent* e)
{
    if (e->angleDelta().y() != 0)
        zoomBy(e->angleDelta().y() > 0 ? 1.25 : 0.8, e->position());
}

void TrackMapView::keyPressEvent(QKeyEvent* e)
{
    const QPointF centre(width() / 2.0, height() / 2.0);
    const double step = std::min(width(), height()) / 8.0 / m_pxPerKm;
    switch (e->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal: zoomBy(1.25, centre); return;
    case Qt::Key_Minus: zoomBy(0.8, centre); return;
    case Qt::Key_Home: fit(); return;
    case Qt::Key_Left: m_centreKm.rx() -= step; break;
    case Qt::Key_Right: m_centreKm.rx() += step; break;
    case Qt::Key_Up: m_centreKm.ry() += step; break;
    case Qt::Key_Down: m_centreKm.ry() -= step; break;
    default: QWidget::keyPressEvent(e); return;
    }
    m_fitted = false;
    update();
}

} // namespace rv
