// Several units at once on the server window: three virtual units call from one process; the user picks
// each in turn in the list and writes to it, and each configuration lands in that unit and no other.

#include "core/config/fcg_file.h"
#include "core/link/memory_link.h"
#include "core/monitor/monitor_blocks.h"
#include "core/protocol/device_session.h"
#include "core/protocol/remote_session.h"
#include "support/rvsim_process.h"
#include "support/wait.h"
#include "ui/app/main_window.h"
#include "ui/app/session_binding.h"
#include "ui/link/network_binding.h"
#include "ui/link/server_window.h"
#include "ui/monitor/monitor_binding.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace rv;
using rvtest::waitUntil;

#if defined(RVSIM_PATH)

TEST(ServerUnitsE2E, ThreeUnitsAtOncePickedInTurnInTheWindow)
{
    QTemporaryDir home;
    qputenv("RVCONF_HOME", home.path().toLocal8Bit());
    MemoryLink link;
    ConfigRecords records;
    MonitorBlocks blocks;
    SessionController s{link, &records, &blocks};
    RemoteSession remote{s};
    MainWindow w{records};
    SessionBinding sessionBinding{w, s, false};
    MonitorBinding monitor{w, s};
    NetworkBinding network{w, remote};
    ServerWindow* server = network.serverWindow();
    QStringList closed;
    QObject::connect(&s.progress(), &ProgressWatchdog::closed, [&](const QString& t) { closed << t; });
    s.setPortName(QStringLiteral("TCP/IP"));
    s.start(true);

    auto* address = server->findChild<QComboBox*>(QStringLiteral("Address"));
    EXPECT_EQ(address->currentText(), QStringLiteral("Все интерфейсы"));
    address->setCurrentIndex(address->findText(QStringLiteral("127.0.0.1")));
    auto* port = server->findChild<QLineEdit*>(QStringLiteral("Port"));
    port->clear();
    QTest::keyClicks(port, QStringLiteral("0"));
    QTest::mouseClick(server->findChild<QPushButton*>(QStringLiteral("Start_server")), Qt::LeftButton);
    ASSERT_TRUE(remote.serverRunning());
    EXPECT_EQ(server->findChild<QLabel*>(QStringLiteral("LAllow"))->text(), QStringLiteral("Подключиться может любое устройство"));

    rvtest::RvsimProcess units(QStringLiteral(RVSIM_PATH),
                               {QStringLiteral("--tcp"), QStringLiteral("127.0.0.1:%1").arg(remote.server().port()),
                                QStringLiteral("--units"), QStringLiteral("3")});
    ASSERT_TRUE(units.started());
    auto* table = server->findChild<QTableWidget*>(QStringLiteral("Units"));
    ASSERT_TRUE(waitUntil([&] { return remote.units().units().greetedCount() == 3 && table->rowCount() == 3; }, 60000));

    auto* upload = w.findChild<QToolButton*>(QStringLiteral("Upload_device"));
    ASSERT_NE(upload, nullptr);
    QMap<QString, int> writtenId; // IMEI -> the ID_Device written to it
    for (int row : {2, 0, 1}) {
        const QString imei = table->item(row, 1)->text();
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->visualItemRect(table->item(row, 1)).center());
        QTest::mouseClick(server->findChild<QPushButton*>(QStringLiteral("Select_unit")), Qt::LeftButton);
        ASSERT_EQ(remote.greetingInfo().imei, imei);
        EXPECT_EQ(w.findChild<QLabel*>(QStringLiteral("LIMEI"))->text(), imei);
        EXPECT_TRUE(waitUntil([&] { return table->item(row, 1)->font().bold(); }, 60000)); // the unit worked with

        const int id = 500 + row;
        ASSERT_EQ(records.config.setNumber(u"ID_Device", id), FieldError::None);
        writtenId[imei] = id;
        QTest::mouseClick(upload, Qt::LeftButton);
        const QString done = QStringLiteral("Конфигурация записана\nID устройства: %1, IMEI %2")
                                 .arg(remote.greetingInfo().unitId).arg(imei);
        ASSERT_TRUE(waitUntil([&] { return closed.contains(done); }, 60000)) << closed.join(',').toStdString();
    }
    // Unit i keeps its records in unit.fcg, unit-1.fcg, unit-2.fcg and has IMEI 861234567890123 + i.
    for (int i = 0; i < 3; ++i) {
        ConfigRecords held;
        const QString path = i == 0 ? units.statePath() : units.statePath().chopped(4) + QStringLiteral("-%1.fcg").arg(i);
        ASSERT_TRUE(openFcg(path, held).ok()) << path.toStdString();
        EXPECT_EQ(held.config.number(u"ID_Device").value, writtenId.value(QString::number(861234567890123LL + i)));
    }
    qunsetenv("RVCONF_HOME");
}

#endif
