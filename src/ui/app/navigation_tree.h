#pragma once

// The navigation tree (TreeView1) beside the pages, and what choosing a node does: the page it shows, the
// connection or input that page then edits, the security inputs it locks. The page follows the current node
// however it changes (a click, the keys, a program that selects one), and the tree follows the page the
// program shows.

#include "core/config/unit_profile.h"

#include <QTreeWidget>

#include <functional>

class QStackedWidget;

namespace rv {

class NavigationTree : public QTreeWidget {
    Q_OBJECT
public:
    NavigationTree(QStackedWidget& pages, std::function<UnitProfile()> unit, QWidget* parent = nullptr);

    // Hooks the editor pages fill: load the connection page for a connection 0..4, load the input page for
    // an input 0..7, read the type nibble of an input 0..7.
    void setLoadConnectPage(std::function<void(int)> fn) { m_loadConnectPage = std::move(fn); }
    void setLoadInputPage(std::function<void(int)> fn) { m_loadInputPage = std::move(fn); }
    void setInputTypeReader(std::function<int(int)> fn) { m_inputType = std::move(fn); }

    int currentConnection() const { return m_currentConnection; }
    int currentInput() const { return m_currentInput; }
    // The first node with that caption, searching the whole tree.
    QTreeWidgetItem* node(const QString& caption) const;

    // What a click on the current node does (TreeView1Click).
    void openCurrentNode();
    // Shows page `index`; the node that leads to it becomes current, quietly.
    void showPage(int index);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void selectInputNode(int code);
    void selectNodeOf(int page);
    void applySecurityInputs();

    QStackedWidget& m_pages;
    std::function<UnitProfile()> m_unit;
    QTreeWidgetItem* m_currentAtPress = nullptr; // the current node when the mouse went down
    int m_currentConnection = 0;
    int m_currentInput = 0;
    std::function<void(int)> m_loadConnectPage;
    std::function<void(int)> m_loadInputPage;
    std::function<int(int)> m_inputType;
};

} // namespace rv
