// The server window TForm10 and the network binding in the main window, with the session's frames fed
// straight in (no unit on the socket): typing rules, start and stop, greeting labels, the tool bar.

#include "core/config/records.h"
#include "core/link/memory_link.h"
#include "core/monitor/monitor_blocks.h"
#include "core/protocol/device_session.h"
#include "core/protocol/remote_session.h"
#include "ui/app/main_window.h"
#include "ui/app/session_binding.h"
#include "ui/link/network_binding.h"
#include "ui/link/server_window.h"
#include "ui/monitor/monitor_binding.h"
#include "support/wait.h"
#include "ui/protocol/port_dialog.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QFile>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace rv;

namespace {

const QByteArray kGreeting = QByteArray::fromHex("1200d2043836313233343536373839303132331c5201");

class ServerWindowTest : public ::testing::Test {
protected:
    QTemporaryDir home;
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

    void SetUp() override
    {
        qputenv("RVCONF_HOME", home.path().toLocal8Bit());
        remote.setSender([](const QByteArray&) {});
        s.setPortName(QStringLiteral("unit"));
        s.start(false);
    }
    void TearDown() override { qunsetenv("RVCONF_HOME"); }

    template <typename T = QWidget>
    T* in(QWidget* root, const char* name) const { return root->findChild<T*>(QLatin1String(name)); }
    QString label(const char* name) const { auto* l = in<QLabel>(const_cast<MainWindow*>(&w), name); return l ? l->text() : QString(); }
    bool enabled(const char* name) const { auto* b = in(const_cast<MainWindow*>(&w), name); return b && b->isEnabled(); }
    QStringList messages() const
    {
        QStringList out;
        for (QMessageBox* box : w.findChildren<QMessageBox*>(QStringLiteral("MessageBox")))
            out << box->text();
        return out;
    }
    void chooseLoopback()
    {
        auto* address = in<QComboBox>(server, "Address");
        const int i = address->findText(QStringLiteral("127.0.0.1"));
        ASSERT_GE(i, 0);
        address->setCurrentIndex(i);
    }
};

} // namespace

TEST_F(ServerWindowTest, PortTakesDigitsOnlyAndAtMost65535)
{
    EXPECT_EQ(w.window(QStringLiteral("TForm10")), server);
    EXPECT_EQ(server->windowTitle(), QStringLiteral("Сервер"));
    auto* port = in<QLineEdit>(server, "Port");
    ASSERT_NE(port, nullptr);
    EXPECT_EQ(port->text(), QStringLiteral("12500"));
    port->clear();
    QTest::keyClicks(port, QStringLiteral("1a2"));
    EXPECT_EQ(port->text(), QStringLiteral("12"));
    port->clear();
    QTest::keyClicks(port, QStringLiteral("70000"));
    EXPECT_EQ(port->text(), QStringLiteral("65535"));
    QTest::keyClick(port, Qt::Key_Backspace);
    EXPECT_EQ(port->text(), QStringLiteral("6553"));
}

TEST_F(ServerWindowTest, StartAndStop_EmptyPortRefused_StopDisablesTheToolBar)
{
    auto* port = in<QLineEdit>(server, "Port");
    auto* button = in<QPushButton>(server, "Start_server");
    port->clear();
    server->Start_serverClick();
    EXPECT_TRUE(messages().contains(QStringLiteral("Введите порт сервера !")));
    EXPECT_EQ(in<QLabel>(server, "Label2")->text(), QStringLiteral("Сервер остановлен"));
    EXPECT_FALSE(remote.serverRunning());

    chooseLoopback();
    port->setText(QStringLiteral("0"));
    QTest::mouseClick(button, Qt::LeftButton);
    ASSERT_TRUE(remote.serverRunning());
    EXPECT_EQ(in<QLabel>(server, "Label2")->text(), QStringLiteral("Ожидается соединение..."));
    EXPECT_EQ(button->text(), QStringLiteral("Остановить"));
    EXPECT_FALSE(port->isEnabled());

    w.Button_Enabled(true);
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_FALSE(remote.serverRunning());
    EXPECT_EQ(in<QLabel>(server, "Label2")->text(), QStringLiteral("Сервер остановлен"));
    EXPECT_EQ(button->text(), QStringLiteral("Запустить"));
    for (const char* name : {"Download_device", "Upload_device", "Reset_but", "Erase_track"})
        EXPECT_FALSE(enabled(name)) << name; // even though no unit had called
}

