#include "ui/app/navigation_tree.h"

#include "ui/app/adaptation.h"
#include "ui/app/navigation.h"
#include "core/config/input_page_rules.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QTreeWidgetItemIterator>

namespace rv {

namespace {
int codeOf(const QTreeWidgetItem* item)
{
    return item->data(0, Qt::UserRole).toInt();
}
} // namespace

NavigationTree::NavigationTree(QStackedWidget& pages, std::function<UnitProfile()> unit, QWidget* parent)
    : QTreeWidget(parent), m_pages(pages), m_unit(std::move(unit))
{
    setObjectName(QStringLiteral("TreeView1"));
    setHeaderHidden(true);
    setColumnCount(1);
    setMinimumWidth(180);

    QList<QTreeWidgetItem*> parents;
    for (const nav::Node& n : nav::treeNodes()) {
        QTreeWidgetItem* item = n.depth == 0 ? new QTreeWidgetItem(this) : new QTreeWidgetItem(parents.at(n.depth - 1));
        item->setText(0, QString::fromUtf16(n.caption));
        item->setData(0, Qt::UserRole, n.code);
        parents.resize(n.depth);
        parents.append(item);
    }
    expandAll();
    setCurrentItem(topLevelItem(0));

    // The page follows the current node however it changes: a click, the arrow keys, Home/End, typing
    // the first letters of a caption, or a program that selects a node.
    connect(this, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* current) {
        if (current)
            openCurrentNode();
    });
    // A click on the node that is already current loads its page again, as it always did; a click on
    // another node was handled when that node became current at the press.
    viewport()->installEventFilter(this);
    connect(this, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) {
        const bool reclick = item == m_currentAtPress;
        m_currentAtPress = nullptr;
        if (reclick && item == currentItem())
            openCurrentNode();
    });
    // Enter on the current node acts as a click, for the keyboard.
    connect(this, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
        if (item == currentItem())
            openCurrentNode();
        else
            setCurrentItem(item);
    });
}

bool NavigationTree::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == viewport() && event->type() == QEvent::MouseButtonPress)
        m_currentAtPress = currentItem();
    return QTreeWidget::eventFilter(watched, event);
}

QTreeWidgetItem* NavigationTree::node(const QString& caption) const
{
    const QList<QTreeWidgetItem*> found = findItems(caption, Qt::MatchExactly | Qt::MatchRecursive);
    return found.isEmpty() ? nullptr : found.first();
}

void NavigationTree::showPage(int index)
{
    if (index < 0 || index >= m_pages.count())
        return;
    m_pages.setCurrentIndex(index);
    selectNodeOf(index);
}

void NavigationTree::selectNodeOf(int page)
{
    // The tree shows the page that is shown. A current node that already leads to the page stays (any
    // of the input or connection nodes for their shared page); otherwise the page's node becomes current,
    // quietly, since the page is already there: for the connection and input pages the node of the
    // connection or input being edited, for the others the first node of the page.
    if (QTreeWidgetItem* current = currentItem(); current && nav::targetForCode(codeOf(current)).page == page)
        return;
    int wanted = -1;
    if (page == nav::Connections)
        wanted = 21 + m_currentConnection;
    else if (page == nav::Inputs)
        wanted = 41 + m_currentInput;
    QTreeWidgetItem* found = nullptr;
    for (QTreeWidgetItemIterator it(this); *it && !found; ++it) {
        if (wanted >= 0 ? codeOf(*it) == wanted : nav::targetForCode(codeOf(*it)).page == page)
            found = *it;
    }
    if (!found)
        return;
    const QSignalBlocker quiet(this);
    setCurrentItem(found);
    scrollToItem(found);
}

void NavigationTree::openCurrentNode()
{
    QTreeWidgetItem* item = currentItem();
    if (!item)
        return;
    const int code = codeOf(item);
    const nav::Target target = nav::targetForCode(code);

    if (target.connection >= 0) {
        showPage(nav::Connections);
        if (auto* title = window()->findChild<QLabel*>(QStringLiteral("Connection_num")))
            title->setText(QStringLiteral("Соединение ") + QString::number(code - 20));
        m_currentConnection = target.connection;
        if (m_loadConnectPage)
            m_loadConnectPage(m_currentConnection);
    } else if (target.input >= 0) {
        selectInputNode(code);
    } else if (target.page >= 0) {
        showPage(target.page);
    }

    if (code == nav::Ohrana)
        applySecurityInputs();
}

void NavigationTree::selectInputNode(int code)
{
    // The input editor may have disabled these for a previous input's type.
    for (const char* box : {"RzGroupBox22", "RzGroupBox23", "RzGroupBox24", "RzGroupBox25"})
        adapt::setEnabledByName(&m_pages, QString::fromLatin1(box), true);
    showPage(nav::Inputs);

    const UnitProfile unit = m_unit();
    // A unit with fewer inputs (RV-1 has five): the inputs it lacks fall back to input 1.
    if (code - 40 > unit.inputs()) {
        code = 41;
        if (QTreeWidgetItem* first = node(QStringLiteral("Вход 1"))) {
            const QSignalBlocker quiet(this); // this click goes on with input 1
            setCurrentItem(first);
        }
    }
    const int input = code - 40;
    if (auto* label = window()->findChild<QLabel*>(QStringLiteral("Labelinput")))
        label->setText(inputs::titleText(unit, input - 1));
    m_currentInput = input - 1;

    if (auto* type = window()->findChild<QComboBox*>(QStringLiteral("Inputtype"))) {
        const QSignalBlocker block(type);
        type->clear();
        type->addItems(inputs::typeItems(unit, input - 1));
    }
    if (m_loadInputPage)
        m_loadInputPage(m_currentInput);
}

void NavigationTree::applySecurityInputs()
{
    const UnitProfile unit = m_unit();
    for (int input = 6; input <= 8; ++input) {
        const QString name = QStringLiteral("INOh") + QString::number(input);
        if (input > unit.inputs()) {
            adapt::setEnabledByName(&m_pages, name, false);
            continue;
        }
        // The input's special function (dispatcher call, arming, ignition) is not guardable. The box is locked
        // but keeps what the record holds: showing the page never changes a byte (the user's choice of that
        // type on the input page is what clears it).
        const bool special = m_inputType && inputs::isSpecialFunction(unit, input - 1, m_inputType(input - 1));
        for (QCheckBox* box : m_pages.findChildren<QCheckBox*>(name))
            box->setEnabled(!special);
    }
}

} // namespace rv
