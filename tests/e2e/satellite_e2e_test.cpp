// The satellite tariff plan against the virtual unit and its stand-in tariff server: the program reads a unit
// with the satellite modem and no plan, the user ticks the transmitter, the window asks the unit for the
// modem's IMEI and the server for the plan, and the plan with its parameters reaches the unit on the write.

#include "core/config/fcg_file.h"
#include "core/config/records.h"
#include "core/link/serial_link.h"
#include "core/monitor/monitor_blocks.h"
#include "core/protocol/device_session.h"
#include "support/rvsim_process.h"
#include "support/wait.h"
#include "ui/app/main_window.h"
#include "ui/app/session_binding.h"
#include "ui/config/config_pages.h"

#include <QCheckBox>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace rv;
using rvtest::waitUntil;

namespace {

// `line`: extra options of the unit's line (--split).
void planFromTheServer(const QStringList& line)
{
    QTcpServer probe; // a free loopback port for the tariff server
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const QByteArray tariffPort = QByteArray::number(probe.serverPort());
    probe.close();

    QTemporaryDir home;
    const QString port = home.filePath(QStringLiteral("ttyRV0"));
    qputenv("RVCONF_HOME", home.path().toLocal8Bit());
    {
        QFile ini(home.filePath(QStringLiteral("Config.ini")));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write("[Config]\r\nCom port=" + port.toLocal8Bit() + "\r\nFile conf=default.fcg\r\nTariff server=127.0.0.1:"
                  + tariffPort + "\r\n");
    }
    ConfigRecords onUnit;
    onUnit.config.setNumber(u"FormatMark", 0xF0);
    onUnit.config.setNumber(u"Device2", 5);
    onUnit.config.setNumber(u"IRbuf", 340);
    rvtest::RvsimProcess unit(QStringLiteral(RVSIM_PATH), onUnit,
                              QStringList{QStringLiteral("--link"), port, QStringLiteral("--sat-imei-on-request"),
                               QStringLiteral("--tariff"), QString::fromLatin1(tariffPort), QStringLiteral("--tariff-plan"),
                               QStringLiteral("5"), QStringLiteral("--tariff-text"),
                               QStringLiteral("stype=0,bsize=200,wrtype=0,dist=5,tmove=30,tstop=0")}
                                  + line);
    ASSERT_TRUE(unit.started());

    ConfigRecords records;
    MonitorBlocks monitor;
    SerialLink link;
    SessionController session(link, &records, &monitor);
    {
        MainWindow window{records};
        SessionBinding binding(window, session);
        ConfigPages pages(window, session);
        auto messages = [&window] {
            QStringList out;
            for (QMessageBox* box : window.findChildren<QMessageBox*>(QStringLiteral("MessageBox")))
                out << box->text();
            return out;
        };
        window.show();
        ASSERT_TRUE(waitUntil([&] { return window.statusText(0) == QStringLiteral("Считано с устройства"); }));
        // A box shows the line breaks as its own.
        EXPECT_TRUE(messages().contains(QStringLiteral("Спутниковый модем подключен, но для него не задан тарифный "
                                                       "план !\nПерейдите на вкладку \"Спутниковый модем\"")));

        QDialog* tariff = window.window(QStringLiteral("TForm15"));
        ASSERT_NE(tariff, nullptr);
        QSignalSpy closed(tariff, &QDialog::finished);
        window.findChild<QCheckBox*>(QStringLiteral("RzCheckBox3"))->click();
        ASSERT_TRUE(tariff->isVisible());
        // The unit has no IMEI until asked; then the window goes to the server and back.
        ASSERT_TRUE(waitUntil([&] { return !closed.isEmpty(); }));
        EXPECT_GE(unit.count("CONFIGZ"), 1);
        EXPECT_TRUE(unit.received().contains(QByteArray("CONFIGZ\x01\x01")));
        EXPECT_EQ(window.findChild<QLabel*>(QStringLiteral("Label230"))->text(), QStringLiteral("Тариф: D2"));
        EXPECT_EQ(uint8_t(records.config.bytes().at(511)), 0x85);

        QSignalSpy written(&session, &SessionController::writeCycleFinished);
        window.Upload_deviceClick();
        ASSERT_TRUE(waitUntil([&] { return !written.isEmpty(); }));
        ConfigRecords held;
        ASSERT_TRUE(openFcg(unit.statePath(), held).ok());
        EXPECT_EQ(uint8_t(held.config.bytes().at(511)), 0x85);
        EXPECT_EQ(held.config.bytes().mid(508, 3), QByteArray("\xC8\x00\x05", 3)); // IRbuf 200, IRDIST 5
        EXPECT_EQ(held.config.bytes().mid(496, 2), QByteArray("\x1E\x00", 2));     // IRSAVEINT_ 30
        EXPECT_EQ(uint8_t(held.config.bytes().at(494)) & 0x3A, 0x10);            // by distance, nothing else
        window.close();
    }
    qunsetenv("RVCONF_HOME");
}

} // namespace

TEST(SatelliteE2E, PlanFromTheServerWithTheImeiTheUnitFetched_ReachesTheUnit)
{
    planFromTheServer({});
}

TEST(SatelliteE2E, PlanFromTheServer_ReplyBytesInRandomPieces)
{
    planFromTheServer({QStringLiteral("--split")});
}
