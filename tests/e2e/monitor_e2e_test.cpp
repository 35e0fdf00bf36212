// The monitor against the virtual unit on a pseudo-terminal: the real serial component, the session's
// own timers and the main window with its bindings, as the program runs them.

#include "core/config/records.h"
#include "core/link/serial_link.h"
#include "core/monitor/monitor_blocks.h"
#include "core/protocol/device_session.h"
#include "support/wait.h"
#include "ui/app/main_window.h"
#include "ui/app/session_binding.h"
#include "ui/monitor/monitor_binding.h"

#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

#ifdef RVSIM_PATH

using namespace rv;

namespace {

class MonitorEndToEnd : public ::testing::Test {
protected:
    QTemporaryDir home;
    QProcess sim;
    ConfigRecords records;
    MonitorBlocks blocks;
    SerialLink link;
    std::unique_ptr<SessionController> session;
    std::unique_ptr<MainWindow> window;

    void SetUp() override { qputenv("RVCONF_HOME", home.path().toLocal8Bit()); }
    void TearDown() override
    {
        if (window)
            window->close(); // "CONFIGC", the port closes
        window.reset();
        session.reset();
        sim.terminate();
        sim.waitForFinished(3000);
        qunsetenv("RVCONF_HOME");
    }

    // Starts the unit and the program on it; returns once the handshake is done.
    bool start(const QStringList& unitArgs)
    {
        sim.start(QStringLiteral(RVSIM_PATH), QStringList{QStringLiteral("--lifetime"), QStringLiteral("60")} + unitArgs);
        if (!sim.waitForStarted(5000) || !rvtest::waitUntil([this] { return sim.canReadLine(); }, 5000))
            return false;
        const QString first = QString::fromLatin1(sim.readLine()).trimmed();
        if (!first.startsWith(QStringLiteral("PTY ")))
            return false;
        session = std::make_unique<SessionController>(link, &records, &blocks);
        window = std::make_unique<MainWindow>();
        window->setPortOverride(first.mid(4));
        new SessionBinding(*window, *session);
        new MonitorBinding(*window, *session);
        window->show(); // discovery starts a second later
        return rvtest::waitUntil([this] { return session->session().connected; }, 8000);
    }
    QString label(const char* name) const { return window->findChild<QLabel*>(QLatin1String(name))->text(); }
};

TEST_F(MonitorEndToEnd, MonitorPageAndCanListFollowTheUnit)
{
    ASSERT_TRUE(start({}));
    QSignalSpy gpsBlocks(session.get(), &SessionController::gpsReceived);
    ASSERT_TRUE(rvtest::waitUntil([&] { return gpsBlocks.size() >= 1; }, 15000));
    const QString firstTime = label("LDateTime");
    EXPECT_TRUE(firstTime.startsWith(QStringLiteral("Дата и время: 01.01.2026 00:"))) << firstTime.toStdString();
    ASSERT_TRUE(rvtest::waitUntil([&] { return gpsBlocks.size() >= 2; }, 5000));
    EXPECT_NE(label("LDateTime"), firstTime);
    EXPECT_EQ(label("LNumber"), QStringLiteral("ID устройства: 1234"));
    EXPECT_EQ(label("Label208"), QStringLiteral("Тип прибора: RV-2 v2"));

    // The CAN scanner: the unit adds its records to the device replies once asked.
    auto* memo = window->findChild<QPlainTextEdit*>(QStringLiteral("CAN_memo"));
    window->findChild<QCheckBox*>(QStringLiteral("SCANCAN_en"))->click();
    ASSERT_TRUE(rvtest::waitUntil([&] { return memo->blockCount() >= 41; }, 5000));
    EXPECT_TRUE(memo->toPlainText().startsWith(QStringLiteral("Frame: "))) << memo->toPlainText().left(80).toStdString();
    EXPECT_TRUE(memo->toPlainText().contains(QStringLiteral("\nID: 0CF00400 DataA: ")));
}

} // namespace

#endif
