// The network side of the session driven frame by frame and tick by tick: no sockets carry the frames,
// no sleeping. What the program sends is taken where it would go to the unit.

#include "core/config/records.h"
#include "core/link/memory_link.h"
#include "core/monitor/monitor_blocks.h"
#include "core/base/bytes.h"
#include "core/base/checksum.h"
#include "core/protocol/device_session.h"
#include "core/protocol/remote_session.h"
#include "support/unit_bytes.h"

#include <QSignalSpy>

#include <array>
#include <gtest/gtest.h>

using namespace rv;
using namespace rv::remote;

namespace {

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}

// A frame from the unit: header word, body, CRC.
QByteArray unitFrame(uint8_t type, const QByteArray& body)
{
    QByteArray f = le::bytes16(static_cast<uint16_t>(body.size() | (type << 14)));
    f += body;
    f += le::bytes16(crc16Modbus(f));
    return f;
}

QByteArray replyFrame(uint8_t identifier, uint8_t sub, std::optional<QByteArray> payload = std::nullopt)
{
    QByteArray body;
    body += static_cast<char>(identifier);
    body += static_cast<char>(sub);
    if (payload) {
        body += le::bytes16(static_cast<uint16_t>(payload->size()));
        body += *payload;
    }
    return unitFrame(Reply, body);
}

const QByteArray kGreeting = hex("1200d2043836313233343536373839303132331c5201");

class Remote : public ::testing::Test {
protected:
    MemoryLink link;
    ConfigRecords records;
    MonitorBlocks monitor;
    SessionController s{link, &records, &monitor};
    RemoteSession remote{s};
    QList<QByteArray> sent;
    qint64 clock = 0;
    SessionTexts texts{s};
    QSignalSpy messages{&texts, &SessionTexts::message};
    QSignalSpy closed{&s.progress(), &ProgressWatchdog::closed};
    QList<RecordKind> received;
    QSignalSpy buttons{&remote, &RemoteSession::toolButtonsEnabled};

    void SetUp() override
    {
        QObject::connect(&s, &SessionController::recordReceived, [this](RecordKind k) { received << k; });
        remote.setSender([this](const QByteArray& f) { sent << f; });
        remote.setClock([this] { return clock; });
        remote.setPollTimer(false);
        s.setPortName(QStringLiteral("unit"));
        s.start(false);
        s.choosePort(QStringLiteral("TCP/IP"));
    }
    void attach()
    {
        ASSERT_TRUE(remote.startServer(QStringLiteral("0"), QHostAddress::LocalHost));
        remote.receive(kGreeting);
        sent.clear();
    }
    void ticks(int n) { for (int i = 0; i < n; ++i) remote.pollTick(); }
    QByteArray takeOne()
    {
        EXPECT_EQ(sent.size(), 1);
        return sent.isEmpty() ? QByteArray() : sent.takeFirst();
    }
    QString lastClosed() const { return closed.isEmpty() ? QString() : closed.last().at(0).toString(); }
    QString lastMessage() const { return messages.isEmpty() ? QString() : messages.last().at(0).toString(); }
};

} // namespace

TEST_F(Remote, GreetingAttachesTheUnitAndIsAcknowledgedWithItsOwnCrc)
{
    QSignalSpy state(&remote, &RemoteSession::serverStateChanged);
    QSignalSpy connected(&s, &SessionController::deviceConnected);
    ASSERT_TRUE(remote.startServer(QStringLiteral("0"), QHostAddress::LocalHost));
    EXPECT_EQ(state.last().at(0).value<ServerState>(), ServerState::Waiting);
    remote.receive(kGreeting);

    EXPECT_EQ(sent, QList<QByteArray>{hex("015201")});
    EXPECT_TRUE(remote.unitAttached());
    EXPECT_EQ(s.session().DeviceType, 4);
    ASSERT_EQ(connected.size(), 1);
    EXPECT_EQ(connected.last().at(0).toInt(), 4);
    EXPECT_EQ(buttons.last().at(0).toBool(), true);
    EXPECT_EQ(state.last().at(0).value<ServerState>(), ServerState::Connected);
    EXPECT_EQ(monitor.device.bytes().at(32), 28); // the firmware version the other parts compare with
    EXPECT_EQ(remote.greetingInfo().imei, QStringLiteral("861234567890123"));
    EXPECT_EQ(greetingLabels(remote.greetingInfo()).at(0).text, QStringLiteral("ID устройства: 1234"));
    EXPECT_EQ(greetingLabels(remote.greetingInfo()).at(2).text, QStringLiteral("Прошивка: 28"));
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_TRUE(link.writes().isEmpty()); // nothing on the serial side

    // A greeting too short for its fields is refused: no acknowledgement, nothing taken.
    sent.clear();
    remote.receive(unitFrame(Greeting, hex("0100") + "123"));
    EXPECT_TRUE(sent.isEmpty());
    EXPECT_EQ(lastMessage(), QStringLiteral("Ошибка данных"));
}

