#include "ui/monitor/chart_view.h"

#include "core/monitor/monitor_text.h"

#include <QDateTime>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

namespace rv {

namespace {

using namespace chart;

constexpr int kLeft = 64, kRight = 10, kTop = 4, kBottom = 20, kPaneGap = 6;
constexpr int64_t kMinZoomMs = 2000;
constexpr double kStateStride = 1.5; // states are stacked like a logic analyser's traces

const QColor kPalette[] = {QColor(0, 90, 200), QColor(210, 40, 40), QColor(0, 140, 60), QColor(230, 130, 0),
                           QColor(130, 60, 180), QColor(0, 160, 170), QColor(170, 110, 60), QColor(220, 60, 160),
                           QColor(90, 90, 90), QColor(150, 170, 0)};

QString stateLabel(int series)
{
    return series >= InState1 && series <= InState8 ? QStringLiteral("Вх %1").arg(series - InState1 + 1)
                                                    : QStringLiteral("Вых %1").arg(series - Output1 + 1);
}

// The monitor history as a chart source: a pane per kind of value.
class HistorySource : public ChartSource {
public:
    explicit HistorySource(const History& h) : m_h(h) {}
    int seriesCount() const override { return SeriesCount; }
    QString caption(int series) const override { return info(series).caption; }
    int pane(int series) const override { return int(info(series).kind); }
    QString paneCaption(int pane) const override { return kindCaption(Kind(pane)); }
    bool statePane(int pane) const override { return Kind(pane) == Kind::State; }
    QString traceLabel(int series) const override { return stateLabel(series); }
    qsizetype size() const override { return m_h.size(); }
    int64_t msecs(qsizetype i) const override { return m_h.at(i).msecs; }
    double value(qsizetype i, int series) const override { return m_h.at(i).value(series); }
    QString text(qsizetype i, int series) const override { return m_h.at(i).text(series); }
    qsizetype lowerBound(int64_t msecs) const override { return m_h.lowerBound(msecs); }

private:
    const History& m_h;
};

std::vector<int> panesShown(const ChartSource& source, const ChartView::Shown& shown)
{
    std::vector<int> panes;
    for (int s = 0; s < source.seriesCount() && s < ChartView::kMaxSeries; ++s)
        if (shown[size_t(s)] && std::find(panes.begin(), panes.end(), source.pane(s)) == panes.end())
            panes.push_back(source.pane(s));
    std::sort(panes.begin(), panes.end());
    return panes;
}

QColor paletteColor(const ChartSource& source, int series)
{
    // Series of one pane get different colours: the index within the pane picks it.
    int n = 0;
    for (int s = 0; s < series; ++s)
        n += source.pane(s) == source.pane(series);
    return kPalette[n % int(std::size(kPalette))];
}

// A grid step of 1, 2 or 5 times a power of ten giving about `lines` lines over `extent`.
double niceStep(double extent, int lines)
{
    const double raw = extent / std::max(1, lines);
    const double p = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0})
        if (m * p >= raw)
            return m * p;
    return 10 * p;
}

int64_t timeStep(int64_t extentMs, int width)
{
    static const int64_t steps[] = {1000,    2000,    5000,     10000,    15000,    30000,   60000,
                                    120000,  300000,  600000,   900000,   1800000,  3600000, 7200000,
                                    10800000, 21600000, 43200000, 86400000};
    const int64_t wanted = extentMs * 90 / std::max(1, width); // a label every 90 px or more
    for (int64_t s : steps)
        if (s >= wanted)
            return s;
    return steps[std::size(steps) - 1];
}

QString clockText(int64_t msecs, bool millis)
{
    return QDateTime::fromMSecsSinceEpoch(msecs).toString(millis ? QStringLiteral("HH:mm:ss.zzz")
                                                                 : QStringLiteral("HH:mm:ss"));
}

// A tick's label: the clock time, and the date where the ticks are hours apart over more than a day.
QString tickText(int64_t msecs, int64_t tick, int64_t extent)
{
    if (tick >= 3600000 && extent > 86400000)
        return QDateTime::fromMSecsSinceEpoch(msecs).toString(QStringLiteral("dd.MM HH:mm"));
    return clockText(msecs, false);
}

} // namespace

QString ChartSource::timeText(qsizetype i) const
{
    return clockText(msecs(i), true);
}

