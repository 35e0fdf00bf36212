#include "ui/track/track_window.h"

#include "ui/app/message_box.h"
#include "ui/monitor/chart_view.h"
#include "ui/track/track_chart_source.h"
#include "ui/track/track_export.h"
#include "ui/track/track_map_view.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QVBoxLayout>

namespace rv {

TrackWindow::TrackWindow(std::function<packet::PacketChoice()> packetChoice, QWidget* parent)
    : QDialog(parent), m_packetChoice(std::move(packetChoice)),
      m_source(std::make_unique<TrackChartSource>(m_overview))
{
    setObjectName(QStringLiteral("TrackWindow"));
    setWindowTitle(QStringLiteral("Трек"));
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    setModal(false);
    resize(1000, 820);

    m_origin = new QLabel;
    m_origin->setObjectName(QStringLiteral("TrackOrigin"));
    m_origin->setTextFormat(Qt::PlainText); // a file's name, whatever it holds
    auto* fitButton = new QPushButton(QStringLiteral("Весь трек"));
    fitButton->setObjectName(QStringLiteral("TrackFit"));
    fitButton->setToolTip(QStringLiteral("Вписать трек в окно (Home)"));
    m_export = new QPushButton(QStringLiteral("Экспорт…"));
    m_export->setObjectName(QStringLiteral("TrackExport"));
    connect(m_export, &QPushButton::clicked, this, &TrackWindow::exportClick);
    auto* bar = new QHBoxLayout;
    bar->addWidget(m_origin, 1);
    bar->addWidget(fitButton);
    bar->addWidget(m_export);

    m_map = new TrackMapView;
    connect(fitButton, &QPushButton::clicked, m_map, &TrackMapView::fit);
    m_chart = new ChartView(*m_source);
    m_chart->setObjectName(QStringLiteral("TrackChart"));
    m_chart->setStickyCursor(true);
    m_chart->setMinimumHeight(220);
    ChartView::Shown shown;
    for (int s = 0; s < TrackChartSource::SeriesCount; ++s)
        shown.set(size_t(s));
    m_chart->setShown(shown);
    auto* splitter = new QSplitter(Qt::Vertical);
    splitter->addWidget(m_map);
    splitter->addWidget(m_chart);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);
    splitter->setChildrenCollapsible(false);

    m_cursor = new QLabel;
    m_cursor->setObjectName(QStringLiteral("TrackCursor"));
    m_cursor->setTextFormat(Qt::PlainText);
    m_cursor->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_cursor->setMinimumHeight(fontMetrics().height());
    m_summary = new QLabel;
    m_summary->setObjectName(QStringLiteral("TrackSummary"));
    m_summary->setTextFormat(Qt::PlainText);
    m_summary->setWordWrap(true);
    m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(splitter, 1);
    layout->addWidget(m_cursor);
    layout->addWidget(m_summary);

    connect(m_chart, &ChartView::cursorMoved, m_cursor, &QLabel::setText);
    connect(m_chart, &ChartView::cursorSampleChanged, this, &TrackWindow::chartCursorAt);
    connect(m_map, &TrackMapView::pointClicked, this, &TrackWindow::mapPointClicked);
}

TrackWindow::~TrackWindow() = default;

void TrackWindow::setTrack(const QByteArray& buffer, const QString& origin)
{
    m_buffer = buffer;
    m_overview = track::overviewOf(m_buffer);
    m_origin->setText(origin);
    m_summary->setText(track::summaryText(m_overview.summary));
    m_cursor->clear();
    m_map->setTrack(&m_overview);
    // The whole track on the time axis.
    const qsizetype n = m_source->size();
    m_chart->setCursorSample(-1);
    m_chart->setSpan(n ? m_source->msecs(n - 1) - m_source->msecs(0) : 0);
    m_chart->resetZoom();
    m_chart->update();
}

void TrackWindow::chartCursorAt(qsizetype sample)
{
    if (sample >= 0)
        m_map->setMarker(m_source->pointOfSample(sample));
}

void TrackWindow::mapPointClicked(qsizetype point)
{
    m_chart->setCursorSample(m_source->sampleOfPoint(point));
}

void TrackWindow::exportClick()
{
    if (!m_exportDialog) {
        m_exportDialog = newTrackExportDialog(this, QStringLiteral("TrackExportDialog"));
        connect(m_exportDialog, &QFileDialog::fileSelected, this, &TrackWindow::exportTo);
    }
    presetTrackExport(m_exportDialog, track::ExportFormat::Gpx);
    m_exportDialog->open();
}

void TrackWindow::exportTo(const QString& path)
{
    if (path.isEmpty())
        return;
    const track::ExportFormat format = chosenTrackFormat(path, m_exportDialog ? m_exportDialog->selectedNameFilter()
                                                                               : QString());
    showMessage(this, exportTrackFile(path, format, m_buffer, m_packetChoice ? m_packetChoice() : packet::PacketChoice{}));
}

} // namespace rv
