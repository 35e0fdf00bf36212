// The session controller driven tick by tick over the in-memory link: no sleeping, exact timing.

#include "core/config/records.h"
#include "core/link/memory_link.h"
#include "core/monitor/monitor_blocks.h"
#include "core/protocol/device_session.h"
#include "core/protocol/session_texts.h"
#include "support/unit_bytes.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace rv;
using namespace rvtest;

namespace {

class Session : public ::testing::Test {
protected:
    MemoryLink link;
    ConfigRecords records;
    MonitorBlocks monitor;
    SessionController s{link, &records, &monitor};
    SessionTexts texts{s};
    QSignalSpy messages{&texts, &SessionTexts::message};
    QSignalSpy closed{&s.progress(), &ProgressWatchdog::closed};
    QSignalSpy buttons{&s, &SessionController::buttonsEnabled};
    QMap<int, QStringList> panels;

    void SetUp() override
    {
        QObject::connect(&texts, &SessionTexts::statusText, [this](int p, const QString& t) { panels[p] << t; });
        s.setPortName(QStringLiteral("unit"));
        s.start(false);
    }
    void steps(int n) { for (int i = 0; i < n; ++i) s.Find_deviceTimer(); }
    void ticks(int n) { for (int i = 0; i < n; ++i) s.Receive_timerTimer(); }
    void runStep() { steps(10); }
    // The unit answers; the analysis runs after the quiet gap.
    void unit(const QByteArray& bytes)
    {
        link.feed(bytes);
        ticks(4);
    }
    void connectUnit(uint8_t type = 2, uint32_t options = 1)
    {
        runStep();
        unit(rvTr(type, options));
        link.takeWritten();
    }
    QString lastClosed() const { return closed.isEmpty() ? QString() : closed.last().at(0).toString(); }
    QString lastMessage() const { return messages.isEmpty() ? QString() : messages.last().at(0).toString(); }
};

TEST_F(Session, StepRunsExactlyTenTicksAfterArming)
{
    steps(9);
    EXPECT_FALSE(link.isOpen());
    steps(1);
    EXPECT_TRUE(link.isOpen());
    EXPECT_EQ(link.writes(), QList<QByteArray>{"CONFIGO"});
    EXPECT_EQ(panels[3].last(), QStringLiteral("Настройка соединения..."));
    EXPECT_EQ(panels[1].last(), QStringLiteral("unit"));
    steps(30);
    EXPECT_EQ(link.openCount(), 2); // the search goes on every two seconds
}

TEST_F(Session, NoUnitAlternatesEverySecondAndStopsAutoRead)
{
    runStep();
    runStep();
    EXPECT_EQ(panels[3].last(), QStringLiteral("Устройство не обнаружено"));
    EXPECT_EQ(panels[2].last(), QString());
    EXPECT_EQ(s.session().OperationState, osSearch);
    EXPECT_FALSE(s.session().autoReadPending);
    EXPECT_FALSE(buttons.last().at(0).toBool());
    runStep();
    EXPECT_EQ(panels[3].last(), QStringLiteral("Настройка соединения..."));
    EXPECT_EQ(link.written(), QByteArray("CONFIGOCONFIGCCONFIGO"));
}

TEST_F(Session, MissingPortShowsNcAndExplainsOnce)
{
    link.setMissingPorts({QStringLiteral("unit")});
    QSignalSpy problem(&s, &SessionController::portOpenProblem);
    runStep();
    EXPECT_EQ(panels[1].last(), QStringLiteral("NC"));
    EXPECT_EQ(panels[3].last(), QStringLiteral("unit не найден"));
    runStep();
    EXPECT_EQ(link.openCount(), 0);
    EXPECT_TRUE(problem.isEmpty()); // the status bar says it; no box every two seconds

    // A port that exists but cannot be used is explained once.
    link.setOpenFailure(QStringLiteral("unit"), OpenFailure::Denied);
    runStep();
    runStep();
    runStep();
    ASSERT_EQ(problem.size(), 1);
    EXPECT_TRUE(problem.at(0).at(0).toString().contains(QStringLiteral("Нет доступа")));
    EXPECT_EQ(panels[3].last(), QStringLiteral("unit: нет доступа"));

    // A port another program holds is busy from the first word, not "not found".
    link.setOpenFailure(QStringLiteral("unit"), OpenFailure::Busy);
    runStep();
    EXPECT_EQ(panels[3].last(), QStringLiteral("unit занят другой программой"));
}

TEST_F(Session, HandshakeConnectsThenFirstDeviceBlockReadsTheWholeConfiguration)
{
    QSignalSpy connected(&s, &SessionController::deviceConnected);
    QSignalSpy adapt(&s, &SessionController::configurate);
    runStep();
    unit(rvTr(3, 0x0000A501));
    EXPECT_TRUE(s.session().connected);
    EXPECT_FALSE(s.armed());
    EXPECT_EQ(s.session().DeviceType, 3);
    EXPECT_EQ(connected.last().at(1).toUInt(), 0xA501u);
    EXPECT_EQ(adapt.last().at(0).toUInt(), 0x01u);
    EXPECT_TRUE(buttons.last().at(0).toBool());
    EXPECT_EQ(panels[3].last(), QStringLiteral("Соединение установлено"));
    link.takeWritten();

    // Keep-alive: every 27th tick, "CONFIGD" with the flags and "CONFIGG" in turn.
    s.setMonitorFlag(cmd::kFlagLogTrailer, true);
    int waited = 0;
    while (link.written().isEmpty() && waited < 27) {
        ticks(1);
        ++waited;
    }
    EXPECT_EQ(link.takeWritten(), QByteArray("CONFIGD\x01"));
    ticks(26);
    EXPECT_TRUE(link.written().isEmpty());
    ticks(1);
    EXPECT_EQ(link.takeWritten(), QByteArray("CONFIGG"));

    const QByteArray device = pattern(115, 1);
    unit(monitorReply("DEVICE", device));
    EXPECT_EQ(monitor.device.bytes(), device);
    EXPECT_EQ(s.session().OperationState, osReadConfig);
    EXPECT_TRUE(s.progress().isShown());
    unit(monitorReply("DEVICE", device)); // only the first block starts a read
    ticks(27);
    EXPECT_TRUE(link.written().isEmpty()); // no polls while an operation runs

    const QByteArray config = pattern(512, 2), inpout = pattern(513, 3), confse = pattern(26, 4);
    runStep();
    EXPECT_EQ(link.takeWritten(), QByteArray("CONFIGR"));
    unit(recordReply("CONFIG", config));
    EXPECT_EQ(records.config.bytes(), config);
    runStep();
    EXPECT_EQ(link.takeWritten(), QByteArray("CONFIGP"));
    unit(recordReply("INPOUT", inpout));
    runStep();
    EXPECT_EQ(link.takeWritten(), QByteArray("CONFIGS0"));
    unit(recordReply("CONFSE", confse, 0, "0"));
    EXPECT_EQ(records.inpOut.bytes(), inpout);
    EXPECT_EQ(records.confSe.bytes(), confse);
    EXPECT_EQ(lastClosed(), QStringLiteral("Конфигурация считана"));
    EXPECT_EQ(panels[0].last(), QStringLiteral("Считано с устройства"));
    EXPECT_EQ(s.session().OperationState, osIdle);
}

TEST_F(Session, BurstInPiecesLessThanFortyMsApartIsAnalysedOnce)
{
    connectUnit();
    s.Download_deviceClick();
    runStep();
    QSignalSpy received(&s, &SessionController::recordReceived);
    const QByteArray reply = recordReply("CONFIG", pattern(512, 5));
    link.feed(reply.first(100));
    ticks(2);
    link.feed(reply.sliced(100, 300));
    ticks(3);
    link.feed(reply.sliced(400));
    ticks(3);
    EXPECT_EQ(received.size(), 0);
    ticks(1);
    EXPECT_EQ(received.size(), 1);
    EXPECT_EQ(records.config.bytes(), pattern(512, 5));
    EXPECT_EQ(link.pendingInput(), 0); // the input queue is discarded after the analysis
}

TEST_F(Session, PressingReadTwiceSendsOneRequest)
{
    connectUnit();
    s.Download_deviceClick();
    steps(5);
    s.Download_deviceClick();
    steps(9);
    EXPECT_TRUE(link.written().isEmpty());
    steps(1);
    EXPECT_EQ(link.takeWritten(), QByteArray("CONFIGR"));
    steps(20);
    EXPECT_TRUE(link.written().isEmpty());
}

TEST_F(Session, RecordLengthsAndChecksums)
{
    connectUnit();

    // Shorter, longer and damaged records: RecordExchange, beside the network session.
    // Status "1" with an empty block completes the read without touching the extended record.
    records.confSe.setBytes(pattern(26, 10));
    s.Download_deviceClick();
    unit(recordReply("CONFIG", pattern(512, 7)));
    unit(recordReply("INPOUT", pattern(513, 7)));
    unit(QByteArray("CONFSE1\0\0\0\0", 11));
    EXPECT_EQ(lastClosed(), QStringLiteral("Конфигурация считана"));
    EXPECT_EQ(records.confSe.bytes(), pattern(26, 10));
}

TEST_F(Session, WriteCycleSendsExactRecordsAndGathersFirst)
{
    connectUnit();
    records.config.setBytes(pattern(512, 11));
    records.inpOut.setBytes(pattern(513, 12));
    records.confSe.setBytes(pattern(26, 13));
    QList<RecordKind> gathered;
    QObject::connect(&s, &SessionController::gatherRequested, [&](RecordKind k) { gathered << k; });
    s.Upload_deviceClick();
    runStep();
    EXPECT_EQ(link.takeWritten(), cmd::writeConfig(pattern(512, 11)).join());
    unit("WRITE");
    runStep();
    EXPECT_EQ(link.takeWritten(), cmd::writeInpOut(pattern(513, 12)).join());
    unit("WRITE");
    runStep();
    const QByteArray ext = link.takeWritten();
    EXPECT_TRUE(ext.startsWith(QByteArray::fromHex("434F4E46494754301A00")));
    EXPECT_EQ(ext, cmd::writeExtended(pattern(26, 13)).join());
    unit("WRITE");
    EXPECT_EQ(lastClosed(), QStringLiteral("Конфигурация устройства обновлена"));
    EXPECT_EQ(gathered, (QList<RecordKind>{RecordKind::Config, RecordKind::InpOut, RecordKind::ConfSe}));
}

TEST_F(Session, BareRepliesEndOperationsWithTheirMessages)
{
    runStep();
    unit("WRITE"); // nothing was written: an acknowledgement of nothing changes nothing
    EXPECT_FALSE(s.session().connected);
    EXPECT_EQ(s.session().OperationState, osIdle);
    EXPECT_TRUE(closed.isEmpty());

    s.Upload_deviceClick();
    unit("LOWD");
    EXPECT_EQ(lastClosed(), QStringLiteral("Конфигурация не записана\rнеобходимо обновить конфигуратор"));
    s.Upload_deviceClick();
    unit("FAIL");
    EXPECT_EQ(lastClosed(), QStringLiteral("Не удалось обновить конфигурацию"));
    EXPECT_EQ(s.session().OperationState, osIdle);
    unit("TRACKDEL");
    EXPECT_EQ(lastMessage(), QStringLiteral("Трек удален из памяти"));
    unit("NEWCONF");
    EXPECT_EQ(lastMessage(), QStringLiteral("Необходимо сконфигурировать устройство"));
    EXPECT_TRUE(buttons.last().at(0).toBool());
}

TEST_F(Session, MarkersAfterAZeroByteAreNotSeen)
{
    runStep();
    QByteArray device = pattern(115, 14);
    device[3] = '\0';
    unit(monitorReply("DEVICE", device) + "TRACKDEL");
    EXPECT_EQ(monitor.device.bytes(), device);
    EXPECT_TRUE(messages.isEmpty());
    unit("TRACKDEL" + monitorReply("DEVICE", pattern(115, 15)));
    EXPECT_EQ(lastMessage(), QStringLiteral("Трек удален из памяти"));
    EXPECT_EQ(monitor.device.bytes(), pattern(115, 15));
}

TEST_F(Session, PasswordExchange)
{
    connectUnit();
    QSignalSpy wanted(&s, &SessionController::passwordWanted);
    s.Download_deviceClick();
    runStep();
    unit("+PASS=?");
    EXPECT_EQ(wanted.size(), 1);
    EXPECT_FALSE(s.progress().isShown());
    EXPECT_EQ(s.session().OperationState, osIdle);
    link.takeWritten();

    s.submitPassword(4321);
    steps(9);
    EXPECT_TRUE(link.written().isEmpty());
    steps(1);
    EXPECT_EQ(link.takeWritten(), QByteArray("RV+PASS=4321"));
    EXPECT_EQ(s.session().OperationState, osIdle);
    unit("+PASS=0");
    EXPECT_EQ(lastMessage(), QStringLiteral("Пароль не верный :)"));
    unit("+PASS=1");
    EXPECT_EQ(lastMessage(), QStringLiteral("Пароль принят.\rПовторите операцию"));
}

TEST_F(Session, LostLinkWhileIdleStartsDiscovery)
{
    connectUnit();
    link.setUnplugged(true);
    ticks(27 * 2);
    EXPECT_EQ(lastMessage(), QStringLiteral("Потеряна связь с устройством"));
    EXPECT_FALSE(s.session().connected);
    EXPECT_EQ(s.session().OperationState, osSearch);
    EXPECT_FALSE(buttons.last().at(0).toBool());
    link.setUnplugged(false);
    runStep();
    EXPECT_EQ(link.openCount(), 2);
    EXPECT_TRUE(link.written().endsWith("CONFIGO"));
}

TEST_F(Session, ResetEraseAndBootloader)
{
    connectUnit();
    s.Reset_butClick();
    runStep();
    EXPECT_EQ(link.takeWritten(), QByteArray("CONFIGA"));
    EXPECT_FALSE(s.session().connected);
    EXPECT_EQ(s.session().OperationState, osSearch);
    EXPECT_TRUE(s.armed());

    connectUnit();
    s.eraseTrackConfirmed();
    runStep();
    EXPECT_EQ(link.takeWritten(), QByteArray("CONFIGX"));
    EXPECT_EQ(s.session().OperationState, osIdle);

    QSignalSpy boot(&s, &SessionController::bootloaderMode);
    s.arm();
    unit(QByteArray("BOOTLOADER\x0C\x01", 12));
    EXPECT_FALSE(s.armed());
    EXPECT_EQ(panels[3].last(), QStringLiteral("Режим загрузчика v1.2"));
    EXPECT_EQ(s.session().DeviceType, 2);
    EXPECT_EQ(boot.size(), 1);
}

TEST(ProgressWatchdog, ClosesAtItsLimitUnlessRefreshed)
{
    ProgressWatchdog w;
    w.setTimerEnabled(false);
    QSignalSpy closed(&w, &ProgressWatchdog::closed);
    QSignalSpy expired(&w, &ProgressWatchdog::expired);
    w.Progress_show(50, 0, QStringLiteral("Идет считывание конфигурации..."));
    EXPECT_EQ(w.maximum(), 10);
    for (int i = 0; i < 49; ++i)
        w.Timer1Timer();
    EXPECT_TRUE(w.isShown());
    w.Progress_refresh();
    for (int i = 0; i < 49; ++i)
        w.Timer1Timer();
    EXPECT_TRUE(w.isShown());
    w.Timer1Timer();
    EXPECT_FALSE(w.isShown());
    EXPECT_EQ(expired.size(), 1);
    EXPECT_EQ(closed.last().at(0).toString(), QStringLiteral("Нет ответа/Повторите операцию"));

    // Determinate: 15 ticks, the label kept when none is given, the bar where it was put.
    w.Progress_show(3, 40);
    EXPECT_EQ(w.label(), QStringLiteral("Идет считывание конфигурации..."));
    EXPECT_EQ(w.position(), 3);
    for (int i = 0; i < 15; ++i)
        w.Timer1Timer();
    EXPECT_FALSE(w.isShown());
    EXPECT_EQ(expired.size(), 2);
}

TEST_F(Session, WatchdogEndsTheOperation)
{
    connectUnit();
    s.Download_deviceClick();
    for (int i = 0; i < 50; ++i)
        s.progress().Timer1Timer();
    EXPECT_EQ(s.session().OperationState, osIdle);
    EXPECT_EQ(lastClosed(), QStringLiteral("Нет ответа/Повторите операцию"));
}

TEST_F(Session, UserOperationsAreNeverTakenOverByAStaleOrAutomaticRead)
{
    // "Записать" pressed after the handshake, before the first DEVICE block: the automatic read must not
    // replace the write.
    connectUnit();
    s.Upload_deviceClick();
    unit(monitorReply("DEVICE", pattern(115, 30)));
    EXPECT_EQ(s.session().OperationState, osWriteConfig);
    runStep();
    EXPECT_TRUE(link.takeWritten().startsWith("CONFIGW"));
    EXPECT_FALSE(s.session().autoReadPending);

    // A record arriving after the watchdog ended the read changes neither the records nor the next
    // operation, and says nothing.
    unit("FAIL");
    s.Download_deviceClick();
    runStep();
    for (int i = 0; i < 50; ++i)
        s.progress().Timer1Timer();
    const QByteArray before = records.config.bytes();
    messages.clear();
    s.Upload_deviceClick();
    unit(recordReply("CONFIG", pattern(512, 31)));
    unit(recordReply("CONFIG", pattern(512, 32), 1)); // a bad one too: no "Повторите попытку"
    EXPECT_EQ(records.config.bytes(), before);
    EXPECT_EQ(s.session().OperationState, osWriteConfig);
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_NE(lastClosed(), QStringLiteral("Повторите попытку"));

    // Records in the wrong order during a read are ignored too: INPOUT while CONFIG is awaited.
    unit("FAIL");
    s.Download_deviceClick();
    runStep();
    unit(recordReply("INPOUT", pattern(513, 33)));
    EXPECT_EQ(s.session().OperationState, osReadConfig);
    EXPECT_NE(records.inpOut.bytes(), pattern(513, 33));
}

TEST_F(Session, EachRecordNeedsItsOwnAcknowledgement)
{
    connectUnit();
    records.config.setBytes(pattern(512, 40));
    records.inpOut.setBytes(pattern(513, 41));
    records.confSe.setBytes(pattern(26, 42));
    s.Upload_deviceClick();
    unit("WRITE"); // before anything went out
    EXPECT_EQ(s.session().OperationState, osWriteConfig);
    runStep();
    link.takeWritten();
    unit("WRITEWRITE");
    unit("WRITE"); // the unit acknowledges twice
    EXPECT_EQ(s.session().OperationState, osWriteInOut);
    runStep();
    EXPECT_TRUE(link.takeWritten().startsWith("CONFIGI")); // not skipped
    // An acknowledgement that arrives in pieces still moves the cycle on.
    link.feed("WR");
    ticks(2);
    link.feed("I");
    ticks(3);
    link.feed("TE");
    ticks(4);
    EXPECT_EQ(s.session().OperationState, osWriteExtended);
    runStep();
    EXPECT_TRUE(link.takeWritten().startsWith("CONFIGT"));
    EXPECT_NE(lastClosed(), QStringLiteral("Конфигурация устройства обновлена"));
    unit("WRITE");
    EXPECT_EQ(lastClosed(), QStringLiteral("Конфигурация устройства обновлена"));
}

TEST_F(Session, HangUpEndsTheRunningOperationAtOnce)
{
    connectUnit();
    s.Download_deviceClick();
    runStep();
    ASSERT_TRUE(s.progress().isShown());
    link.hangUp();
    EXPECT_FALSE(s.progress().isShown());
    EXPECT_EQ(s.session().OperationState, osSearch);
    EXPECT_FALSE(s.session().connected);
    EXPECT_EQ(messages.size(), 1);
    EXPECT_EQ(lastMessage(), QStringLiteral("Потеряна связь с устройством"));
    ticks(27 * 4); // no poll fails on top of it
    EXPECT_EQ(messages.size(), 1);

    // With nothing attached, a hang-up is left to the search.
    link.hangUp();
    EXPECT_EQ(messages.size(), 1);
}

TEST_F(Session, PortDialogClosedWithoutANewPortLetsTheSearchGoOn)
{
    runStep(); // "CONFIGO", no answer
    s.portDialogOpened();
    steps(40);
    EXPECT_EQ(link.openCount(), 1);
    s.portDialogLeft(); // Cancel, or OK on the same port
    runStep();
    runStep();
    EXPECT_EQ(link.openCount(), 2);

    // An operation waiting for its step goes on where it was.
    connectUnit();
    link.takeWritten();
    s.Download_deviceClick();
    steps(5);
    s.portDialogOpened();
    steps(20);
    EXPECT_TRUE(link.written().isEmpty());
    s.portDialogLeft();
    steps(5);
    EXPECT_EQ(link.takeWritten(), QByteArray("CONFIGR"));
}

TEST_F(Session, ChoosingTheNetworkChannelLetsGoOfTheSerialUnit)
{
    connectUnit();
    QSignalSpy tcp(&s, &SessionController::tcpChosen);
    s.portDialogOpened();
    s.choosePort(QStringLiteral("TCP/IP"));
    EXPECT_EQ(tcp.size(), 1);
    EXPECT_FALSE(link.isOpen());
    EXPECT_FALSE(s.session().connected);
    EXPECT_FALSE(buttons.last().at(0).toBool());
    EXPECT_EQ(panels[3].last(), QStringLiteral("Выбран сетевой канал (TCP/IP)"));
    const int opened = link.openCount();
    ticks(27 * 10);
    steps(60);
    s.portDialogLeft();
    steps(60);
    EXPECT_TRUE(messages.isEmpty()); // no "Потеряна связь", no "TCP/IP не найден"
    EXPECT_EQ(link.openCount(), opened);
    EXPECT_EQ(panels[3].last(), QStringLiteral("Выбран сетевой канал (TCP/IP)"));

    // Back to a serial port: the search starts there.
    s.choosePort(QStringLiteral("unit"));
    EXPECT_TRUE(link.isOpen());
    EXPECT_TRUE(link.written().endsWith("CONFIGO"));
}

TEST_F(Session, ARecordReplyStalledPastTheQuietGapWaitsForItsTail)
{
    connectUnit();
    s.Download_deviceClick();
    runStep();
    const QByteArray reply = recordReply("CONFIG", pattern(512, 50));
    link.feed(reply.first(300));
    ticks(4 * 5); // five quiet gaps: 200 ms without a byte
    EXPECT_EQ(s.session().OperationState, osReadConfig);
    link.feed(reply.sliced(300));
    ticks(4);
    EXPECT_EQ(records.config.bytes(), pattern(512, 50));
    EXPECT_EQ(s.session().OperationState, osReadInOut);

    // A tail that never comes: after about half a second the reply is taken as it is.
    runStep();
    link.feed(recordReply("INPOUT", pattern(513, 51)).first(200));
    ticks(4 * 14);
    EXPECT_EQ(lastClosed(), QStringLiteral("Повторите попытку"));
    EXPECT_EQ(s.session().OperationState, osIdle);
}

} // namespace

