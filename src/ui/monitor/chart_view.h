#pragma once

// The plot of the monitor history: one pane per kind of value (volts, speed, temperatures, states...)
// with the ticked series, on one time axis. Drawn with QPainter, at most four points per pixel column
// and series, and only when a new sample would change what is shown.
//
// Mouse: drag to zoom into a time range, the wheel zooms around the cursor, a double click goes back to
// the chosen window. Moving over the plot reports the time and every shown value under the cursor.

#include "core/monitor/monitor_history.h"

#include <QWidget>

#include <bitset>
#include <optional>

namespace rv {

class ChartView : public QWidget {
    Q_OBJECT
public:
    using Shown = std::bitset<chart::SeriesCount>;

    explicit ChartView(const chart::History& history, QWidget* parent = nullptr);

    void setShown(const Shown& shown);
    const Shown& shown() const { return m_shown; }
    void setSpan(int64_t msecs);
    int64_t span() const { return m_span; }
    void setPaused(bool paused);
    bool paused() const { return m_pausedAt.has_value(); }
    void resetZoom();
    bool zoomed() const { return m_zoom.has_value(); }
    // A sample was added: redraw when what is shown follows the newest samples.
    void historyChanged();

    // The time range shown, ms since 1970.
    std::pair<int64_t, int64_t> range() const;
    // The cursor line's text at widget x: time and every shown value of the nearest sample; empty off the plot.
    QString cursorText(int x) const;
    QRect plotRect() const;
    int paints() const { return m_paints; }

    static QColor color(int series);

signals:
    void cursorMoved(const QString& text);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void leaveEvent(QEvent* e) override;

private:
    int64_t timeAt(double x) const;
    void zoomTo(int64_t from, int64_t to);

    const chart::History& m_history;
    Shown m_shown;
    int64_t m_span = 10 * 60 * 1000;
    std::optional<int64_t> m_pausedAt;
    std::optional<std::pair<int64_t, int64_t>> m_zoom;
    std::optional<int> m_cursorX;
    std::optional<int> m_dragFrom;
    int m_paints = 0;
};

} // namespace rv
