#pragma once

// "Графики": the monitor values over the last 1, 10 or 60 minutes. The user ticks the series (grouped as
// on the monitor page), pauses, zooms with the mouse, reads the values under the cursor and exports the
// whole history as CSV. The window only shows the history the monitor binding keeps; closing it hides it.

#include "core/monitor/monitor_history.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QFileDialog;
class QLabel;
class QPushButton;

namespace rv {

class ChartView;

class ChartWindow : public QDialog {
    Q_OBJECT
public:
    explicit ChartWindow(const chart::History& history, QWidget* parent = nullptr);

    // A sample was added to the history.
    void historyChanged();
    // The history started anew for another unit.
    void unitChanged();
    // The ticked series by key ("Supply", "Speed"...), as Config.ini keeps them between runs.
    QStringList tickedKeys() const;
    void setTickedKeys(const QStringList& keys);

    ChartView* view() const { return m_view; }
    QCheckBox* seriesBox(int series) const { return m_boxes[size_t(series)]; }
    QComboBox* spanBox() const { return m_span; }
    QPushButton* pauseButton() const { return m_pause; }
    QPushButton* exportButton() const { return m_export; }
    QLabel* cursorLabel() const { return m_cursor; }
    QFileDialog* exportDialog() const { return m_exportDialog; }

public slots:
    void exportCsvClick();
    void exportTo(const QString& path);

private:
    void seriesTicked();
    void showUnit();

    const chart::History& m_history;
    ChartView* m_view;
    std::array<QCheckBox*, chart::SeriesCount> m_boxes{};
    QComboBox* m_span;
    QPushButton* m_pause;
    QPushButton* m_export;
    QLabel* m_cursor;
    QFileDialog* m_exportDialog = nullptr;
    QString m_unitShown;
};

} // namespace rv
