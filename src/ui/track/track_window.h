#pragma once

// "Трек": a track read from the unit's memory (or from a saved .bin) at a glance. The path on a flat map
// coloured by speed, under it speed, altitude and satellites over time on the chart view of "Графики", the two
// joined by one cursor: the chart's cursor marks its point on the path, a click on the path moves the cursor.
// A summary line says how many points, how far, how long, how fast, how many stops and what was left out;
// "Экспорт…" saves the track in any of the five formats.

#include "core/config/packet_structure.h"
#include "core/track/track_geometry.h"

#include <QByteArray>
#include <QDialog>

#include <functional>
#include <memory>

class QFileDialog;
class QLabel;
class QPushButton;

namespace rv {

class ChartView;
class TrackChartSource;
class TrackMapView;

class TrackWindow : public QDialog {
    Q_OBJECT
public:
    // `packetChoice` gives the packet structure a Wialon export follows.
    explicit TrackWindow(std::function<packet::PacketChoice()> packetChoice, QWidget* parent = nullptr);
    ~TrackWindow() override;

    // Shows the packets of `buffer` (a read, or a .bin); `origin` names where they came from.
    void setTrack(const QByteArray& buffer, const QString& origin);
    const track::TrackOverview& overview() const { return m_overview; }
    const QByteArray& buffer() const { return m_buffer; }

    TrackMapView* map() const { return m_map; }
    ChartView* chart() const { return m_chart; }
    const TrackChartSource& chartSource() const { return *m_source; }
    QLabel* summaryLabel() const { return m_summary; }
    QLabel* cursorLabel() const { return m_cursor; }
    QLabel* originLabel() const { return m_origin; }
    QPushButton* exportButton() const { return m_export; }
    QFileDialog* exportDialog() const { return m_exportDialog; }

public slots:
    void exportClick();
    void exportTo(const QString& path);

private:
    void chartCursorAt(qsizetype sample);
    void mapPointClicked(qsizetype point);

    std::function<packet::PacketChoice()> m_packetChoice;
    QByteArray m_buffer;
    track::TrackOverview m_overview;
    std::unique_ptr<TrackChartSource> m_source;
    TrackMapView* m_map;
    ChartView* m_chart;
    QLabel* m_summary;
    QLabel* m_cursor;
    QLabel* m_origin;
    QPushButton* m_export;
    QFileDialog* m_exportDialog = nullptr;
};

} // namespace rv
