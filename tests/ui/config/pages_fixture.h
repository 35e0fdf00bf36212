#pragma once

// The main window with every editor page over the in-memory link, and what a user does to the pages:
// click a node, visit every node, pick an item, type over an edit. Page tests derive from it.

#include "core/config/records.h"
#include "core/link/memory_link.h"
#include "core/monitor/monitor_blocks.h"
#include "core/protocol/device_session.h"
#include "ui/app/main_window.h"
#include "ui/app/session_binding.h"
#include "ui/config/config_pages.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <gtest/gtest.h>

namespace rvtest {

class PagesTest : public ::testing::Test {
protected:
    QTemporaryDir home;
    rv::MemoryLink link;
    rv::ConfigRecords records;
    rv::MonitorBlocks blocks;
    rv::SessionController s{link, &records, &blocks};
    rv::MainWindow w{records};
    rv::SessionBinding sessionBinding{w, s, false};
    rv::ConfigPages pages{w, s};

    void SetUp() override
    {
        qputenv("RVCONF_HOME", home.path().toLocal8Bit());
        // The stand-ins the pages replaced are gone: every name looked up is the page's own control.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    void TearDown() override { qunsetenv("RVCONF_HOME"); }

    template <typename T = QWidget>
    T* control(const char* name) const
    {
        T* c = w.findChild<T*>(QLatin1String(name));
        EXPECT_NE(c, nullptr) << name;
        return c;
    }
    void load(const rv::ConfigRecords& from)
    {
        records.config.setBytes(from.config.bytes());
        records.inpOut.setBytes(from.inpOut.bytes());
        records.confSe.setBytes(from.confSe.bytes());
        pages.readAll();
    }
    void click(const QString& node)
    {
        QTreeWidgetItem* item = w.node(node);
        ASSERT_NE(item, nullptr) << node.toStdString();
        w.tree()->setCurrentItem(item);
        w.TreeView1Click();
    }
    void visitEveryNode()
    {
        for (QTreeWidgetItemIterator it(w.tree()); *it; ++it) {
            w.tree()->setCurrentItem(*it);
            w.TreeView1Click();
        }
    }
    // What a write gathers: the pages into all three records.
    void gatherAll()
    {
        pages.Load_config(records);
        pages.gatherRecord(records, rv::RecordKind::InpOut);
        pages.Write_Config2(records);
    }
    // The user picks item `index` of a drop-down.
    void choose(const char* combo, int index)
    {
        auto* c = control<QComboBox>(combo);
        c->setCurrentIndex(index);
        emit c->activated(index);
    }
    // Selects the edit's text and types over it; an empty text clears it.
    void type(const char* edit, const QString& text)
    {
        auto* e = control<QLineEdit>(edit);
        e->setFocus();
        e->selectAll();
        if (text.isEmpty())
            QTest::keyClick(e, Qt::Key_Backspace);
        else
            QTest::keyClicks(e, text);
    }
};

} // namespace rvtest
