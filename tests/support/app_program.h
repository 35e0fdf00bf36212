#pragma once

// The whole program as main() puts it together, in a test: its own program folder (RVCONF_HOME) with a
// Config.ini naming the port the virtual unit opens, the real serial component, the session, the main
// window with its session binding and the editor pages.

#include "core/config/records.h"
#include "core/link/serial_link.h"
#include "core/monitor/monitor_blocks.h"
#include "core/protocol/device_session.h"
#include "core/protocol/progress.h"
#include "support/wait.h"
#include "ui/app/main_window.h"
#include "ui/app/session_binding.h"
#include "ui/config/config_pages.h"

#include <QCoreApplication>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

namespace rvtest {

struct AppProgram {
    QTemporaryDir home;
    QString port = home.filePath(QStringLiteral("ttyRV0")); // rvsim --link makes it
    rv::SerialLink link;
    rv::ConfigRecords records;
    rv::MonitorBlocks monitor;
    rv::SessionController session{link, &records, &monitor};
    rv::MainWindow window{records};
    rv::SessionBinding binding{window, session};
    rv::ConfigPages pages{window, session};
    QStringList closed; // the progress window's closing texts, in order

    AppProgram()
    {
        qputenv("RVCONF_HOME", home.path().toLocal8Bit());
        QFile ini(home.filePath(QStringLiteral("Config.ini")));
        if (ini.open(QIODevice::WriteOnly))
            ini.write("[Config]\r\nCom port=" + port.toLocal8Bit() + "\r\nFile conf=default.fcg\r\n");
        QObject::connect(&session.progress(), &rv::ProgressWatchdog::closed,
                         [this](const QString& t) { closed << t; });
    }
    ~AppProgram()
    {
        window.close();
        qunsetenv("RVCONF_HOME");
    }
    // Started, the program finds the unit and reads it without being asked.
    bool startAndRead()
    {
        window.show();
        return waitUntil([this] { return window.statusText(0) == QStringLiteral("Считано с устройства"); });
    }
    void open(const QString& node)
    {
        window.tree()->setCurrentItem(window.node(node));
        window.TreeView1Click();
    }
    void visitEveryPage()
    {
        for (QTreeWidgetItemIterator it(window.tree()); *it; ++it) {
            window.tree()->setCurrentItem(*it);
            window.TreeView1Click();
            QCoreApplication::processEvents();
        }
    }
    // "Записать": true when the write cycle ended.
    bool write()
    {
        QSignalSpy written(&session, &rv::SessionController::writeCycleFinished);
        window.Upload_deviceClick();
        return waitUntil([&] { return !written.isEmpty(); });
    }
    template <typename T>
    T* control(const char* name) const
    {
        return window.findChild<T*>(QLatin1String(name));
    }
    // "Записать", and the unit confirmed every record.
    bool writeConfirmed()
    {
        return write() && closed.value(closed.size() - 1) == QStringLiteral("Конфигурация устройства обновлена");
    }
};

} // namespace rvtest
