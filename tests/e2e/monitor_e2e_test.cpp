// The monitor against the virtual unit: the real serial component, the session's own timers and the
// main window with its bindings, as the program runs them.

#include "core/config/records.h"
#include "core/link/serial_link.h"
#include "core/monitor/monitor_blocks.h"
#include "core/protocol/device_session.h"
#include "support/rvsim_process.h"
#include "support/wait.h"
#include "ui/app/main_window.h"
#include "ui/app/navigation.h"
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

namespace {

// Counts the paints of every label under a widget, by the label's name.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* root)
    {
        for (QLabel* label : root->findChildren<QLabel*>())
            label->installEventFilter(this);
    }
    QStringList painted() const { return m_painted; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            m_painted << watched->objectName();
        return false;
    }

private:
    QStringList m_painted;
};

} // namespace

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

// While no value of the unit moves, the monitor draws nothing again: every poll's reply is worked out, and
// each label whose text stays is left alone (the cost of watching a unit with the page open).
TEST(MonitorE2E, AStillUnitLeavesThePageAsItIs)
{
    QTemporaryDir home;
    qputenv("RVCONF_HOME", home.path().toLocal8Bit());
    rvtest::RvsimProcess unit(QStringLiteral(RVSIM_PATH), {QStringLiteral("--still")});
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
        QSignalSpy deviceBlocks(&session, &SessionController::deviceReceived);
        window.show();
        // The automatic read first, then two GPS blocks more, so that the DEVICE labels have been drawn too.
        ASSERT_TRUE(waitUntil([&] { return unit.count("CONFIGS") >= 1; }));
        const qsizetype gpsSeen = gpsBlocks.size();
        ASSERT_TRUE(waitUntil([&] { return gpsBlocks.size() >= gpsSeen + 2 && deviceBlocks.size() >= 2; }));
        QWidget* page = window.page(nav::Monitor);
        ASSERT_NE(page, nullptr);
        ASSERT_EQ(window.currentPage(), nav::Monitor);
        const QString shown = window.findChild<QLabel*>(QStringLiteral("LDateTime"))->text();

        PaintCounter paints(page);
        const qsizetype gpsFrom = gpsBlocks.size(), deviceFrom = deviceBlocks.size();
        ASSERT_TRUE(waitUntil(
            [&] { return gpsBlocks.size() >= gpsFrom + 3 && deviceBlocks.size() >= deviceFrom + 3; }));
        QCoreApplication::processEvents(); // what the last block posted
        EXPECT_EQ(paints.painted().join(u' ').toStdString(), "") << "labels drawn again";
        EXPECT_EQ(window.findChild<QLabel*>(QStringLiteral("LDateTime"))->text().toStdString(), shown.toStdString());
        window.close();
    }
    qunsetenv("RVCONF_HOME");
}
