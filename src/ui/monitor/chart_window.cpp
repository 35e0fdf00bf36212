#include "ui/monitor/chart_window.h"

#include "core/track/track_packet.h"
#include "ui/app/message_box.h"
#include "ui/monitor/chart_view.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace rv {

namespace {

using namespace chart;

constexpr int64_t kSpans[] = {60 * 1000, 10 * 60 * 1000, 60 * 60 * 1000};
constexpr int kDefaultSpan = 1; // 10 minutes
constexpr Series kTickedAtStart[] = {Supply, Battery, Speed, Satellites};

QIcon swatch(const QColor& c)
{
    QPixmap p(12, 12);
    p.fill(c);
    return QIcon(p);
}

} // namespace

ChartWindow::ChartWindow(const History& history, QWidget* parent) : QDialog(parent), m_history(history)
{
    setObjectName(QStringLiteral("TChartForm"));
    setWindowTitle(QStringLiteral("Графики"));
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    setModal(false);
    resize(1100, 680);

    // The ticks, grouped as on the monitor page.
    auto* ticks = new QWidget;
    auto* ticksLayout = new QVBoxLayout(ticks);
    for (Group g : {Group::Navigation, Group::Device, Group::Peripheral}) {
        auto* box = new QGroupBox(groupCaption(g));
        box->setToolTip(box->title());
        auto* l = new QVBoxLayout(box);
        for (int s = 0; s < SeriesCount; ++s) {
            if (info(s).group != g)
                continue;
            auto* tick = new QCheckBox(info(s).caption);
            tick->setObjectName(QStringLiteral("Chart_") + info(s).key);
            tick->setIcon(swatch(ChartView::color(s)));
            connect(tick, &QCheckBox::toggled, this, &ChartWindow::seriesTicked);
            l->addWidget(tick);
            m_boxes[size_t(s)] = tick;
        }
        ticksLayout->addWidget(box);
    }
    ticksLayout->addStretch();
    auto* scroll = new QScrollArea;
    scroll->setWidget(ticks);
    scroll->setWidgetResizable(true);
    scroll->setMinimumWidth(ticks->sizeHint().width() + 24);

    m_view = new ChartView(history);
    m_span = new QComboBox;
    m_span->setObjectName(QStringLiteral("ChartSpan"));
    m_span->addItems({QStringLiteral("1 мин"), QStringLiteral("10 мин"), QStringLiteral("60 мин")});
    m_span->setCurrentIndex(kDefaultSpan);
    m_view->setSpan(kSpans[kDefaultSpan]);
    connect(m_span, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (i >= 0 && i < int(std::size(kSpans)))
            m_view->setSpan(kSpans[i]);
    });
    m_pause = new QPushButton(QStringLiteral("Пауза"));
    m_pause->setObjectName(QStringLiteral("ChartPause"));
    m_pause->setCheckable(true);
    connect(m_pause, &QPushButton::toggled, m_view, &ChartView::setPaused);
    auto* reset = new QPushButton(QStringLiteral("Сбросить масштаб"));
    reset->setObjectName(QStringLiteral("ChartResetZoom"));
    reset->setToolTip(QStringLiteral("Масштаб: выделите участок мышью или вращайте колесо; двойной щелчок — сброс"));
    connect(reset, &QPushButton::clicked, m_view, &ChartView::resetZoom);
    m_export = new QPushButton(QStringLiteral("Экспорт CSV"));
    m_export->setObjectName(QStringLiteral("ChartExport"));
    connect(m_export, &QPushButton::clicked, this, &ChartWindow::exportCsvClick);

    auto* bar = new QHBoxLayout;
    auto* spanLabel = new QLabel(QStringLiteral("Окно:"));
    spanLabel->setBuddy(m_span);
    bar->addWidget(spanLabel);
    bar->addWidget(m_span);
    bar->addWidget(m_pause);
    bar->addWidget(reset);
    bar->addStretch();
    bar->addWidget(m_export);

    m_cursor = new QLabel;
    m_cursor->setObjectName(QStringLiteral("ChartCursor"));
    m_cursor->setWordWrap(true);
    m_cursor->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_cursor->setMinimumHeight(fontMetrics().height() * 2);
    connect(m_view, &ChartView::cursorMoved, m_cursor, &QLabel::setText);

    auto* right = new QVBoxLayout;
    right->addLayout(bar);
    right->addWidget(m_view, 1);
    right->addWidget(m_cursor);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(scroll);
    layout->addLayout(right, 1);

    for (Series s : kTickedAtStart)
        m_boxes[s]->setChecked(true);
    showUnit();
}

void ChartWindow::historyChanged()
{
    showUnit();
    if (isVisible())
        m_view->historyChanged();
}

void ChartWindow::unitChanged()
{
    showUnit();
    m_view->resetZoom();
    m_view->update();
}

void ChartWindow::showUnit()
{
    const QString unit = m_history.unit() ? m_history.unit()->text() : QString();
    if (unit == m_unitShown)
        return;
    m_unitShown = unit;
    setWindowTitle(unit.isEmpty() ? QStringLiteral("Графики") : QStringLiteral("Графики: ") + unit);
}

QStringList ChartWindow::tickedKeys() const
{
    QStringList keys;
    for (int s = 0; s < SeriesCount; ++s)
        if (m_boxes[size_t(s)]->isChecked())
            keys << info(s).key;
    return keys;
}

void ChartWindow::setTickedKeys(const QStringList& keys)
{
    for (int s = 0; s < SeriesCount; ++s)
        m_boxes[size_t(s)]->setChecked(keys.contains(info(s).key));
}

void ChartWindow::seriesTicked()
{
    ChartView::Shown shown;
    for (int s = 0; s < SeriesCount; ++s)
        shown[size_t(s)] = m_boxes[size_t(s)] && m_boxes[size_t(s)]->isChecked();
    m_view->setShown(shown);
}

void ChartWindow::exportCsvClick()
{
    if (!m_exportDialog) {
        m_exportDialog = new QFileDialog(this, QStringLiteral("Экспорт CSV"));
        m_exportDialog->setObjectName(QStringLiteral("ChartExportDialog"));
        m_exportDialog->setAcceptMode(QFileDialog::AcceptSave);
        m_exportDialog->setNameFilters({QStringLiteral("CSV (*.csv)")});
        m_exportDialog->setDefaultSuffix(QStringLiteral("csv"));
        connect(m_exportDialog, &QFileDialog::fileSelected, this, &ChartWindow::exportTo);
    }
    m_exportDialog->selectFile(QStringLiteral("monitor.csv"));
    m_exportDialog->open();
}

void ChartWindow::exportTo(const QString& path)
{
    if (path.isEmpty())
        return;
    // Replaced only when written whole: a failed export leaves an earlier file as it was.
    if (const OutputFileResult saved = track::saveExport(path, csv(m_history)); !saved.ok())
        showMessage(this, outputFileMessage(saved));
    else
        showMessage(this, QStringLiteral("Операция экспорта выполнена"));
}

} // namespace rv
