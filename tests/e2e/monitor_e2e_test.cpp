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

// rvconf's parts put together as the program does, watching a virtual unit started with `args`; the window
// is shown by the test (discovery starts a second later, the automatic read follows the first DEVICE block).
struct Watching {
    struct Home {
        Home() { qputenv("RVCONF_HOME", dir.path().toLocal8Bit()); }
        ~Home() { qunsetenv("RVCONF_HOME"); }
        QTemporaryDir dir;
    };

    explicit Watching(const QStringList& args = {}) : unit(QStringLiteral(RVSIM_PATH), args)
    {
        window.setPortOverride(unit.pty());
    }
    ~Watching() { window.close(); }
    QString label(const char* name) const { return window.findChild<QLabel*>(QLatin1String(name))->text(); }

    Home home;
    rvtest::RvsimProcess unit;
    ConfigRecords records;
    MonitorBlocks blocks;
    SerialLink link;
    SessionController session{link, &records, &blocks};
    MainWindow window{records};
    SessionBinding binding{window, session};
    MonitorBinding monitor{window, session};
    QSignalSpy gpsBlocks{&session, &SessionController::gpsReceived};
    QSignalSpy deviceBlocks{&session, &SessionController::deviceReceived};
};

TEST(MonitorE2E, MonitorPageAndCanListFollowTheUnit)
{
    Watching w;
    ASSERT_TRUE(w.unit.started());
    w.window.show();
    ASSERT_TRUE(waitUntil([&] { return w.gpsBlocks.size() >= 1; }));
    const QString firstTime = w.label("LDateTime");
    EXPECT_TRUE(firstTime.startsWith(QStringLiteral("Дата и время: 01.01.2026 00:"))) << firstTime.toStdString();
    ASSERT_TRUE(waitUntil([&] { return w.gpsBlocks.size() >= 2; }));
    EXPECT_NE(w.label("LDateTime"), firstTime);
    EXPECT_EQ(w.label("LNumber"), QStringLiteral("ID устройства: 1234"));
    EXPECT_EQ(w.label("Label208"), QStringLiteral("Тип прибора: RV-2 v2"));

    // The CAN scanner: once asked, the unit follows its device replies with the scanner records.
    auto* memo = w.window.findChild<QPlainTextEdit*>(QStringLiteral("CAN_memo"));
    w.window.findChild<QCheckBox*>(QStringLiteral("SCANCAN_en"))->click();
    ASSERT_TRUE(waitUntil([&] { return memo->blockCount() >= 41; }));
    EXPECT_TRUE(memo->toPlainText().startsWith(QStringLiteral("Frame: ")));
    EXPECT_TRUE(memo->toPlainText().contains(QStringLiteral("\nID: 0CF00400 DataA: ")));
    EXPECT_GE(w.unit.count("CONFIGR"), 1);
}

// While no value of the unit moves, the monitor draws nothing again: every poll's reply is worked out, and
// each label whose text stays is left alone (the cost of watching a unit with the page open).
TEST(MonitorE2E, AStillUnitLeavesThePageAsItIs)
{
    Watching w({QStringLiteral("--still")});
    ASSERT_TRUE(w.unit.started());
    w.window.show();
    // The automatic read first, then two GPS blocks more, so that the DEVICE labels have been drawn too.
    ASSERT_TRUE(waitUntil([&] { return w.unit.count("CONFIGS") >= 1; }));
    const qsizetype gpsSeen = w.gpsBlocks.size();
    ASSERT_TRUE(waitUntil([&] { return w.gpsBlocks.size() >= gpsSeen + 2 && w.deviceBlocks.size() >= 2; }));
    QWidget* page = w.window.page(nav::Monitor);
    ASSERT_NE(page, nullptr);
    ASSERT_EQ(w.window.currentPage(), nav::Monitor);
    const QString shown = w.label("LDateTime");

    PaintCounter paints(page);
    const qsizetype gpsFrom = w.gpsBlocks.size(), deviceFrom = w.deviceBlocks.size();
    ASSERT_TRUE(waitUntil(
        [&] { return w.gpsBlocks.size() >= gpsFrom + 3 && w.deviceBlocks.size() >= deviceFrom + 3; }));
    QCoreApplication::processEvents(); // what the last block posted
    EXPECT_EQ(paints.painted().join(u' ').toStdString(), "") << "labels drawn again";
    EXPECT_EQ(w.label("LDateTime").toStdString(), shown.toStdString());
}
