#include "ui/app/setting_search.h"

#include "core/config/setting_index.h"
#include "ui/app/main_window.h"

#include <QFrame>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QScrollArea>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace rv {

namespace {

// Every tab and stack between the page and the control shows the part that holds it.
void revealAncestors(QWidget* control, QWidget* page)
{
    for (QWidget* child = control; child && child != page; child = child->parentWidget()) {
        QWidget* parent = child->parentWidget();
        if (auto* stack = qobject_cast<QStackedWidget*>(parent)) {
            if (auto* tabs = qobject_cast<QTabWidget*>(stack->parentWidget()))
                tabs->setCurrentWidget(child);
            else
                stack->setCurrentWidget(child);
        }
    }
}

void highlight(QWidget* control)
{
    QWidget* parent = control->parentWidget();
    if (!parent)
        return;
    auto* mark = new QFrame(parent);
    mark->setObjectName(QStringLiteral("SettingHighlight"));
    mark->setAttribute(Qt::WA_TransparentForMouseEvents);
    mark->setStyleSheet(QStringLiteral("#SettingHighlight { border: 2px solid #e08000; border-radius: 3px; }"));
    mark->setGeometry(control->geometry().adjusted(-3, -3, 3, 3));
    mark->show();
    mark->raise();
    QTimer::singleShot(SettingSearch::kHighlightMs, mark, &QObject::deleteLater);
}

} // namespace

SettingSearch::SettingSearch(MainWindow& window, QWidget* parent) : QWidget(parent), m_window(window)
{
    setObjectName(QStringLiteral("SettingSearchPanel"));
    m_field = new QLineEdit(this);
    m_field->setObjectName(QStringLiteral("SettingSearch"));
    m_field->setPlaceholderText(QStringLiteral("Найти настройку"));
    m_field->setClearButtonEnabled(true);
    m_field->setAccessibleName(QStringLiteral("Найти настройку"));
    m_results = new QListWidget(this);
    m_results->setObjectName(QStringLiteral("SettingResults"));
    m_results->hide();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(m_field);
    layout->addWidget(m_results, 1);

    connect(m_field, &QLineEdit::textChanged, this, &SettingSearch::search);
    connect(m_field, &QLineEdit::returnPressed, this, [this] {
        open(m_results->currentItem() ? m_results->currentItem() : m_results->item(0));
    });
    connect(m_results, &QListWidget::itemActivated, this, &SettingSearch::open);
    connect(m_results, &QListWidget::itemClicked, this, &SettingSearch::open);
    m_field->installEventFilter(this);
}

bool SettingSearch::eventFilter(QObject* watched, QEvent* event)
{
    // Up and Down move through the results while typing; Escape clears the search.
    if (watched == m_field && event->type() == QEvent::KeyPress && m_results->isVisible()) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Down || key == Qt::Key_Up) {
            const int row = std::clamp(m_results->currentRow() + (key == Qt::Key_Down ? 1 : -1), 0,
                                       m_results->count() - 1);
            m_results->setCurrentRow(row);
            return true;
        }
        if (key == Qt::Key_Escape) {
            m_field->clear();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void SettingSearch::search(const QString& text)
{
    m_results->clear();
    const QList<SettingEntry> found = findSettings(text);
    for (const SettingEntry& e : found) {
        auto* item = new QListWidgetItem(e.text, m_results);
        item->setData(Qt::UserRole, e.row);
        item->setToolTip(e.text + QStringLiteral("\n") + e.field);
    }
    if (m_results->count() > 0)
        m_results->setCurrentRow(0);
    m_results->setVisible(!text.trimmed().isEmpty());
    if (m_results->isVisible() && found.isEmpty())
        new QListWidgetItem(QStringLiteral("Ничего не найдено"), m_results);
}

void SettingSearch::open(QListWidgetItem* item)
{
    if (!item || !item->data(Qt::UserRole).isValid())
        return;
    jumpTo(item->data(Qt::UserRole).toInt());
}

QWidget* SettingSearch::jumpTo(int row)
{
    const QList<SettingEntry>& index = settingIndex();
    if (row < 0 || row >= index.size())
        return nullptr;
    const SettingEntry& e = index[row];
    QTreeWidgetItem* node = m_window.node(e.node);
    if (!node)
        return nullptr;
    // As a click on the node: the page of its item comes up with its rules applied.
    m_window.tree()->setCurrentItem(node);
    m_window.TreeView1Click();
    QWidget* page = m_window.pageControl()->currentWidget();
    auto* control = page ? page->findChild<QWidget*>(e.control) : nullptr;
    if (!control)
        return nullptr;
    revealAncestors(control, page);
    const auto bringIntoView = [page, control] {
        for (QWidget* p = control->parentWidget(); p && p != page->parentWidget(); p = p->parentWidget())
            if (auto* scroll = qobject_cast<QScrollArea*>(p))
                scroll->ensureWidgetVisible(control);
    };
    bringIntoView();
    // Once more after the page has been laid out at its shown size.
    QTimer::singleShot(0, control, bringIntoView);
    control->setFocus(Qt::OtherFocusReason);
    highlight(control);
    return control;
}

} // namespace rv
