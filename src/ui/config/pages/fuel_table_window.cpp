#include "ui/config/pages/fuel_table_window.h"

#include "core/config/fuel_table.h"
#include "core/monitor/monitor_blocks.h"
#include "ui/config/edit_rules.h"
#include "ui_fuel_table_window.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QStyledItemDelegate>

namespace rv {

namespace {

constexpr int kColumns = 3;

// A cell is typed in an edit that takes digits only, five at most (backspace stays usable in a full cell),
// and brings a value above 65535 down to 65535 where the user sees it.
class CellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        auto* edit = qobject_cast<QLineEdit*>(QStyledItemDelegate::createEditor(parent, option, index));
        if (!edit)
            return nullptr;
        edit->setObjectName(QStringLiteral("Table_gridEdit"));
        edit->setMaxLength(fuel::kCellDigits);
        installKeyFilter(edit, KeyFilter::Digit);
        connect(edit, &QLineEdit::textEdited, edit, [edit] {
            if (const auto corrected = fuel::cellCorrection(edit->text()))
                edit->setText(*corrected);
        });
        return edit;
    }
};

QTableWidgetItem* fixedItem(const QString& text)
{
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled);
    return item;
}

} // namespace

FuelTableWindow::FuelTableWindow(ConfigBlock& config, const MonitorBlocks& monitor, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::FuelTableWindow>()), m_config(config), m_monitor(monitor)
{
    m_ui->setupUi(this);
    // Shown window-modal by its buttons (open()), over the main window.
    m_ui->Table_grid->addAction(m_ui->N1);
    m_ui->Table_grid->setItemDelegate(new CellDelegate(m_ui->Table_grid));
    connect(m_ui->Table_grid, &QTableWidget::cellClicked, this, &FuelTableWindow::Table_gridClick);
    connect(m_ui->N1, &QAction::triggered, this, &FuelTableWindow::N1Click);
    connect(m_ui->Save, &QAbstractButton::clicked, this, &FuelTableWindow::SaveClick);
    connect(m_ui->Cancel, &QAbstractButton::clicked, this, &FuelTableWindow::CancelClick);
    FormCreate();
}

FuelTableWindow::~FuelTableWindow() = default;

void FuelTableWindow::FormCreate()
{
    QTableWidget* grid = m_ui->Table_grid;
    grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 6);
    for (int c = 0; c < kColumns; ++c)
        grid->setItem(0, c, fixedItem(fuel::columnTitle(c)));
    for (int r = 1; r <= fuel::kPoints; ++r)
        grid->setItem(r, 0, fixedItem(fuel::rowLabel(r)));
}

void FuelTableWindow::showEvent(QShowEvent* event)
{
    FormShow();
    QDialog::showEvent(event);
}

void FuelTableWindow::FormShow()
{
    QTableWidget* grid = m_ui->Table_grid;
    for (int sensor = 1; sensor <= fuel::kSensors; ++sensor) {
        const QStringList cells = fuel::column(m_config, sensor);
        for (int i = 0; i < fuel::kPoints; ++i) {
            auto* item = new QTableWidgetItem(cells[i]);
            grid->setItem(i + 1, sensor, item);
        }
    }
}

void FuelTableWindow::Table_gridClick(int row, int column)
{
    m_row = row;
    m_column = column;
}

void FuelTableWindow::N1Click()
{
    if (m_column < 1 || m_column > fuel::kSensors || m_row < 1 || m_row > fuel::kPoints)
        return;
    QTableWidgetItem* cell = m_ui->Table_grid->item(m_row, m_column);
    if (const auto text = fuel::readingText(m_monitor.gps.bytes(), m_column); text && cell)
        cell->setText(*text);
}

void FuelTableWindow::SaveClick()
{
    QTableWidget* grid = m_ui->Table_grid;
    QStringList columns[fuel::kSensors];
    for (int sensor = 1; sensor <= fuel::kSensors; ++sensor) {
        for (int i = 0; i < fuel::kPoints; ++i) {
            QTableWidgetItem* item = grid->item(i + 1, sensor);
            columns[sensor - 1] << (item ? item->text() : QString());
            if (item) {
                item->setBackground(QBrush());
                item->setToolTip(QString());
            }
        }
    }
    const QList<fuel::Cell> refused = fuel::store(m_config, columns[0], columns[1]);
    if (refused.isEmpty()) {
        close();
        return;
    }
    for (const fuel::Cell& c : refused) {
        if (QTableWidgetItem* cell = grid->item(c.point + 1, c.sensor)) {
            cell->setBackground(QColor(0xff, 0xc8, 0xc8));
            cell->setToolTip(QStringLiteral("Недопустимое значение: таблица не сохранена"));
        }
    }
}

void FuelTableWindow::CancelClick()
{
    close();
}

} // namespace rv
