#include "../config/pages_fixture.h"
#include "../../support/unit_bytes.h"
#include "../../support/unusual_records.h"
#include "../../support/wait.h"

#include "core/config/fcg_file.h"
#include "core/satellite/tariff_exchange.h"
#include "ui/app/navigation.h"
#include "ui/satellite/sat_modem_page.h"
#include "ui/satellite/tariff_window.h"

#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QRadioButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

using namespace rv;

namespace {

constexpr uint8_t kIridium = 5;

class SatModemPages : public rvtest::PagesTest {
protected:
    SatModemPage* page() const { return qobject_cast<SatModemPage*>(w.page(nav::SAT_modem)); }
    TariffWindow* tariffWindow() const { return qobject_cast<TariffWindow*>(w.window(QStringLiteral("TForm15"))); }
    QStringList messages() const
    {
        QStringList out;
        for (QMessageBox* box : w.findChildren<QMessageBox*>(QStringLiteral("MessageBox")))
            out << box->text();
        return out;
    }
    // Whether a message box shows `text` (a box shows the unit's line breaks as its own).
    bool shown(QString text) const
    {
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        return messages().contains(text);
    }
    QString text(const char* label) const { return control<QLabel>(label)->text(); }
    bool checked(const char* name) const { return control<QAbstractButton>(name)->isChecked(); }
    bool groupsEnabled() const
    {
        const bool on = control("RzRadioGroup2")->isEnabled();
        EXPECT_EQ(control("RzGroupBox50")->isEnabled(), on);
        EXPECT_EQ(control("RzGroupBox51")->isEnabled(), on);
        return on;
    }
    uint8_t tariffByte() const { return uint8_t(records.config.bytes().at(511)); }
    // A configuration with the satellite modem on port 2 (or `device`) and `tariff`, shown on the pages.
    void loadWith(uint8_t device, uint8_t tariff)
    {
        ConfigRecords r;
        r.config.setNumber(u"Device2", device);
        r.config.setNumber(u"SatTariff", tariff);
        r.config.setNumber(u"IRbuf", 100);
        load(r);
    }
    void writeIni(const QByteArray& text)
    {
        QFile f(home.filePath(QStringLiteral("Config.ini")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    void clickTransmitter() { QTest::mouseClick(control<QCheckBox>("RzCheckBox3"), Qt::LeftButton); }
};

TEST_F(SatModemPages, ThePageHasItsControls)
{
    const char* names[] = {"RzRadioGroup2", "IRbufsend", "IRbuf", "IRmessend", "RzGroupBox50", "IRbyTime", "IRbyDist",
                           "IRSAVEINT_", "IRDIST", "IRparking", "IRPARKTIME", "RzGroupBox51", "HandIridium",
                           "RzCheckBox3", "Label230", "Label231", "Label232", "Label233", "Label234", "Label240", "RzRG4"};
    for (const char* name : names)
        EXPECT_TRUE(page()->findChild<QWidget*>(QLatin1String(name))) << name;
    EXPECT_FALSE(groupsEnabled());
    EXPECT_TRUE(control("Label240")->isHidden());
    EXPECT_EQ(control<QGroupBox>("RzRG4")->title(), "Прибор настроен на работу с сервисом");
    EXPECT_EQ(tariffWindow()->windowTitle(), "Получение инфрмации о тарифном плане IRIDIUM");
}

TEST_F(SatModemPages, ReadFromTheUnit_ShowsThePlanOrWarnsOfNone_AndTheRecordGoesBackUnchanged)
{
    s.setPortName(QStringLiteral("unit"));
    s.start(false);
    auto steps = [this](int n) { for (int i = 0; i < n; ++i) s.Find_deviceTimer(); };
    auto unit = [this](const QByteArray& bytes) {
        link.feed(bytes);
        for (int i = 0; i < 4; ++i)
            s.Receive_timerTimer();
    };
    steps(10);
    unit(rvtest::rvTr(2, 1));
    s.session().autoReadPending = false;
    auto read = [&](uint8_t device, uint8_t tariff) {
        ConfigRecords r = rvtest::unusualRecords(); // records known to go back byte for byte
        r.config.setNumber(u"Device2", device);
        r.config.setNumber(u"SatTariff", tariff);
        s.Download_deviceClick();
        steps(10);
        unit(rvtest::recordReply("CONFIG", r.config.bytes()));
        steps(10);
        unit(rvtest::recordReply("INPOUT", r.inpOut.bytes()));
        steps(10);
        unit(rvtest::recordReply("CONFSE", r.confSe.bytes(), 0, "0"));
        return r;
    };

    read(kIridium, 0x85);
    EXPECT_EQ(text("Label230"), "Тариф: D2");
    EXPECT_EQ(text("Label233"), "включены");
    EXPECT_EQ(text("Label234"), "выключены");
    EXPECT_FALSE(groupsEnabled());
    EXPECT_FALSE(control("RzRG4")->isEnabled());
    EXPECT_FALSE(control("Label240")->isHidden());
    EXPECT_TRUE(checked("RzCheckBox3"));
    EXPECT_TRUE(checked("IRparking")); // the plan's presets
    EXPECT_FALSE(shown(QStringLiteral("Спутниковый модем подключен, но для него не задан тарифный план !\r\n"
                                      "Перейдите на вкладку \"Спутниковый модем\"")));

    // Another device on port 2: no plan is shown, and the unit's byte is written back as it came.
    const ConfigRecords other = read(1, 0x85);
    EXPECT_EQ(text("Label230"), "Тариф: не известен");
    EXPECT_FALSE(checked("RzCheckBox3"));
    EXPECT_TRUE(control("RzRG4")->isEnabled());
    link.takeWritten();
    w.Upload_deviceClick();
    steps(10);
    EXPECT_EQ(link.takeWritten(), cmd::writeConfig(other.config.bytes()).join());

    read(kIridium, 0);
    EXPECT_TRUE(shown(QStringLiteral("Спутниковый модем подключен, но для него не задан тарифный план !\r\n"
                                      "Перейдите на вкладку \"Спутниковый модем\"")));
    EXPECT_EQ(text("Label230"), "Тариф: не известен");
}

TEST_F(SatModemPages, OpeningAFileWithTheModem_ClearsTheTariffAndSaysHowToGetOne)
{
    ConfigRecords r;
    r.config.setNumber(u"Device2", kIridium);
    r.config.setNumber(u"SatTariff", 0x02);
    const QString path = home.filePath(QStringLiteral("sat.fcg"));
    ASSERT_EQ(saveFcg(path, r), FcgStatus::Ok);
    loadWith(kIridium, 0x02);
    page()->SatSetTarif(0x02, sat::SatMode::Page);
    ASSERT_TRUE(checked("RzCheckBox3"));

    w.openConfigFile(path);
    EXPECT_TRUE(shown(QStringLiteral("В конфигурации включено использование спутникового модема\r\n"
                                      "но его тарифный план не известен !\r\n"
                                      "Запишите конфигурацию в память прибора и перезагрузите его.\r\n"
                                      "Перейдите на вкладку \"Спутниковый модем\" и получите тариф.")));
    EXPECT_EQ(tariffByte(), 0);
    EXPECT_FALSE(checked("RzCheckBox3"));
    EXPECT_EQ(text("Label230"), "Тариф: не известен");

    // A file without the modem keeps its byte and says nothing.
    const QStringList before = messages();
    r.config.setNumber(u"Device2", 2);
    ASSERT_EQ(saveFcg(path, r), FcgStatus::Ok);
    w.openConfigFile(path);
    EXPECT_EQ(messages(), before);
    EXPECT_EQ(tariffByte(), 0x02);
}

TEST_F(SatModemPages, ServiceChoiceAndTransmitterBox)
{
    loadWith(kIridium, 0x01);
    page()->SatSetTarif(0x01, sat::SatMode::Page);
    EXPECT_TRUE(groupsEnabled());

    // "Сторонний": tariff 255, groups open.
    QTest::mouseClick(control<QRadioButton>("RzRG4Item1"), Qt::LeftButton);
    EXPECT_EQ(tariffByte(), 255);
    EXPECT_EQ(text("Label230"), "Тариф: 255");
    EXPECT_TRUE(groupsEnabled());
    EXPECT_TRUE(checked("RzCheckBox3"));
    // With 255 the box changes nothing else.
    clickTransmitter();
    EXPECT_EQ(tariffByte(), 255);
    EXPECT_TRUE(groupsEnabled());

    // Back to the service: no tariff; unchecking the transmitter clears the tariff and locks the groups.
    QTest::mouseClick(control<QRadioButton>("RzRG4Item0"), Qt::LeftButton);
    EXPECT_EQ(tariffByte(), 0);
    EXPECT_FALSE(checked("RzCheckBox3"));
    page()->SatSetTarif(0x03, sat::SatMode::Page);
    clickTransmitter();
    EXPECT_FALSE(checked("RzCheckBox3"));
    EXPECT_EQ(tariffByte(), 0);
    EXPECT_EQ(text("Label230"), "Тариф: не известен");
    EXPECT_FALSE(groupsEnabled());
    EXPECT_TRUE(messages().isEmpty());

    // Without the modem on port 2 the box cannot be ticked.
    choose("Device2", 0);
    clickTransmitter();
    EXPECT_FALSE(checked("RzCheckBox3"));
    EXPECT_TRUE(shown(QStringLiteral("В настройках периферии не указан тип спутникового передатчика.\r\n"
                                      "Укажите, Сохраните и Перезагрузите прибор !")));
    EXPECT_FALSE(tariffWindow()->isVisible());
}

TEST_F(SatModemPages, BufferSizeEdit_BoundsAndRecordBytes)
{
    loadWith(kIridium, 0x02);
    page()->SatSetTarif(0x02, sat::SatMode::Page);
    type("IRbuf", QStringLiteral("999"));
    EXPECT_EQ(control<QLineEdit>("IRbuf")->text(), "340");
    type("IRbuf", QStringLiteral("5"));
    EXPECT_EQ(control<QLineEdit>("IRbuf")->text(), "5"); // still being typed: "5" on the way to "50"
    gatherAll();
    EXPECT_EQ(control<QLineEdit>("IRbuf")->text(), "10");
    EXPECT_EQ(records.config.bytes().mid(508, 2), QByteArray("\x0A\x00", 2));
    type("IRbuf", QStringLiteral("200"));
    emit control<QLineEdit>("IRbuf")->editingFinished();
    gatherAll();
    EXPECT_EQ(records.config.bytes().mid(508, 2), QByteArray("\xC8\x00", 2));
}

// The tariff server of the satellite service, on the loopback.
class TariffServerFake {
public:
    explicit TariffServerFake(QByteArray answer)
    {
        EXPECT_TRUE(server.listen(QHostAddress::LocalHost, 0));
        QObject::connect(&server, &QTcpServer::newConnection, [this, answer] {
            QTcpSocket* c = server.nextPendingConnection();
            QObject::connect(c, &QTcpSocket::readyRead, c, [this, c, answer] {
                request += c->readAll();
                if (request.size() == sat::kRequestSize)
                    c->write(answer);
            });
        });
    }
    QTcpServer server;
    QByteArray request;
};

TEST_F(SatModemPages, TariffWindow_PlanAndParametersFromTheServer_ReachTheRecords)
{
    TariffServerFake server(QByteArray("\xFF\x00\x00\x02\x04stype=0,bsize=200,wrtype=0,dist=5,tmove=30,tstop=0\0", 56));
    writeIni("[Config]\nTariff server=127.0.0.1:" + QByteArray::number(server.server.serverPort())
             + "\nTariff service=sat.example\n");
    QByteArray device(115, '\0');
    device.replace(87, 15, "300234010753370");
    blocks.device.fillFrom(device);
    loadWith(kIridium, 0);
    page()->SatSetTarif(0, sat::SatMode::Page);

    clickTransmitter();
    TariffWindow* t = tariffWindow();
    ASSERT_TRUE(t->isVisible());
    t->timer()->stop(); // the test ticks
    t->Timer1Timer();
    EXPECT_EQ(t->findChild<QLabel*>("Label1")->text(), "IMEI: 300234010753370");
    EXPECT_EQ(t->findChild<QLabel*>("Label2")->text(),
              "Соединение с сервером sat.example (127.0.0.1:" + QString::number(server.server.serverPort()) + ")");
    ASSERT_TRUE(rvtest::waitUntil([&] { return !t->isVisible(); }));
    EXPECT_EQ(server.request, QByteArray("\xFF\x11\x00\x01" "300234010753370\0", 20));

    // Plan D1 with the server's parameters: the parameters win over the presets, all locked.
    EXPECT_EQ(tariffByte(), 0x84);
    EXPECT_EQ(text("Label230"), "Тариф: D1");
    EXPECT_TRUE(checked("RzCheckBox3"));
    EXPECT_FALSE(groupsEnabled());
    EXPECT_FALSE(control("RzRG4")->isEnabled());
    EXPECT_FALSE(control("Label240")->isHidden());
    EXPECT_TRUE(checked("IRbufsend"));
    EXPECT_TRUE(checked("IRbyDist"));
    gatherAll();
    // LinkFlags: IRmessend 0, IRbyDist 1, IRparking 0, HandIridium 0 (the preset).
    EXPECT_EQ(uint8_t(records.config.bytes().at(494)) & 0x3A, 0x10);
    EXPECT_EQ(records.config.bytes().mid(508, 3), QByteArray("\xC8\x00\x05", 3));
    EXPECT_EQ(records.config.bytes().mid(496, 2), QByteArray("\x1E\x00", 2));
    EXPECT_EQ(records.confSe.bytes().mid(16, 2), QByteArray("\x00\x00", 2));
    EXPECT_TRUE(messages().isEmpty());
}

TEST_F(SatModemPages, TariffWindow_NoImeiFromTheUnit_FailsAfterItsTicksAndAsksTheUnitMeanwhile)
{
    writeIni("[Config]\nTariff server=127.0.0.1:1\n");
    s.setPortName(QStringLiteral("unit"));
    s.start(false);
    for (int i = 0; i < 10; ++i)
        s.Find_deviceTimer();
    loadWith(kIridium, 0);
    page()->SatSetTarif(0, sat::SatMode::Page);
    clickTransmitter();
    TariffWindow* t = tariffWindow();
    t->timer()->stop();
    link.takeWritten();
    for (int i = 0; i <= sat::TariffExchange::kTickLimit; ++i)
        t->Timer1Timer();
    EXPECT_FALSE(t->isVisible());
    EXPECT_TRUE(link.takeWritten().startsWith("CONFIGZ\x01\x01"));
    EXPECT_TRUE(shown(QStringLiteral("Не возможно выполнить операцию!\r\nПовторите и/или проверьте подключение\r\n"
                                      "модема !!!")));
    EXPECT_FALSE(checked("RzCheckBox3"));
    EXPECT_EQ(tariffByte(), 0);
}

} // namespace
