#include "core/satellite/tariff_exchange.h"

#include "tariff_test_support.h"

#include <QFile>
#include <QHostAddress>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace rv::sat {
namespace {

TEST(TariffWire, RequestCarriesTheImeiFieldWithZerosAfterItsEnd)
{
    QByteArray device = deviceWithImei("300234010753370");
    EXPECT_EQ(tariffRequest(device), QByteArray("\xFF\x11\x00\x01" "300234010753370\0", 20));
    EXPECT_EQ(imeiText(device), "300234010753370");
    // A field without a terminator: its first 16 bytes go out, the label shows all 20.
    device.replace(kImeiOffset, 20, "12345678901234567890");
    EXPECT_EQ(tariffRequest(device), QByteArray("\xFF\x11\x00\x01" "1234567890123456", 20));
    EXPECT_EQ(imeiText(device), "12345678901234567890");
    // Stale bytes behind the terminator stay at home.
    device[kImeiOffset + 3] = '\0';
    EXPECT_EQ(tariffRequest(device), QByteArray("\xFF\x11\x00\x01" "123", 7) + QByteArray(13, '\0'));
    EXPECT_EQ(tariffRequest(QByteArray()).size(), kRequestSize);
}

TEST(TariffWire, AnswerParsing)
{
    using S = AnswerParse::Status;
    EXPECT_EQ(parseTariffAnswer("").status, S::NeedMore);
    EXPECT_EQ(parseTariffAnswer("\xFF\x00").status, S::NeedMore);
    EXPECT_EQ(parseTariffAnswer(QByteArray("\xFF\x00\x00\x01", 4)).status, S::NeedMore);
    const AnswerParse plan = parseTariffAnswer(QByteArray("\xFF\x00\x00\x01\x05tail", 9));
    EXPECT_EQ(plan.status, S::Complete);
    EXPECT_EQ(plan.answer, (TariffAnswer{TariffAnswer::Kind::PlanOnly, 5, {}}));

    const QByteArray withText("\xFF\x00\x00\x02\x85stype=1\0junk", 17);
    for (qsizetype n = 5; n < 12; ++n)
        EXPECT_EQ(parseTariffAnswer(withText.first(n)).status, S::NeedMore) << n;
    const AnswerParse full = parseTariffAnswer(withText);
    EXPECT_EQ(full.status, S::Complete);
    EXPECT_EQ(full.answer, (TariffAnswer{TariffAnswer::Kind::PlanAndParams, 0x85, "stype=1"}));

    // Without a terminator the text ends at 256 bytes.
    const QByteArray endless = QByteArray("\xFF\x00\x00\x02\x04", 5) + QByteArray(400, 'a');
    EXPECT_EQ(parseTariffAnswer(endless.first(255)).status, S::NeedMore);
    EXPECT_EQ(parseTariffAnswer(endless).answer.text, QByteArray(251, 'a'));

    EXPECT_EQ(parseTariffAnswer("GET / HTTP/1.0").status, S::Ignored);
    EXPECT_EQ(parseTariffAnswer(QByteArray("\xFF\x00\x00\x03\x01", 5)).status, S::Ignored);
    EXPECT_EQ(parseTariffAnswer(QByteArray("\xFF\x00\x00\x02\x01" "ab", 7), true).status, S::Ignored);
}

TEST(TariffServerAddress, FromConfigIni)
{
    EXPECT_EQ(parseTariffServer(u"tariff.example:2000")->port, 2000);
    EXPECT_EQ(parseTariffServer(u" 10.0.0.5 ")->address(), "10.0.0.5:10888");
    EXPECT_EQ(parseTariffServer(u"[::1]:99")->address(), "[::1]:99");
    EXPECT_EQ(parseTariffServer(u"[::1]")->port, 10888);
    for (const char16_t* bad : {u"", u":80", u"host:0", u"host:70000", u"host:x", u"::1", u"a b", u"[[a]", u"a]:80"})
        EXPECT_FALSE(parseTariffServer(bad)) << QString::fromUtf16(bad).toStdString();

    QTemporaryDir dir;
    const QString ini = dir.filePath("Config.ini");
    EXPECT_FALSE(readTariffServer(ini).isSet());
    QFile f(ini);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[Config]\nCom port=COM3\nTariff server=127.0.0.1:4321\nTariff service=sat.example\n");
    f.close();
    const TariffServer s = readTariffServer(ini);
    EXPECT_EQ(s.host, "127.0.0.1");
    EXPECT_EQ(s.port, 4321);
    EXPECT_EQ(s.displayName(), "sat.example (127.0.0.1:4321)");
}

TEST(TariffExchange, PlanOnly_InOneRead_GoesStraightToTheServerWithTheImeiAtHand)
{
    FakeServer server({QByteArray("\xFF\x00\x00\x01\x02", 5)});
    Client run(server.address());
    run.exchange.Timer1Timer();
    EXPECT_EQ(run.exchange.step(), 15); // the first tick already connects
    EXPECT_TRUE(run.commands.isEmpty());
    run.tickUntilDone();
    ASSERT_TRUE(run.outcome);
    EXPECT_EQ(run.outcome->kind, TariffOutcome::Kind::Answer);
    EXPECT_EQ(run.outcome->answer, (TariffAnswer{TariffAnswer::Kind::PlanOnly, 2, {}}));
    EXPECT_TRUE(run.exchange.planReceived());
    EXPECT_EQ(server.request, QByteArray("\xFF\x11\x00\x01" "300234010753370\0", 20));
    EXPECT_EQ(run.steps.mid(1), (QStringList{"Соединение с сервером 127.0.0.1:" + QString::number(server.address().port),
                                             "Соединение установлено. Получение тарифного плана."}));
}

TEST(TariffExchange, PlanAndParameters_SplitOverManyReads_IsCollectedWhole)
{
    const QByteArray answer("\xFF\x00\x00\x02\x85stype=0,bsize=200,wrtype=0,dist=5,tmove=30,tstop=0\0", 57);
    QList<QByteArray> pieces;
    for (qsizetype i = 0; i < answer.size(); i += 3)
        pieces << answer.mid(i, 3);
    FakeServer server(pieces, true);
    Client run(server.address());
    run.tickUntilDone();
    ASSERT_TRUE(run.outcome);
    ASSERT_EQ(run.outcome->kind, TariffOutcome::Kind::Answer);
    EXPECT_EQ(run.outcome->answer.kind, TariffAnswer::Kind::PlanAndParams);
    EXPECT_EQ(run.outcome->answer.tariff, 0x85);
    EXPECT_EQ(run.outcome->answer.text, "stype=0,bsize=200,wrtype=0,dist=5,tmove=30,tstop=0");
}

TEST(TariffExchange, NothingOrGarbage_FailsOnThe31stTickOfTheAnswerStep)
{
    for (const QList<QByteArray>& pieces :
         {QList<QByteArray>{}, QList<QByteArray>{"HTTP/1.1 400 Bad Request\r\n\r\n", QByteArray(300, '\xFF')}}) {
        FakeServer server(pieces);
        Client run(server.address());
        run.exchange.Timer1Timer();
        ASSERT_TRUE(waitUntil([&] { return run.exchange.step() == 25; }));
        for (int i = 0; i < TariffExchange::kTickLimit; ++i)
            run.exchange.Timer1Timer();
        EXPECT_FALSE(run.outcome);
        run.exchange.Timer1Timer();
        ASSERT_TRUE(run.outcome);
        EXPECT_EQ(run.outcome->kind, TariffOutcome::Kind::StepFailure);
        EXPECT_EQ(run.outcome->message,
                  "Нет ответа от сервера!\r\nПовторите и/или проверьте подключение\r\nк интернету !!!");
        EXPECT_FALSE(run.exchange.planReceived());
        EXPECT_EQ(run.exchange.step(), 0);
    }
}

TEST(TariffExchange, ServerHangsUpMidAnswer_NoWaitForTheLimit)
{
    FakeServer server({QByteArray("\xFF\x00\x00\x02\x04" "dist=", 10)}, true);
    Client run(server.address());
    run.exchange.Timer1Timer();
    ASSERT_TRUE(waitUntil([&] { return run.outcome.has_value(); }));
    EXPECT_EQ(run.outcome->kind, TariffOutcome::Kind::StepFailure);
    EXPECT_TRUE(run.outcome->message.startsWith("Нет ответа от сервера!"));
}

TEST(TariffExchange, RefusedConnection_IsASocketError)
{
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const quint16 port = probe.serverPort();
    probe.close();
    Client run({QStringLiteral("127.0.0.1"), port, {}});
    run.tickUntilDone(5);
    ASSERT_TRUE(run.outcome);
    EXPECT_EQ(run.outcome->kind, TariffOutcome::Kind::SocketError);
    EXPECT_TRUE(run.outcome->message.startsWith("Ошибка: ")) << run.outcome->message.toStdString();
}

TEST(TariffExchange, NoImei_AsksTheUnitEachTickAndFailsOnThe31st)
{
    Client run({QStringLiteral("127.0.0.1"), 1, {}}, QByteArray());
    for (int i = 0; i < TariffExchange::kTickLimit; ++i)
        run.exchange.Timer1Timer();
    EXPECT_EQ(run.commands.size(), TariffExchange::kTickLimit);
    EXPECT_EQ(run.commands.front(), QByteArray("CONFIGZ\x01\x01"));
    EXPECT_EQ(run.steps.back(), "Получение IMEI спутникового модема");
    EXPECT_FALSE(run.outcome);
    run.exchange.Timer1Timer();
    ASSERT_TRUE(run.outcome);
    EXPECT_EQ(run.outcome->message,
              "Не возможно выполнить операцию!\r\nПовторите и/или проверьте подключение\r\nмодема !!!");

    // The IMEI arriving while the unit is asked moves on to the server.
    Client later({}, QByteArray());
    later.exchange.Timer1Timer();
    later.device = deviceWithImei("1234");
    later.exchange.Timer1Timer();
    ASSERT_TRUE(later.outcome);
    EXPECT_EQ(later.outcome->kind, TariffOutcome::Kind::NoServer); // no address configured
    EXPECT_TRUE(later.outcome->message.contains("Tariff server"));
}

} // namespace
} // namespace rv::sat
