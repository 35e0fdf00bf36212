#pragma once

// Values over time: one pane per kind of value (volts, speed, temperatures, states...) with the shown
// series, on one time axis. Drawn with QPainter, at most four points per pixel column and series, and only
// when a new sample would change what is shown. The values come from a ChartSource: the monitor history
// ("Графики") or a track read from the unit's memory ("Трек").
//
// Mouse: drag to zoom into a time range, the wheel zooms around the cursor, a double click goes back to
// the chosen window. Moving over the plot reports the time and every shown value under the cursor.

#include "core/monitor/monitor_history.h"

#include <QString>
#include <QWidget>

#include <bitset>
#include <memory>
#include <optional>

namespace rv {

// What a chart shows: samples in time order, each with a value per series; series of one pane share a scale.
class ChartSource {
public:
    virtual ~ChartSource() = default;

    virtual int seriesCount() const = 0;
    virtual QString caption(int series) const = 0;    // with its unit
    virtual int pane(int series) const = 0;           // panes are drawn top down in the order of their numbers
    virtual QString paneCaption(int pane) const = 0;
    // A pane of on/off states, stacked like a logic analyser's traces, each named by traceLabel.
    virtual bool statePane(int) const { return false; }
    virtual QString traceLabel(int) const { return {}; }

    virtual qsizetype size() const = 0;
    virtual int64_t msecs(qsizetype i) const = 0;     // ms since 1970, never decreasing with i
    virtual double value(qsizetype i, int series) const = 0; // NaN: no value
    virtual QString text(qsizetype i, int series) const = 0; // as shown beside the cursor; empty: no value
    // The time of a sample beside the cursor; by default the local clock time with milliseconds.
    virtual QString timeText(qsizetype i) const;
    // The lines do not join sample i to the one before it (a gap in the data).
    virtual bool breakBefore(qsizetype) const { return false; }

    bool empty() const { return size() == 0; }
    // The index of the first sample at or after `msecs` (size() when none).
    virtual qsizetype lowerBound(int64_t msecs) const;
};

class ChartView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMaxSeries = 64;
    using Shown = std::bitset<kMaxSeries>;

    // The monitor history, drawn as "Графики" draws it.
    explicit ChartView(const chart::History& history, QWidget* parent = nullptr);
    explicit ChartView(const ChartSource& source, QWidget* parent = nullptr);
    ~ChartView() override;

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

    // The sample under the cursor line (none while the cursor is off the plot or the data).
    std::optional<qsizetype> cursorSample() const { return m_cursorSample; }
    // Puts the cursor line on sample i (the zoomed range moves to show it); takes it away for another i.
    void setCursorSample(qsizetype i);
    // A sticky cursor stays where it was when the mouse leaves, and the Left and Right keys step it from
    // sample to sample. Off by default.
    void setStickyCursor(bool on);
    // The x of sample i's time on the plot.
    double xOfSample(qsizetype i) const;

    // The colour of a series of the monitor history, as the ticks of "Графики" show it.
    static QColor color(int series);
    // The colour of a series of this chart's source.
    QColor seriesColor(int series) const;

signals:
    void cursorMoved(const QString& text);
    // The cursor line moved to sample i, or off the data (-1).
    void cursorSampleChanged(qsizetype i);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    void init();
    int64_t timeAt(double x) const;
    void zoomTo(int64_t from, int64_t to);
    // The sample nearest the time at x, if it lies in the range shown.
    std::optional<qsizetype> sampleAt(int x) const;
    QString sampleText(qsizetype i) const;
    void moveCursorTo(int x);

    std::unique_ptr<ChartSource> m_own; // the monitor history's adapter
    const ChartSource& m_source;
    Shown m_shown;
    int64_t m_span = 10 * 60 * 1000;
    std::optional<int64_t> m_pausedAt;
    std::optional<std::pair<int64_t, int64_t>> m_zoom;
    std::optional<int> m_cursorX;
    std::optional<qsizetype> m_cursorSample;
    bool m_sticky = false;
    std::optional<int> m_dragFrom;
    int m_paints = 0;
};

} // namespace rv
