// "Сравнить с устройством" against the virtual unit: the program as a user runs it reads the unit, the user
// changes one control, compares, writes from the comparison window and compares again.

#include "core/config/fcg_file.h"
#include "core/config/records.h"
#include "core/link/memory_link.h"
#include "core/link/serial_link.h"
#include "core/monitor/monitor_blocks.h"
#include "core/protocol/device_session.h"
#include "core/protocol/remote_session.h"
#include "support/rvsim_process.h"
#include "support/tool_run.h"
#include "support/unusual_records.h"
#include "support/wait.h"
#include "ui/app/main_window.h"
#include "ui/app/session_binding.h"
#include "ui/config/compare_window.h"
#include "ui/config/config_pages.h"
#include "ui/link/network_binding.h"
#include "ui/link/server_window.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <memory>

using namespace rv;
using rvtest::waitUntil;

namespace {

struct Program {
    QTemporaryDir home;
    QString port = home.filePath(QStringLiteral("ttyRV0"));
    SerialLink link;
    ConfigRecords records;
    MonitorBlocks monitor;
    SessionController session{link, &records, &monitor};
    MainWindow window{records};
    SessionBinding binding{window, session};
    ConfigPages pages{window, session};
    CompareBinding compare{window, session, pages};
    QStringList closed;

    Program()
    {
        qputenv("RVCONF_HOME", home.path().toLocal8Bit());
        QFile ini(home.filePath(QStringLiteral("Config.ini")));
        if (ini.open(QIODevice::WriteOnly))
            ini.write("[Config]\r\nCom port=" + port.toLocal8Bit() + "\r\nFile conf=default.fcg\r\n");
        QObject::connect(&session.progress(), &ProgressWatchdog::closed, [this](const QString& t) { closed << t; });
    }
    ~Program()
    {
        window.close();
        qunsetenv("RVCONF_HOME");
    }
    bool startAndRead()
    {
        window.show();
        return waitUntil([this] { return window.statusText(0) == QStringLiteral("Считано с устройства"); });
    }
    // The tool button beside "Записать"; true once the window shows the result.
    bool compareWithUnit()
    {
        QSignalSpy done(&session, &SessionController::copyReadFinished);
        window.findChild<QAbstractButton*>(QStringLiteral("Compare_device"))->click();
        return waitUntil([&] { return !done.isEmpty() && compare.window()->isVisible(); });
    }
    QByteArray recordBytes() const
    {
        return records.config.bytes() + records.inpOut.bytes() + records.confSe.bytes();
    }
};

ConfigRecords held(const rvtest::RvsimProcess& unit)
{
    ConfigRecords r;
    EXPECT_TRUE(openFcg(unit.statePath(), r).ok());
    return r;
}

} // namespace