TEST_F(Remote, FramesByType_AckIgnoreAndBadCrcReportedOncePerRun)
{
    attach();
    const QByteArray t1 = hex("0340aabbcc2745");
    remote.receive(t1);
    EXPECT_EQ(takeOne(), hex("012745"));
    remote.receive(unitFrame(Ignored, "xyz"));
    remote.receive(replyFrame(id::kCommandDone, 99)); // a reply is never acknowledged
    EXPECT_TRUE(sent.isEmpty());
    sent.clear();
    const int before = static_cast<int>(messages.size());

    QByteArray bad = t1;
    bad[3] = 'X';
    remote.receive(bad + bad + bad);
    EXPECT_TRUE(sent.isEmpty());
    EXPECT_EQ(messages.size(), before + 1);
    EXPECT_EQ(lastMessage(), QStringLiteral("Ошибка целостности данных"));
    remote.receive(t1); // whole again: the next fault is said again
    remote.receive(bad);
    EXPECT_EQ(messages.size(), before + 2);
    EXPECT_EQ(sent.size(), 1);
}

TEST_F(Remote, ReadCycleFillsTheRecordsInOrderAndRefreshesLikeTheSerialRead)
{
    attach();
    QSignalSpy finished(&s, &SessionController::readCycleFinished);
    QSignalSpy panel(&texts, &SessionTexts::statusText);
    s.Download_deviceClick();
    EXPECT_EQ(takeOne(), hex("021500de90"));
    EXPECT_TRUE(remote.operationRunning());
    EXPECT_EQ(s.progress().limit(), 100);
    EXPECT_EQ(s.progress().label(), QStringLiteral("Идет считывание конфигурации..."));

    const QByteArray config = rvtest::pattern(512, 1), inpOut = rvtest::pattern(513, 2), confSe = rvtest::pattern(26, 3);
    remote.receive(replyFrame(id::kReadRecord, 0, config));
    EXPECT_EQ(records.config.bytes(), config);
    EXPECT_EQ(takeOne(), hex("0215011f50"));
    EXPECT_TRUE(remote.operationRunning()); // the cycle is still waiting
    // The two remaining replies come in one read.
    remote.receive(replyFrame(id::kReadRecord, 1, inpOut).first(300));
    remote.receive(replyFrame(id::kReadRecord, 1, inpOut).sliced(300) + replyFrame(id::kReadRecord, 2, confSe));
    EXPECT_EQ(sent, QList<QByteArray>{hex("0215025f51")});
    EXPECT_EQ(records.inpOut.bytes(), inpOut);
    EXPECT_EQ(records.confSe.bytes(), confSe);

    ASSERT_EQ(received.size(), 3);
    EXPECT_EQ(received.at(0), RecordKind::Config);
    EXPECT_EQ(received.at(2), RecordKind::ConfSe);
    EXPECT_EQ(finished.size(), 1);
    EXPECT_EQ(lastClosed(), QStringLiteral("Конфигурация считана"));
    EXPECT_EQ(panel.last().at(1).toString(), QStringLiteral("Считано с устройства"));
    EXPECT_FALSE(remote.operationRunning());
    EXPECT_TRUE(link.writes().isEmpty());
}