TEST_F(ServerWindowTest, TcpIpOpensTheWindow_GreetingFillsTheMonitor_SerialChoiceClosesIt)
{
    sessionBinding.portDialog()->setCurrentPort(QStringLiteral("unit"));
    emit sessionBinding.portDialog()->portChosen(QStringLiteral("TCP/IP"));
    EXPECT_TRUE(server->isVisible());

    chooseLoopback();
    in<QLineEdit>(server, "Port")->setText(QStringLiteral("0"));
    server->Start_serverClick();
    remote.receive(kGreeting);
    EXPECT_EQ(in<QLabel>(server, "Label2")->text(), QStringLiteral("Соединение установлено"));
    EXPECT_EQ(label("LNumber"), QStringLiteral("ID устройства: 1234"));
    EXPECT_EQ(label("LIMEI"), QStringLiteral("861234567890123"));
    EXPECT_EQ(label("LVer"), QStringLiteral("Прошивка: 28"));
    EXPECT_EQ(w.deviceType(), 4);
    EXPECT_EQ(w.currentPage(), 1); // the Monitor page
    for (const char* name : {"Download_device", "Upload_device", "Reset_but", "Erase_track"})
        EXPECT_TRUE(enabled(name)) << name;
    EXPECT_FALSE(enabled("Program_but")); // serial only

    emit sessionBinding.portDialog()->portChosen(QStringLiteral("unit"));
    EXPECT_FALSE(server->isVisible());
    EXPECT_FALSE(remote.serverRunning());
    EXPECT_TRUE(link.isOpen());
}

TEST_F(ServerWindowTest, WhoMayConnectComesFromConfigIni_ABadListKeepsTheServerStopped)
{
    auto* allow = in<QLabel>(server, "LAllow");
    EXPECT_EQ(allow->text(), QStringLiteral("Подключиться может любое устройство"));
    EXPECT_EQ(in<QComboBox>(server, "Address")->currentText(), QStringLiteral("Все интерфейсы"));
    chooseLoopback();
    in<QLineEdit>(server, "Port")->setText(QStringLiteral("0"));
    const auto writeIni = [&](const QByteArray& text) {
        QFile f(home.filePath(QStringLiteral("Config.ini")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    };
    // A typing slip in the list must not open the server to anyone.
    writeIni("[Server]\nAllow=861234567890123,86123456789012\n");
    server->Start_serverClick();
    EXPECT_FALSE(remote.serverRunning());
    EXPECT_FALSE(messages().filter(QStringLiteral("Сервер не запущен")).isEmpty()) << messages().join('|').toStdString();

    writeIni("[Server]\nAllow=861234567890123\n");
    server->Start_serverClick();
    ASSERT_TRUE(remote.serverRunning());
    EXPECT_EQ(allow->text(), QStringLiteral("Подключиться могут только устройства из списка (Config.ini, [Server]): 1"));
    remote.receive(kGreeting); // IMEI 861234567890123
    EXPECT_EQ(label("LIMEI"), QStringLiteral("861234567890123"));
    auto* units = in<QTableWidget>(server, "Units");
    ASSERT_TRUE(rvtest::waitUntil([&] { return units->rowCount() == 1; }, 60000));
    EXPECT_EQ(units->item(0, 1)->text(), QStringLiteral("861234567890123"));
}

// A list given empty keeps the server stopped, as a bad one does: the window never opens it to anyone
// unasked. The networks allowed are shown beside the list.
TEST_F(ServerWindowTest, AnAllowListGivenEmptyKeepsTheServerStopped_TheNetworksAreShown)
{
    chooseLoopback();
    in<QLineEdit>(server, "Port")->setText(QStringLiteral("0"));
    const auto writeIni = [&](const QByteArray& text) {
        QFile f(home.filePath(QStringLiteral("Config.ini")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    };
    const QString list = home.filePath(QStringLiteral("fleet.txt"));
    {
        QFile f(list);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("# no units yet\n");
    }
    for (const QByteArray& ini : {QByteArray("[Server]\nAllow=\n"), "[Server]\nAllow file=" + list.toUtf8() + "\n",
                                  QByteArray("[Server]\nAllow file=/dev/null\n"), QByteArray("[Server]\nAllow net=\n")}) {
        SCOPED_TRACE(ini.toStdString());
        for (QMessageBox* box : w.findChildren<QMessageBox*>(QStringLiteral("MessageBox")))
            box->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        writeIni(ini);
        server->Start_serverClick();
        EXPECT_FALSE(remote.serverRunning());
        EXPECT_FALSE(messages().filter(QStringLiteral("Сервер не запущен")).isEmpty()) << messages().join('|').toStdString();
    }

    writeIni("[Server]\nAllow=861234567890123\nAllow net=127.0.0.0/8\n");
    server->Start_serverClick();
    ASSERT_TRUE(remote.serverRunning());
    EXPECT_EQ(in<QLabel>(server, "LAllow")->text(),
              QStringLiteral("Подключиться могут только устройства из списка (Config.ini, [Server]): 1; только из сетей 127.0.0.0/8"));
}