TEST(CompareE2E, OneChangedControlIsListedWithBothValues_WrittenFromTheWindow_ThenNothingIsListed)
{
    for (bool split : {false, true}) {
        SCOPED_TRACE(split ? "split" : "whole");
        auto program = std::make_unique<Program>();
        QStringList args{QStringLiteral("--link"), program->port};
        if (split)
            args << QStringLiteral("--split");
        // Records that survive a read and a write unchanged, odd values included: a difference is the user's.
        rvtest::RvsimProcess unit(QStringLiteral(RVSIM_PATH), rvtest::unusualRecords(), args);
        ASSERT_TRUE(unit.started());
        ASSERT_TRUE(program->startAndRead()) << program->closed.join(u',').toStdString();
        const qint64 unitId = program->records.config.number(u"ID_Device").value; // as read
        const qint64 newId = unitId == 4321 ? 1234 : 4321;

        // The user types a new ID on "Настройки соединения".
        program->window.tree()->setCurrentItem(program->window.node(QStringLiteral("Настройки соединения")));
        program->window.TreeView1Click();
        auto* id = program->window.findChild<QLineEdit*>(QStringLiteral("ID_Device"));
        ASSERT_NE(id, nullptr);
        id->setFocus();
        id->selectAll();
        QTest::keyClicks(id, QString::number(newId));
        const QByteArray before = program->recordBytes();
        // Counted in the unit's log of received bytes, which only grows.
        const auto sent = [&unit](const char* word) { return unit.received().count(word); };
        const qsizetype reads = sent("CONFIGR");

        ASSERT_TRUE(program->compareWithUnit()) << program->closed.join(u',').toStdString();
        EXPECT_EQ(sent("CONFIGR"), reads + 1);
        EXPECT_EQ(sent("CONFIGW"), 0);
        const QList<RecordDifference> d = program->compare.window()->differences();
        ASSERT_EQ(d.size(), 1) << formatDifferences(d).toStdString();
        EXPECT_EQ(d[0].name, QStringLiteral("Настройки соединения › ID устройства"));
        EXPECT_EQ(d[0].before, QString::number(unitId));
        EXPECT_EQ(d[0].after, QString::number(newId));
        // The comparison read the unit into a copy: the program's records and the edit are as they were.
        EXPECT_EQ(program->recordBytes(), before);
        EXPECT_EQ(id->text(), QString::number(newId));
        EXPECT_NE(program->window.statusText(0), QString()); // the read left its own panel text alone

        // "Записать" in the window runs the ordinary write; the unit then holds the new ID.
        QSignalSpy written(&program->session, &SessionController::writeCycleFinished);
        program->compare.window()->writeButton()->click();
        ASSERT_TRUE(waitUntil([&] { return !written.isEmpty(); })) << program->closed.join(u',').toStdString();
        EXPECT_EQ(held(unit).config.number(u"ID_Device").value, newId);

        ASSERT_TRUE(program->compareWithUnit());
        EXPECT_TRUE(program->compare.window()->differences().isEmpty())
            << formatDifferences(program->compare.window()->differences()).toStdString();
        EXPECT_EQ(program->compare.window()->summary()->text(), QStringLiteral("Различий нет"));
    }
}

TEST(CompareE2E, RvctlListsWhatWritingAFileWouldChangeOnTheUnit)
{
    QTemporaryDir dir;
    const ConfigRecords unusual = rvtest::unusualRecords();
    rvtest::RvsimProcess unit(QStringLiteral(RVSIM_PATH), unusual);
    ASSERT_TRUE(unit.started());
    const QString port = QStringLiteral("--port=") + unit.pty();
    const QString same = dir.filePath(QStringLiteral("same.fcg"));
    const QString other = dir.filePath(QStringLiteral("other.fcg"));
    ASSERT_EQ(saveFcg(same, unusual), FcgStatus::Ok);
    ConfigRecords changed = unusual;
    const qint64 id = unusual.config.number(u"ID_Device").value;
    ASSERT_EQ(changed.config.setNumber(u"ID_Device", id == 4321 ? 1234 : 4321), FieldError::None);
    ASSERT_EQ(saveFcg(other, changed), FcgStatus::Ok);

    rvtest::ToolRun r = rvtest::runTool(QStringLiteral(RVCTL_PATH), {port, QStringLiteral("diff"), same});
    EXPECT_EQ(r.code, 0) << qPrintable(r.err);
    EXPECT_EQ(r.out, QString());
    r = rvtest::runTool(QStringLiteral(RVCTL_PATH), {port, QStringLiteral("diff"), other});
    EXPECT_EQ(r.code, 1) << qPrintable(r.err);
    EXPECT_EQ(r.out, QStringLiteral("Настройки соединения › ID устройства: %1 -> %2\n")
                         .arg(id)
                         .arg(changed.config.number(u"ID_Device").value));
    EXPECT_EQ(unit.received().count("CONFIGW"), 0); // a comparison writes nothing
}

