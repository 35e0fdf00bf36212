#include "ui/protocol/progress_window.h"

#include "core/protocol/progress.h"
#include "ui/app/message_box.h"

#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

namespace rv {

ProgressWindow::ProgressWindow(ProgressWatchdog& watchdog, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), m_watchdog(watchdog)
{
    setObjectName(QStringLiteral("TForm5"));
    setWindowTitle(QStringLiteral("Выполнение процесса"));
    setModal(false);
    m_label = new QLabel(this);
    m_label->setObjectName(QStringLiteral("Lprocess"));
    m_bar = new QProgressBar(this);
    m_bar->setObjectName(QStringLiteral("ProgressBar1"));
    m_bar->setRange(0, 10);
    m_bar->setTextVisible(false);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_label);
    layout->addWidget(m_bar);
    setMinimumWidth(320);
    connect(&m_watchdog, &ProgressWatchdog::changed, this, &ProgressWindow::refresh);
    connect(&m_watchdog, &ProgressWatchdog::closed, this, &ProgressWindow::onClosed);
}

void ProgressWindow::refresh()
{
    m_label->setText(m_watchdog.label());
    m_bar->setMaximum(m_watchdog.maximum());
    m_bar->setValue(std::clamp(m_watchdog.position(), 0, m_watchdog.maximum()));
    if (m_watchdog.isShown() && !isVisible())
        show();
}

void ProgressWindow::onClosed(const QString& message)
{
    hide();
    if (!message.isEmpty()) {
        showMessage(parentWidget(), message);
        emit messageShown(message);
    }
}

} // namespace rv