TEST_F(Session, ReadingACopyForAComparisonLeavesTheProgramRecordsAndPagesAlone)
{
    connectUnit();
    records.config.setBytes(pattern(512, 31));
    records.inpOut.setBytes(pattern(513, 32));
    records.confSe.setBytes(pattern(26, 33));
    QSignalSpy received(&s, &SessionController::recordReceived);
    QSignalSpy adapted(&s, &SessionController::configurate);
    QSignalSpy readDone(&s, &SessionController::readCycleFinished);
    QSignalSpy copyDone(&s, &SessionController::copyReadFinished);

    ASSERT_TRUE(s.readUnitCopy());
    EXPECT_FALSE(s.readUnitCopy()); // one operation at a time
    runStep();
    EXPECT_EQ(link.takeWritten(), QByteArray("CONFIGR"));
    unit(recordReply("CONFIG", pattern(512, 41)));
    runStep();
    EXPECT_EQ(link.takeWritten(), QByteArray("CONFIGP"));
    unit(recordReply("INPOUT", pattern(513, 42)));
    runStep();
    EXPECT_EQ(link.takeWritten(), cmd::readExtended().join());
    unit(recordReply("CONFSE", pattern(26, 43), 0, "0"));

    EXPECT_EQ(s.unitCopy().config.bytes(), pattern(512, 41));
    EXPECT_EQ(s.unitCopy().inpOut.bytes(), pattern(513, 42));
    EXPECT_EQ(s.unitCopy().confSe.bytes(), pattern(26, 43));
    EXPECT_EQ(records.config.bytes(), pattern(512, 31));
    EXPECT_EQ(records.inpOut.bytes(), pattern(513, 32));
    EXPECT_EQ(records.confSe.bytes(), pattern(26, 33));
    EXPECT_EQ(received.size() + adapted.size() + readDone.size(), 0);
    ASSERT_EQ(copyDone.size(), 1);
    EXPECT_TRUE(copyDone.at(0).at(0).toBool());
    EXPECT_EQ(lastClosed(), QString()); // no "Конфигурация считана": the comparison shows its own window
    EXPECT_FALSE(panels[0].contains(QStringLiteral("Считано с устройства")));
    EXPECT_EQ(s.session().OperationState, osIdle);

    // A unit without the extended record: the copy keeps the program's, so it compares equal.
    ASSERT_TRUE(s.readUnitCopy());
    runStep();
    unit(recordReply("CONFIG", pattern(512, 41)));
    runStep();
    unit(recordReply("INPOUT", pattern(513, 42)));
    runStep();
    unit(QByteArray("CONFSE1\0\0\0\0", 11));
    EXPECT_EQ(s.unitCopy().confSe.bytes(), pattern(26, 33));
    ASSERT_EQ(copyDone.size(), 2);
    EXPECT_TRUE(copyDone.at(1).at(0).toBool());

    // A bad checksum or a password asked ends the comparison as failed; nothing of the program changes.
    link.takeWritten();
    ASSERT_TRUE(s.readUnitCopy());
    runStep();
    unit(recordReply("CONFIG", pattern(512, 44), 1));
    ASSERT_EQ(copyDone.size(), 3);
    EXPECT_FALSE(copyDone.at(2).at(0).toBool());
    ASSERT_TRUE(s.readUnitCopy());
    runStep();
    unit("+PASS=?");
    ASSERT_EQ(copyDone.size(), 4);
    EXPECT_FALSE(copyDone.at(3).at(0).toBool());
    EXPECT_EQ(records.config.bytes(), pattern(512, 31));

    // The ordinary read afterwards fills the program's records and tells the pages again.
    link.takeWritten();
    s.Download_deviceClick();
    runStep();
    unit(recordReply("CONFIG", pattern(512, 45)));
    EXPECT_EQ(records.config.bytes(), pattern(512, 45));
    EXPECT_EQ(received.size(), 1);
    EXPECT_EQ(copyDone.size(), 4);
}