// "Сравнить" with a unit that called over the network: greyed out until a unit is attached, then the
// remote session reads its three records into the copy as the read would, and the window lists the one
// control the user changed; the program's records stay as they were and nothing is written.
TEST(CompareE2E, AUnitThatCalledOverTheNetworkIsComparedAsOneOnTheCable)
{
    QTemporaryDir home;
    qputenv("RVCONF_HOME", home.path().toLocal8Bit());
    MemoryLink link; // the serial side stays unused
    ConfigRecords records;
    MonitorBlocks monitor;
    SessionController session{link, &records, &monitor};
    RemoteSession remote{session};
    MainWindow window{records};
    SessionBinding binding{window, session, false};
    ConfigPages pages{window, session};
    CompareBinding compare{window, session, pages};
    NetworkBinding network{window, remote};
    QStringList closed;
    QObject::connect(&session.progress(), &ProgressWatchdog::closed, [&](const QString& t) { closed << t; });
    session.setPortName(QStringLiteral("TCP/IP"));
    session.start(true);
    auto* button = window.findChild<QAbstractButton*>(QStringLiteral("Compare_device"));
    ASSERT_NE(button, nullptr);
    EXPECT_FALSE(button->isEnabled());

    ServerWindow* server = network.serverWindow();
    auto* address = server->findChild<QComboBox*>(QStringLiteral("Address"));
    address->setCurrentIndex(address->findText(QStringLiteral("127.0.0.1")));
    auto* port = server->findChild<QLineEdit*>(QStringLiteral("Port"));
    port->clear();
    QTest::keyClicks(port, QStringLiteral("0"));
    QTest::mouseClick(server->findChild<QPushButton*>(QStringLiteral("Start_server")), Qt::LeftButton);
    ASSERT_TRUE(remote.serverRunning());
    const ConfigRecords unusual = rvtest::unusualRecords();
    rvtest::RvsimProcess unit(QStringLiteral(RVSIM_PATH), unusual,
                              {QStringLiteral("--tcp"), QStringLiteral("127.0.0.1:%1").arg(remote.server().port())});
    ASSERT_TRUE(unit.started());
    ASSERT_TRUE(waitUntil([&] { return remote.unitAttached(); }));
    EXPECT_TRUE(button->isEnabled());

    // "Считать", then the user types a new ID.
    QTest::mouseClick(window.findChild<QAbstractButton*>(QStringLiteral("Download_device")), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return closed.contains(QStringLiteral("Конфигурация считана")); })) << closed.join(u',').toStdString();
    const qint64 unitId = records.config.number(u"ID_Device").value;
    ASSERT_EQ(unitId, unusual.config.number(u"ID_Device").value);
    const qint64 newId = unitId == 4321 ? 1234 : 4321;
    window.tree()->setCurrentItem(window.node(QStringLiteral("Настройки соединения")));
    window.TreeView1Click();
    auto* id = window.findChild<QLineEdit*>(QStringLiteral("ID_Device"));
    ASSERT_NE(id, nullptr);
    id->setFocus();
    id->selectAll();
    QTest::keyClicks(id, QString::number(newId));
    const QByteArray before = records.config.bytes() + records.inpOut.bytes() + records.confSe.bytes();
    QSignalSpy received(&session, &SessionController::recordReceived);

    QSignalSpy done(&session, &SessionController::copyReadFinished);
    QTest::mouseClick(button, Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return !done.isEmpty() && compare.window()->isVisible(); })) << closed.join(u',').toStdString();
    EXPECT_TRUE(done.at(0).at(0).toBool());
    const QList<RecordDifference> d = compare.window()->differences();
    ASSERT_EQ(d.size(), 1) << formatDifferences(d).toStdString();
    EXPECT_EQ(d[0].name, QStringLiteral("Настройки соединения › ID устройства"));
    EXPECT_EQ(d[0].before, QString::number(unitId));
    EXPECT_EQ(d[0].after, QString::number(newId));
    EXPECT_EQ(records.config.bytes() + records.inpOut.bytes() + records.confSe.bytes(), before);
    EXPECT_TRUE(received.isEmpty()); // no page was refreshed from the copy
    EXPECT_EQ(id->text(), QString::number(newId));
    ConfigRecords held;
    ASSERT_TRUE(openFcg(unit.statePath(), held).ok());
    EXPECT_EQ(held.config.number(u"ID_Device").value, unitId); // nothing was written
    qunsetenv("RVCONF_HOME");
}
