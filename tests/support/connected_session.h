#pragma once

// The session on the real serial component, connected to the virtual unit on `port`, in a program folder
// of its own, with no automatic read; the progress window's closing texts are kept in order.

#include "core/config/records.h"
#include "core/link/serial_link.h"
#include "core/monitor/monitor_blocks.h"
#include "core/protocol/device_session.h"
#include "core/protocol/progress.h"
#include "support/wait.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace rvtest {

struct ConnectedSession {
    QTemporaryDir home;
    rv::SerialLink link;
    rv::ConfigRecords records;
    rv::MonitorBlocks monitor;
    rv::SessionController session{link, &records, &monitor};
    QStringList closed;

    explicit ConnectedSession(const QString& port)
    {
        qputenv("RVCONF_HOME", home.path().toLocal8Bit());
        session.setPortName(port);
        session.session().autoReadPending = false;
        QObject::connect(&session.progress(), &rv::ProgressWatchdog::closed,
                         [this](const QString& t) { closed << t; });
        QSignalSpy connected(&session, &rv::SessionController::deviceConnected);
        session.start();
        EXPECT_TRUE(waitUntil([&] { return !connected.isEmpty(); }));
    }
    ~ConnectedSession() { qunsetenv("RVCONF_HOME"); }
};

} // namespace rvtest
