// The monitor against the virtual unit: the real serial component, the session's own timers and the
// main window with its bindings, as the program runs them.

#include "core/config/records.h"
#include "core/link/serial_link.h"
#include "core/monitor/monitor_blocks.h"
#include "core/protocol/device_session.h"
#include "support/rvsim_process.h"
#include "support/wait.h"
#include "ui/app/main_window.h"
#include "ui/app/session_binding.h"
#include "ui/monitor/monitor_binding.h"

#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace rv;
using rvtest::waitUntil;

TEST(MonitorE2E, MonitorPageAndCanListFollowTheUnit)
{
    QTemporaryDir home;
    qputenv("RVCONF_HOME", home.path().toLocal8Bit());
    rvtest::RvsimProcess unit(QStringLiteral(RVSIM_PATH));
    ASSERT_TRUE(unit.started());

    ConfigRecords records;
    MonitorBlocks blocks;
    SerialLink link;
    SessionController session(link, &records, &blocks);
    {
        MainWindow window{records};
        window.setPortOverride(unit.pty());
        SessionBinding binding(window, session);
        MonitorBinding monitor(window, session);
        QSignalSpy gpsBlocks(&session, &SessionController::gpsReceived);
        auto label = [&window](const char* name) { return window.findChild<QLabel*>(QLatin1String(name))->text(); };

        window.show(); // discovery starts a second later; the automatic read follows the first DEVICE block
        ASSERT_TRUE(waitUntil([&] { return gpsBlocks.size() >= 1; }));
        const QString firstTime = label("LDateTime");
        EXPECT_TRUE(firstTime.startsWith(QStringLiteral("Дата и время: 01.01.2026 00:"))) << firstTime.toStdString();
        ASSERT_TRUE(waitUntil([&] { return gpsBlocks.size() >= 2; }));
        EXPECT_NE(label("LDateTime"), firstTime);
        EXPECT_EQ(label("LNumber"), QStringLiteral("ID устройства: 1234"));
        EXPECT_EQ(label("Label208"), QStringLiteral("Тип прибора: RV-2 v2"));

        // The CAN scanner: once asked, the unit follows its device replies with the scanner records.
        auto* memo = window.findChild<QPlainTextEdit*>(QStringLiteral("CAN_memo"));
        window.findChild<QCheckBox*>(QStringLiteral("SCANCAN_en"))->click();
        ASSERT_TRUE(waitUntil([&] { return memo->blockCount() >= 41; }));
        EXPECT_TRUE(memo->toPlainText().startsWith(QStringLiteral("Frame: ")));
        EXPECT_TRUE(memo->toPlainText().contains(QStringLiteral("\nID: 0CF00400 DataA: ")));
        EXPECT_GE(unit.count("CONFIGR"), 1);
        window.close();
    }
    qunsetenv("RVCONF_HOME");
}