TEST_F(Remote, RecordReplyLengths_LongerCutShorterOrLyingRefusedWhole)
{
    attach();
    const QByteArray before = rvtest::pattern(512, 9);
    records.config.fillFrom(before);

    // Shorter, longer, damaged: RecordExchange below, beside the serial session.
    // A length that says more than the frame holds.
    s.Download_deviceClick();
    sent.clear();
    QByteArray body = hex("1500") + le::bytes16(512) + rvtest::pattern(100, 6);
    remote.receive(unitFrame(Reply, body));
    EXPECT_EQ(records.config.bytes(), before);
    EXPECT_EQ(lastClosed(), QStringLiteral("Ошибка данных"));
    EXPECT_TRUE(sent.isEmpty());

    // A record nobody asked for changes nothing.
    const qsizetype signals_ = received.size();
    remote.receive(replyFrame(id::kReadRecord, 0, rvtest::pattern(512, 7)));
    remote.receive(replyFrame(id::kReadRecord, 2, rvtest::pattern(26, 7)));
    EXPECT_EQ(records.config.bytes(), before);
    EXPECT_EQ(received.size(), signals_);
    EXPECT_TRUE(sent.isEmpty());
}

TEST_F(Remote, WriteCycleGathersEachRecordJustBeforeItsFrame)
{
    attach();
    records.config.fillFrom(rvtest::pattern(512, 1));
    records.inpOut.fillFrom(rvtest::pattern(513, 2));
    records.confSe.fillFrom(rvtest::pattern(26, 3));
    QList<RecordKind> gathered;
    QObject::connect(&s, &SessionController::gatherRequested, [&](RecordKind k) {
        gathered << k;
        if (k == RecordKind::ConfSe) // the extended page holds an edit not yet in the record
            records.confSe.fillFrom("EDITED");
    });
    QSignalSpy finished(&s, &SessionController::writeCycleFinished);

    s.Upload_deviceClick();
    QByteArray f = takeOne();
    EXPECT_EQ(f, recordWrite(0, records.config.bytes()));
    EXPECT_EQ(s.progress().label(), QStringLiteral("Идет запись конфигурации..."));
    remote.receive(replyFrame(id::kWriteRecord, 0));
    EXPECT_EQ(takeOne(), recordWrite(1, records.inpOut.bytes()));
    remote.receive(replyFrame(id::kWriteRecord, 0)); // repeated: does not skip a record
    EXPECT_TRUE(sent.isEmpty());
    remote.receive(replyFrame(id::kWriteRecord, 1));
    f = takeOne();
    EXPECT_EQ(f.size(), 519);
    EXPECT_EQ(f.sliced(5, 6), "EDITED");
    EXPECT_EQ(f.sliced(31, 486), QByteArray(486, '\0'));
    EXPECT_EQ(gathered, (QList<RecordKind>{RecordKind::Config, RecordKind::InpOut, RecordKind::ConfSe}));
    EXPECT_TRUE(remote.operationRunning());
    remote.receive(replyFrame(id::kWriteRecord, 2));
    // The confirmation names the unit written to.
    EXPECT_EQ(lastClosed(), QStringLiteral("Конфигурация записана\nID устройства: 1234, IMEI 861234567890123"));
    EXPECT_EQ(finished.size(), 1);
    EXPECT_FALSE(remote.operationRunning());

    s.Upload_deviceClick();
    remote.receive(replyFrame(id::kWriteRecord, kWriteTooShort));
    EXPECT_EQ(lastClosed(), QStringLiteral("Мало данных"));
    EXPECT_FALSE(remote.operationRunning());
}

TEST_F(Remote, ResetEraseAndTheUnitsReports)
{
    attach();
    s.Reset_butClick();
    EXPECT_EQ(takeOne(), hex("021280dd"));
    EXPECT_FALSE(remote.operationRunning());

    s.eraseTrackConfirmed();
    EXPECT_EQ(takeOne(), hex("0210011c"));
    EXPECT_TRUE(remote.operationRunning());
    remote.receive(hex("0580fc10000000") + le::bytes16(crc16Modbus(hex("0580fc10000000"))));
    EXPECT_EQ(lastClosed(), QStringLiteral("Команда 16 выполнена"));
    EXPECT_FALSE(remote.operationRunning());

    // An erase that is never answered does not pause the monitor for good.
    s.eraseTrackConfirmed();
    ticks(remote_timing::kEraseWaitTicks);
    EXPECT_TRUE(remote.operationRunning());
    ticks(1);
    EXPECT_FALSE(remote.operationRunning());

    s.Download_deviceClick();
    remote.receive(replyFrame(id::kUnknownCommand, 21));
    EXPECT_EQ(lastClosed(), QStringLiteral("Идентификатор 21 не известен"));
    EXPECT_FALSE(remote.operationRunning());
    s.Upload_deviceClick();
    remote.receive(replyFrame(id::kDamagedCommand, 22));
    EXPECT_EQ(lastClosed(), QStringLiteral("Ошибка целостности данных 22"));
    EXPECT_FALSE(remote.operationRunning());
    EXPECT_TRUE(link.writes().isEmpty());
}

