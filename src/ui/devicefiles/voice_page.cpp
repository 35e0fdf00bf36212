#include "ui/devicefiles/voice_page.h"

#include "core/devicefiles/voice_format.h"
#include "ui_voice_page.h"

#include <QSignalBlocker>

namespace rv {

VoicePage::VoicePage(QWidget* parent) : QWidget(parent), ui(std::make_unique<Ui::VoicePage>())
{
    ui->setupUi(this);
    QTableWidget* t = ui->Voice_message;
    t->setColumnWidth(0, 200);
    t->setColumnWidth(1, 170);
    for (int r = 0; r < voice::kMessages; ++r) {
        auto* caption = new QTableWidgetItem(voice::messages()[r].caption);
        caption->setFlags(Qt::ItemIsEnabled); // the fixed column
        t->setItem(r, 0, caption);
        t->setItem(r, 1, new QTableWidgetItem);
        t->setItem(r, 2, new QTableWidgetItem);
    }
    connect(t, &QTableWidget::cellChanged, this, [this, t](int row, int column) {
        if (column > 0)
            emit cellEdited(row, column, t->item(row, column)->text());
    });
    connect(t, &QWidget::customContextMenuRequested, this, [this, t](const QPoint& at) {
        const int row = t->rowAt(at.y());
        if (row < 0)
            return;
        t->setCurrentCell(row, 1);
        emit assignRequested(row);
    });
}

VoicePage::~VoicePage() = default;

QTableWidget* VoicePage::table() const { return ui->Voice_message; }
QPushButton* VoicePage::saveButton() const { return ui->SaveToSD; }
QPushButton* VoicePage::clearButton() const { return ui->Clear_voice_table; }
QPushButton* VoicePage::listButton() const { return ui->List_voice_files; }
QProgressBar* VoicePage::gauge() const { return ui->ProgressBar1; }
QLabel* VoicePage::gaugeLabel() const { return ui->Label209; }

void VoicePage::showRow(int row, const QString& file, const QString& size)
{
    const QSignalBlocker quiet(ui->Voice_message);
    if (QTableWidgetItem* item = ui->Voice_message->item(row, 1))
        item->setText(file);
    if (QTableWidgetItem* item = ui->Voice_message->item(row, 2))
        item->setText(size);
}

void VoicePage::showGauge(qint64 used, qint64 maximum, const QString& text)
{
    // A maximum of 0 would turn the bar into a busy indicator: an empty bar at 1 shows the same 0 %.
    const int max = static_cast<int>(std::clamp<qint64>(maximum, 1, INT_MAX));
    ui->ProgressBar1->setMaximum(max);
    ui->ProgressBar1->setValue(static_cast<int>(std::clamp<qint64>(used, 0, max)));
    ui->Label209->setText(text);
}

} // namespace rv