qsizetype ChartSource::lowerBound(int64_t t) const
{
    qsizetype lo = 0, hi = size();
    while (lo < hi) {
        const qsizetype mid = lo + (hi - lo) / 2;
        if (msecs(mid) < t)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

ChartView::ChartView(const History& history, QWidget* parent)
    : QWidget(parent), m_own(std::make_unique<HistorySource>(history)), m_source(*m_own)
{
    init();
}

ChartView::ChartView(const ChartSource& source, QWidget* parent) : QWidget(parent), m_source(source)
{
    init();
}

void ChartView::init()
{
    setObjectName(QStringLiteral("ChartView"));
    setMouseTracking(true);
    setMinimumSize(400, 240);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

ChartView::~ChartView() = default;

QColor ChartView::color(int series)
{
    static const History none;
    return paletteColor(HistorySource(none), series);
}

QColor ChartView::seriesColor(int series) const
{
    return paletteColor(m_source, series);
}

void ChartView::setShown(const Shown& shown)
{
    m_shown = shown;
    update();
}

void ChartView::setSpan(int64_t msecs)
{
    m_span = std::max<int64_t>(msecs, kMinZoomMs);
    m_zoom.reset();
    update();
}

void ChartView::setPaused(bool paused)
{
    if (paused && !m_pausedAt)
        m_pausedAt = range().second;
    else if (!paused)
        m_pausedAt.reset();
    update();
}

void ChartView::resetZoom()
{
    m_zoom.reset();
    update();
}

void ChartView::historyChanged()
{
    if (!m_pausedAt && !m_zoom && isVisible())
        update();
}

std::pair<int64_t, int64_t> ChartView::range() const
{
    if (m_zoom)
        return *m_zoom;
    int64_t end = m_pausedAt ? *m_pausedAt : m_source.empty() ? QDateTime::currentMSecsSinceEpoch()
                                                                : m_source.msecs(m_source.size() - 1);
    return {end - m_span, end};
}

QRect ChartView::plotRect() const
{
    return QRect(kLeft, kTop, std::max(1, width() - kLeft - kRight), std::max(1, height() - kTop - kBottom));
}

int64_t ChartView::timeAt(double x) const
{
    const auto [t0, t1] = range();
    const QRect r = plotRect();
    return t0 + int64_t(std::llround((x - r.left()) * double(t1 - t0) / r.width()));
}

void ChartView::zoomTo(int64_t from, int64_t to)
{
    if (to < from)
        std::swap(from, to);
    if (to - from < kMinZoomMs) {
        const int64_t mid = from + (to - from) / 2;
        from = mid - kMinZoomMs / 2;
        to = from + kMinZoomMs;
    }
    m_zoom = {from, to};
    update();
}

std::optional<qsizetype> ChartView::sampleAt(int x) const
{
    const QRect r = plotRect();
    if (m_source.empty() || x < r.left() || x > r.right())
        return std::nullopt;
    const int64_t t = timeAt(x);
    qsizetype i = m_source.lowerBound(t);
    if (i == m_source.size() || (i > 0 && t - m_source.msecs(i - 1) < m_source.msecs(i) - t))
        --i;
    const auto [t0, t1] = range();
    if (m_source.msecs(i) < t0 || m_source.msecs(i) > t1)
        return std::nullopt; // nothing held at this stretch of the plot
    return i;
}

QString ChartView::sampleText(qsizetype i) const
{
    QString text = m_source.timeText(i);
    for (int series = 0; series < m_source.seriesCount() && series < kMaxSeries; ++series) {
        if (!m_shown[size_t(series)])
            continue;
        const QString v = m_source.text(i, series);
        text += QStringLiteral("   ") + m_source.caption(series) + QStringLiteral(": ") +
                (v.isEmpty() ? QStringLiteral("—") : v);
    }
    return text;
}

QString ChartView::cursorText(int x) const
{
    const QRect r = plotRect();
    if (m_source.empty() || x < r.left() || x > r.right())
        return {};
    if (const auto i = sampleAt(x))
        return sampleText(*i);
    return clockText(timeAt(x), false);
}

double ChartView::xOfSample(qsizetype i) const
{
    const auto [t0, t1] = range();
    const QRect r = plotRect();
    return r.left() + double(m_source.msecs(i) - t0) * r.width() / double(std::max<int64_t>(1, t1 - t0));
}

void ChartView::setCursorSample(qsizetype i)
{
    if (i < 0 || i >= m_source.size()) {
        m_cursorSample.reset();
        m_cursorX.reset();
        update();
        return;
    }
    const auto [t0, t1] = range();
    const int64_t t = m_source.msecs(i);
    if (t < t0 || t > t1)
        zoomTo(t - (t1 - t0) / 2, t + (t1 - t0) / 2); // the same width of time, around the sample
    m_cursorSample = i;
    m_cursorX = int(std::lround(xOfSample(i)));
    emit cursorMoved(sampleText(i));
    emit cursorSampleChanged(i);
    update();
}

void ChartView::setStickyCursor(bool on)
{
    m_sticky = on;
    setFocusPolicy(on ? Qt::StrongFocus : Qt::NoFocus);
}

void ChartView::moveCursorTo(int x)
{
    m_cursorX = x;
    const std::optional<qsizetype> before = m_cursorSample;
    m_cursorSample = sampleAt(x);
    emit cursorMoved(cursorText(x));
    if (m_cursorSample != before)
        emit cursorSampleChanged(m_cursorSample.value_or(-1));
    update();
}

void ChartView::paintEvent(QPaintEvent*)
{
    ++m_paints;
    QPainter p(this);
    p.fillRect(rect(), palette().base());
    const QRect plot = plotRect();
    const auto [t0, t1] = range();
    const double xScale = double(plot.width()) / double(std::max<int64_t>(1, t1 - t0));
    auto xOf = [&](int64_t t) { return plot.left() + double(t - t0) * xScale; };

    // One sample either side of the range, so lines run to the edges.
    const qsizetype first = std::max<qsizetype>(0, m_source.lowerBound(t0) - 1);
    const qsizetype last = std::min(m_source.size(), m_source.lowerBound(t1 + 1) + 1);

    const std::vector<int> shownPanes = panesShown(m_source, m_shown);
    const QColor grid = palette().color(QPalette::Mid);
    const QColor text = palette().color(QPalette::Text);
    p.setPen(text);
    if (shownPanes.empty())
        p.drawText(plot, Qt::AlignCenter, QStringLiteral("Отметьте величины слева"));

    const int panes = int(shownPanes.size());
    const double paneHeight = panes ? (plot.height() - kPaneGap * (panes - 1)) / double(panes) : 0;
    for (int k = 0; k < panes; ++k) {
        const int kind = shownPanes[size_t(k)];
        const bool states = m_source.statePane(kind);
        const QRectF pane(plot.left(), plot.top() + k * (paneHeight + kPaneGap), plot.width(), paneHeight);
        std::vector<int> series;
        for (int s = 0; s < m_source.seriesCount() && s < kMaxSeries; ++s)
            if (m_shown[size_t(s)] && m_source.pane(s) == kind)
                series.push_back(s);

        double lo = 0, hi = 1;
        if (states) {
            lo = -0.3;
            hi = kStateStride * double(series.size()) - 0.2;
        } else {
            lo = INFINITY;
            hi = -INFINITY;
            for (int s : series)
                for (qsizetype i = first; i < last; ++i)
                    if (const double v = m_source.value(i, s); !std::isnan(v)) {
                        lo = std::min(lo, v);
                        hi = std::max(hi, v);
                    }
            if (!(lo <= hi)) {
                lo = 0;
                hi = 1;
            }
            const double pad = hi > lo ? (hi - lo) * 0.08 : std::max(1.0, std::abs(hi) * 0.1);
            lo -= pad;
            hi += pad;
        }
        auto yOf = [&](double v) { return pane.bottom() - (v - lo) * pane.height() / (hi - lo); };

        p.setPen(grid);
        p.drawRect(pane);
        p.setPen(text);
        if (states) {
            for (size_t j = 0; j < series.size(); ++j)
                p.drawText(QRectF(0, yOf(kStateStride * j + 0.5) - 8, kLeft - 4, 16), Qt::AlignRight | Qt::AlignVCenter,
                           m_source.traceLabel(series[j]));
        } else {
            const double step = niceStep(hi - lo, std::max(3, int(pane.height() / 30)));
            for (double v = std::ceil(lo / step) * step; v <= hi; v += step) {
                const double y = yOf(v);
                p.setPen(grid);
                p.drawLine(QPointF(pane.left(), y), QPointF(pane.right(), y));
                p.setPen(text);
                p.drawText(QRectF(0, y - 8, kLeft - 4, 16), Qt::AlignRight | Qt::AlignVCenter,
                           generalText(std::abs(v) < step / 1e6 ? 0.0 : v, 4));
            }
        }

        p.save();
        p.setClipRect(pane);
        QPolygonF line;
        for (size_t j = 0; j < series.size(); ++j) {
            const int s = series[j];
            const bool step = states;
            const double base = step ? kStateStride * double(j) : 0;
            // A thin cosmetic pen keeps the raster engine on its fast path (a wider one strokes outlines).
            QPen pen(seriesColor(s), 1);
            pen.setCosmetic(true);
            p.setPen(pen);
            line.clear();
            // Per pixel column: the first, lowest, highest and last value, so no spike is lost.
            int col = INT_MIN;
            double cFirst = 0, cMin = 0, cMax = 0, cLast = 0, prevLast = NAN;
            auto flushColumn = [&] {
                if (col == INT_MIN)
                    return;
                if (step && !std::isnan(prevLast))
                    line << QPointF(col, yOf(base + prevLast));
                line << QPointF(col, yOf(base + cFirst));
                if (cMin != cFirst && cMin != cLast)
                    line << QPointF(col, yOf(base + cMin));
                if (cMax != cFirst && cMax != cLast)
                    line << QPointF(col, yOf(base + cMax));
                if (cLast != cFirst)
                    line << QPointF(col, yOf(base + cLast));
                prevLast = cLast;
                col = INT_MIN;
            };
            auto flushLine = [&] {
                flushColumn();
                if (line.size() == 1)
                    p.drawPoint(line.front());
                else if (line.size() > 1)
                    p.drawPolyline(line);
                line.clear();
                prevLast = NAN;
            };
            for (qsizetype i = first; i < last; ++i) {
                const double v = m_source.value(i, s);
                if (std::isnan(v)) {
                    flushLine();
                    continue;
                }
                if (m_source.breakBefore(i))
                    flushLine();
                const int c = int(std::floor(xOf(m_source.msecs(i))));
                if (c != col) {
                    flushColumn();
                    col = c;
                    cFirst = cMin = cMax = cLast = v;
                } else {
                    cMin = std::min(cMin, v);
                    cMax = std::max(cMax, v);
                    cLast = v;
                }
            }
            flushLine();
        }
        p.restore();
        // The pane's name over the lines, on the background.
        p.setPen(text);
        const QString caption = m_source.paneCaption(kind);
        const QRectF captionRect = p.boundingRect(pane.adjusted(6, 2, -6, 0), Qt::AlignLeft | Qt::AlignTop, caption);
        p.fillRect(captionRect.adjusted(-2, 0, 2, 0), palette().base());
        p.drawText(captionRect, Qt::AlignLeft | Qt::AlignTop, caption);
    }

    // The time axis.
    p.setPen(text);
    const int64_t tick = timeStep(t1 - t0, plot.width());
    for (int64_t t = (t0 / tick + 1) * tick; t <= t1; t += tick) {
        const double x = xOf(t);
        p.drawLine(QPointF(x, plot.bottom()), QPointF(x, plot.bottom() + 3));
        p.drawText(QRectF(x - 40, plot.bottom() + 3, 80, kBottom - 3), Qt::AlignCenter, tickText(t, tick, t1 - t0));
    }

    if (m_dragFrom && m_cursorX) {
        const QRect band(QPoint(std::min(*m_dragFrom, *m_cursorX), plot.top()),
                         QPoint(std::max(*m_dragFrom, *m_cursorX), plot.bottom()));
        p.fillRect(band, QColor(0, 90, 200, 40));
    }
    // A sticky cursor stays on its sample while the range changes.
    const std::optional<int> cursorX = m_sticky && m_cursorSample ? std::optional(int(std::lround(xOfSample(*m_cursorSample))))
                                                                  : m_cursorX;
    if (cursorX && *cursorX >= plot.left() && *cursorX <= plot.right()) {
        p.setPen(QPen(text, 1, Qt::DashLine));
        p.drawLine(*cursorX, plot.top(), *cursorX, plot.bottom());
    }
}

void ChartView::mousePressEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton && plotRect().contains(e->position().toPoint()))
        m_dragFrom = int(e->position().x());
}

void ChartView::mouseMoveEvent(QMouseEvent* e)
{
    moveCursorTo(int(e->position().x()));
}

void ChartView::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton || !m_dragFrom)
        return;
    const int from = *m_dragFrom, to = int(e->position().x());
    m_dragFrom.reset();
    if (std::abs(to - from) >= 4)
        zoomTo(timeAt(from), timeAt(to));
    else
        update();
}

void ChartView::mouseDoubleClickEvent(QMouseEvent*)
{
    resetZoom();
}

void ChartView::wheelEvent(QWheelEvent* e)
{
    const int64_t at = timeAt(e->position().x());
    const auto [t0, t1] = range();
    const double factor = e->angleDelta().y() > 0 ? 0.8 : 1.25;
    zoomTo(at - int64_t(double(at - t0) * factor), at + int64_t(double(t1 - at) * factor));
}

void ChartView::leaveEvent(QEvent*)
{
    if (m_sticky)
        return;
    m_cursorX.reset();
    if (m_cursorSample) {
        m_cursorSample.reset();
        emit cursorSampleChanged(-1);
    }
    update();
}

void ChartView::keyPressEvent(QKeyEvent* e)
{
    const int step = e->key() == Qt::Key_Right ? 1 : e->key() == Qt::Key_Left ? -1 : 0;
    if (!m_sticky || step == 0 || m_source.empty()) {
        QWidget::keyPressEvent(e);
        return;
    }
    const qsizetype i = m_cursorSample ? *m_cursorSample + step : step > 0 ? 0 : m_source.size() - 1;
    setCursorSample(std::clamp<qsizetype>(i, 0, m_source.size() - 1));
}

} // namespace rv
