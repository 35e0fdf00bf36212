#include "ui/devicefiles/log_window.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace rv {

LogWindow::LogWindow(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TForm9"));
    setWindowTitle(QStringLiteral("Диагностика"));
    setModal(false);
    resize(560, 420);
    m_memo = new QPlainTextEdit(this);
    m_memo->setObjectName(QStringLiteral("LOG_memo"));
    m_memo->setReadOnly(true);
    m_memo->setMaximumBlockCount(kMaxLines);
    m_memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_memo->setContextMenuPolicy(Qt::CustomContextMenu);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_memo);

    m_menu = new QMenu(this);
    m_menu->setObjectName(QStringLiteral("PopupMenu2"));
    auto add = [this](const char* name, const QString& caption, auto slot) {
        QAction* a = m_menu->addAction(caption);
        a->setObjectName(QLatin1String(name));
        connect(a, &QAction::triggered, this, slot);
    };
    add("N10", QStringLiteral("Очистить"), &LogWindow::N10Click);
    add("N11", QStringLiteral("Копировать в буфер обмена"), &LogWindow::N11Click);
    add("N12", QStringLiteral("Сохранить в файл"), &LogWindow::saveRequested);
    connect(m_memo, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { m_menu->popup(m_memo->mapToGlobal(at)); });
}

void LogWindow::appendLines(const QStringList& lines)
{
    for (const QString& line : lines)
        m_memo->appendPlainText(line);
}

void LogWindow::setLines(const QStringList& lines)
{
    m_memo->clear();
    m_memo->setPlainText(lines.mid(std::max<qsizetype>(0, lines.size() - kMaxLines)).join(QLatin1Char('\n')));
}

QString LogWindow::text() const { return m_memo->toPlainText(); }

QString LogWindow::proposedFileName() const
{
    if (windowTitle() == QLatin1String("Диагностика") || m_logDate.isEmpty())
        return QStringLiteral("Log_file.log");
    return m_logDate + QStringLiteral(".log");
}

void LogWindow::N10Click() { m_memo->clear(); }

void LogWindow::N11Click()
{
    m_memo->selectAll();
    QApplication::clipboard()->setText(m_memo->toPlainText());
}

void LogWindow::hideEvent(QHideEvent* event)
{
    QDialog::hideEvent(event);
    emit hidden();
}

} // namespace rv