TEST_F(Session, ReadingACopyIsRefusedWithoutAUnit)
{
    EXPECT_FALSE(s.readUnitCopy());
    EXPECT_EQ(s.session().OperationState, osSearch);
}

// A pulled cable is noticed by the first poll that cannot go out, whichever poll it is: the status bar and
// the buttons change at that moment, the message comes once, and a read it cut short is said in panel 0.
TEST_F(Session, LostLinkIsNoticedWithinOnePollPeriodAndSaidOnce)
{
    connectUnit();
    ticks(2 * (int(timing::kKeepAliveAfter) + 2)); // two polls went out: the next is the device poll
    EXPECT_TRUE(link.takeWritten().contains("CONFIGG"));
    link.setUnplugged(true);
    ticks(int(timing::kKeepAliveAfter) + 2); // one poll period: the device poll fails
    ASSERT_FALSE(buttons.isEmpty());
    EXPECT_FALSE(buttons.last().at(0).toBool());
    EXPECT_EQ(panels[3].last(), QStringLiteral("Потеряна связь с устройством"));
    EXPECT_EQ(panels[2].last(), QString());
    EXPECT_EQ(messages.size(), 1);

    // Found again, then lost in the middle of a read: one more message, and panel 0 says the read was cut.
    link.setUnplugged(false);
    runStep();
    unit(rvTr(2, 1));
    s.Download_deviceClick();
    link.setUnplugged(true);
    runStep(); // the request for the main record cannot go out
    EXPECT_EQ(s.session().OperationState, osSearch);
    EXPECT_FALSE(s.progress().isShown());
    EXPECT_EQ(panels[0].last(), QStringLiteral("Считывание прервано: потеряна связь"));
    EXPECT_EQ(messages.size(), 2);
    link.hangUp(); // the port saying so as well adds nothing
    EXPECT_EQ(messages.size(), 2);
}