TEST_F(Remote, MonitorPoll_TwoRequestsHalfASecondApartEvery501Ticks)
{
    attach();
    QList<int> at;
    QObject::connect(&remote, &RemoteSession::frameSent, [&](const QByteArray&) { at << remote.pollCounter(); });
    ticks(1002);
    EXPECT_EQ(sent, (QList<QByteArray>{hex("021b00daf0"), hex("021b011b30"), hex("021b00daf0"), hex("021b011b30")}));
    EXPECT_EQ(at, (QList<int>{101, 151, 101, 151}));

    // Paused while an operation waits for its reply.
    sent.clear();
    s.Download_deviceClick();
    sent.clear();
    ticks(501);
    EXPECT_TRUE(sent.isEmpty());

    // The blocks fill the monitor stores; a length that lies fills nothing.
    QSignalSpy gps(&s, &SessionController::gpsReceived);
    QSignalSpy device(&s, &SessionController::deviceReceived);
    remote.receive(replyFrame(id::kReadMonitor, 0, rvtest::pattern(200, 1)));
    EXPECT_EQ(monitor.gps.bytes(), rvtest::pattern(200, 1).first(105));
    remote.receive(replyFrame(id::kReadMonitor, 1, rvtest::pattern(40, 2)));
    EXPECT_EQ(monitor.device.bytes().first(40), rvtest::pattern(40, 2));
    remote.receive(unitFrame(Reply, hex("1b01ff00") + "short"));
    EXPECT_EQ(monitor.device.bytes().first(40), rvtest::pattern(40, 2));
    EXPECT_EQ(gps.size(), 1);
    EXPECT_EQ(device.size(), 1);

    // A unit without remote monitoring: told once, and the poll stops.
    s.progress().Progress_close();
    remote.receive(replyFrame(id::kUnknownCommand, id::kReadMonitor));
    EXPECT_EQ(lastMessage(), QStringLiteral("Версия прошивки в приборе не поддерживает\r\nудаленное чтение мониторинговой информации!"));
    ticks(600);
    for (const QByteArray& f : sent)
        EXPECT_NE(f.at(1), id::kReadMonitor);
}

TEST_F(Remote, WatchdogEndsTheReadAndALateReplyIsIgnored)
{
    attach();
    s.Download_deviceClick();
    sent.clear();
    for (int i = 0; i < 100; ++i)
        s.progress().Timer1Timer();
    EXPECT_EQ(lastClosed(), QStringLiteral("Нет ответа/Повторите операцию"));
    EXPECT_FALSE(remote.operationRunning());
    remote.receive(replyFrame(id::kReadRecord, 0, rvtest::pattern(512, 1)));
    EXPECT_TRUE(received.isEmpty());
    EXPECT_TRUE(sent.isEmpty());
}

TEST_F(Remote, APartialFrameIsDroppedAfterTenSecondsAndServingGoesOn)
{
    attach();
    remote.receive(hex("ff03") + "half");
    EXPECT_EQ(remote.pendingInput(), 6);
    clock = 10000;
    remote.expireInput();
    EXPECT_EQ(remote.pendingInput(), 6);
    clock = 10001;
    remote.expireInput();
    EXPECT_EQ(remote.pendingInput(), 0);
    EXPECT_EQ(lastMessage(), QStringLiteral("Ошибка данных"));
    remote.receive(hex("0340aabbcc2745"));
    EXPECT_EQ(takeOne(), hex("012745"));
}

