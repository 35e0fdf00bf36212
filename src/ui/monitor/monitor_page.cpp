#include "ui/monitor/monitor_page.h"

#include "ui/monitor/label_backdrop.h"
#include "ui/monitor/label_slot.h"
#include "ui/monitor/label_updates.h"
#include "ui_monitor_page.h"

#include <QClipboard>
#include <QGuiApplication>

namespace rv {

MonitorPage::MonitorPage(QWidget* parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::MonitorPage>()), m_targets(this)
{
    m_ui->setupUi(this);
    m_ui->LIMEI->setTextInteractionFlags(Qt::TextSelectableByMouse);
    connect(m_ui->Copy_IMEI, &QAbstractButton::clicked, this, &MonitorPage::Copy_IMEIClick);
    connect(m_ui->Charts_but, &QAbstractButton::clicked, this, &MonitorPage::chartsRequested);
    // A new value lays nothing out again unless it needs more room than any before it, and repaints its label
    // only, not the groups and the page beneath it.
    LabelSlot::holdLabels(this);
    (new LabelBackdrop(this))->addLabels(this);
}

MonitorPage::~MonitorPage() = default;

void MonitorPage::apply(const QList<LabelUpdate>& updates)
{
    m_targets.apply(updates);
}

QLabel* MonitorPage::label(const QString& objectName) const
{
    return findChild<QLabel*>(objectName);
}

void MonitorPage::Copy_IMEIClick()
{
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        clipboard->setText(m_ui->LIMEI->text());
}

} // namespace rv
