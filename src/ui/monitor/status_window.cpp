#include "ui/monitor/status_window.h"

#include "ui/monitor/label_updates.h"

#include <QLabel>
#include <QVBoxLayout>

namespace rv {

StatusWindow::StatusWindow(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TForm11"));
    setWindowTitle(QStringLiteral("Статус"));
    setModal(false);
    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(2);
    for (int i = 0; i < kLabels; ++i) {
        auto* l = new QLabel(this);
        l->setObjectName(QStringLiteral("Status_L") + QString::number(i));
        l->setMinimumWidth(260);
        l->setContentsMargins(4, 1, 4, 1);
        layout->addWidget(l);
        m_labels[i] = l;
    }
    layout->addStretch();
    // The battery warning has a fixed text on red; the monitor only shows and hides it.
    applyLabelUpdates(this, {LabelUpdate{QStringLiteral("Status_L6"), QStringLiteral("Аккумулятор не подключен (разряжен)"),
                                         LabelColor::Red, false}});
    // Keep the window's size when the warning comes and goes.
    QSizePolicy policy = m_labels[6]->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    m_labels[6]->setSizePolicy(policy);
}

void StatusWindow::apply(const QList<LabelUpdate>& updates)
{
    applyLabelUpdates(this, updates);
}

} // namespace rv