TEST_F(Remote, ChoosingASerialPortStopsTheServerAndReleasesTheWindow)
{
    attach();
    QSignalSpy released(&remote, &RemoteSession::windowReleased);
    s.Download_deviceClick();
    s.choosePort(QStringLiteral("unit"));
    EXPECT_FALSE(remote.serverRunning());
    EXPECT_FALSE(remote.unitAttached());
    EXPECT_FALSE(remote.operationRunning());
    EXPECT_EQ(released.size(), 1);
    EXPECT_EQ(buttons.last().at(0).toBool(), false);
    EXPECT_FALSE(s.progress().isShown());
    // The tool bar works on the serial line again.
    sent.clear();
    s.Download_deviceClick();
    EXPECT_TRUE(sent.isEmpty());
    EXPECT_EQ(s.session().OperationState, osReadConfig);
}

// One record exchange, two carriers: the same faults give the same outcome and the same words over the
// serial line and over the network, and the record keeps its bytes unless it came whole.
TEST(RecordExchange, SameFaultsSameOutcomesOverSerialAndNetwork)
{
    enum Fault { Short, Overlong, BadChecksum, NoAnswer };
    struct Seen {
        Result result = Result::Done;
        QString closed, message;
        QByteArray config;
        bool operator==(const Seen&) const = default;
    };
    const QByteArray before = rvtest::pattern(512, 1);
    const auto run = [&](bool network, Fault fault) {
        Seen seen; // before the session: it may still speak as it goes
        MemoryLink link;
        ConfigRecords records;
        MonitorBlocks monitor;
        records.config.fillFrom(before);
        std::unique_ptr<UnitSession> session;
        std::function<void(const QByteArray&, int)> unit; // a CONFIG reply of this payload, checksum off by
        if (network) {
            auto* remote = new RemoteSession(records, monitor);
            session.reset(remote);
            remote->setSender([](const QByteArray&) {});
            remote->setPollTimer(false);
            EXPECT_TRUE(remote->startServer(QStringLiteral("0"), QHostAddress::LocalHost));
            remote->receive(kGreeting);
            unit = [remote](const QByteArray& payload, int off) {
                QByteArray f = replyFrame(id::kReadRecord, 0, payload);
                f[f.size() - 1] = char(f.back() + off);
                remote->receive(f);
            };
        } else {
            auto* serial = new SessionController(link, &records, &monitor);
            session.reset(serial);
            serial->setPortName(QStringLiteral("unit"));
            serial->start(false);
            unit = [serial, &link](const QByteArray& bytes, int) {
                link.feed(bytes);
                for (int i = 0; i < 4; ++i)
                    serial->Receive_timerTimer();
            };
            for (int i = 0; i < 10; ++i)
                serial->Find_deviceTimer();
            unit(rvtest::rvTr(2, 1), 0);
        }
        SessionTexts texts{*session};
        QObject::connect(&texts, &SessionTexts::message, [&](const QString& t) { seen.message = t; });
        QObject::connect(&session->progress(), &ProgressWatchdog::closed, [&](const QString& t) { seen.closed = t; });
        QObject::connect(session.get(), &UnitSession::operationEnded, [&](const Outcome& o) { seen.result = o.result; });
        session->read();
        const auto reply = [&](const QByteArray& payload, int off) {
            unit(network ? payload : rvtest::recordReply("CONFIG", payload, off), off);
        };
        switch (fault) {
        case Short: reply(rvtest::pattern(500, 2), 0); break;
        case Overlong: reply(rvtest::pattern(600, 2), 0); break;
        case BadChecksum: reply(rvtest::pattern(512, 2), 1); break;
        case NoAnswer:
            for (int i = 0; i < 200 && session->operationRunning(); ++i)
                session->progress().Timer1Timer();
            break;
        }
        seen.config = records.config.bytes();
        return Seen(seen);
    };
    for (const Fault fault : {Short, Overlong, BadChecksum, NoAnswer}) {
        SCOPED_TRACE(fault);
        const Seen serial = run(false, fault), network = run(true, fault);
        EXPECT_EQ(serial.result, (std::array{Result::ShortRecord, Result::Done, Result::Damaged, Result::NoAnswer}[fault]));
        EXPECT_EQ(serial.message.isEmpty(), fault != Overlong); // the longer record is said, and its first part taken
        EXPECT_EQ(serial.result, network.result);
        EXPECT_EQ(serial.closed, network.closed);
        EXPECT_EQ(serial.message, network.message);
        EXPECT_EQ(serial.config, fault == Overlong ? rvtest::pattern(600, 2).first(512) : before);
        EXPECT_EQ(network.config, serial.config);
    }
}