// With repeats on (the window), the operation the lock refused runs again once the password is accepted;
// "Отмена" drops it.
TEST_F(Session, RefusedOperationRunsAgainAfterThePassword)
{
    s.setRepeatAfterPassword(true);
    connectUnit();
    s.Upload_deviceClick();
    runStep();
    ASSERT_TRUE(link.takeWritten().startsWith("CONFIGW"));
    unit("+PASS=?");
    EXPECT_EQ(s.refusedOperation(), osWriteConfig);
    EXPECT_EQ(s.session().OperationState, osIdle);
    s.submitPassword(777);
    runStep();
    EXPECT_EQ(link.takeWritten(), QByteArray("RV+PASS=777"));
    unit("+PASS=1");
    EXPECT_EQ(lastMessage(), QStringLiteral("Пароль принят"));
    EXPECT_EQ(s.session().OperationState, osWriteConfig);
    EXPECT_TRUE(s.progress().isShown());
    runStep();
    EXPECT_TRUE(link.takeWritten().startsWith("CONFIGW"));

    // Cancelled: the accepted password runs nothing.
    s.Download_deviceClick();
    runStep();
    unit("+PASS=?");
    EXPECT_EQ(s.refusedOperation(), osReadConfig);
    s.cancelPassword();
    unit("+PASS=1");
    EXPECT_EQ(s.session().OperationState, osIdle);
    EXPECT_EQ(lastMessage(), QStringLiteral("Пароль принят.\rПовторите операцию"));
}
