// The program's TCP server and the network protocol against the virtual unit calling it over loopback,
// with the real timers and sockets: greeting, read, write, monitor, erase and reset; a caller beyond the
// bound refused; the unit dropping mid-read; a unit with a broken CRC; a hostile caller; port scans, a
// silent caller, a stray byte and a unit that falls silent and calls again.

#include "core/config/fcg_file.h"
#include "core/link/memory_link.h"
#include "core/monitor/monitor_blocks.h"
#include "core/protocol/device_session.h"
#include "core/protocol/session_texts.h"
#include "core/protocol/remote_session.h"
#include "support/rvsim_process.h"
#include "support/unit_bytes.h"
#include "support/wait.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTcpSocket>
#include <gtest/gtest.h>

#include <iostream>

using namespace rv;
using rvtest::RvsimProcess;
using rvtest::waitUntil;

namespace {

// CRC-16/MODBUS bit by bit, for frames spelled out here rather than composed by the code under test.
uint16_t bitwiseCrc(QByteArrayView data)
{
    uint16_t crc = 0xFFFF;
    for (char c : data) {
        crc ^= static_cast<uint8_t>(c);
        for (int i = 0; i < 8; ++i)
            crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : static_cast<uint16_t>(crc >> 1);
    }
    return crc;
}

QByteArray withCrc(QByteArray b)
{
    const uint16_t crc = bitwiseCrc(b);
    b += static_cast<char>(crc & 0xFF);
    b += static_cast<char>(crc >> 8);
    return b;
}

// A frame as a unit sends it: header word (length, type), body, CRC.
QByteArray unitFrame(uint8_t type, const QByteArray& body)
{
    const uint16_t header = static_cast<uint16_t>(body.size() | (type << 14));
    QByteArray b;
    b += static_cast<char>(header & 0xFF);
    b += static_cast<char>(header >> 8);
    return withCrc(b + body);
}

struct Rig {
    MemoryLink link; // the serial side stays unused
    ConfigRecords records;
    MonitorBlocks monitor;
    SessionController session{link, &records, &monitor};
    RemoteSession remote{session};
    SessionTexts texts{session};
    QStringList messages;
    QStringList closed;
    QStringList log;

    Rig()
    {
        QObject::connect(&texts, &SessionTexts::message, [this](const QString& t) { messages << t; });
        QObject::connect(&session.progress(), &ProgressWatchdog::closed, [this](const QString& t) { closed << t; });
        QObject::connect(&remote, &RemoteSession::logLine, [this](const QString& t) { log << t; });
        session.setPortName(QStringLiteral("TCP/IP"));
        session.start(true);
        EXPECT_TRUE(remote.startServer(QStringLiteral("0"), QHostAddress::LocalHost));
    }
    QString where() const { return QStringLiteral("127.0.0.1:%1").arg(remote.server().port()); }
    std::unique_ptr<RvsimProcess> unit(QStringList args = {})
    {
        args << QStringLiteral("--tcp") << where();
        return std::make_unique<RvsimProcess>(QStringLiteral(RVSIM_PATH), args);
    }
    bool attached()
    {
        return waitUntil([this] { return remote.unitAttached(); });
    }
    bool closedWith(const QString& text)
    {
        return waitUntil([&] { return closed.contains(text); });
    }
    ConfigRecords unitRecords(const RvsimProcess& unit) const
    {
        ConfigRecords r;
        EXPECT_TRUE(openFcg(unit.statePath(), r).ok());
        return r;
    }
};

} // namespace

TEST(RemoteE2E, GreetingReadWriteMonitorEraseAndReset)
{
    Rig rig;
    auto unit = rig.unit();
    ASSERT_TRUE(unit->started());
    ASSERT_TRUE(rig.attached());
    EXPECT_EQ(rig.remote.greetingInfo().unitId, 1234);
    EXPECT_EQ(rig.remote.greetingInfo().imei, QStringLiteral("861234567890123"));
    // The greeting and the unit's own data frame were both acknowledged.
    ASSERT_TRUE(waitUntil([&] { return unit->count("ACK") == 2; }));

    // Read: the three records, as the unit holds them.
    rig.session.Download_deviceClick();
    ASSERT_TRUE(rig.closedWith(QStringLiteral("Конфигурация считана"))) << rig.closed.join(',').toStdString();
    const ConfigRecords held = rig.unitRecords(*unit);
    EXPECT_EQ(rig.records.config.bytes(), held.config.bytes());
    EXPECT_EQ(rig.records.inpOut.bytes(), held.inpOut.bytes());
    EXPECT_EQ(rig.records.confSe.bytes(), held.confSe.bytes());

    // Write: the unit ends up holding our bytes. The last byte of InpOutBlock does not fit the frame's
    // 512-byte area and stays the unit's.
    rig.records.config.setBytes(rvtest::pattern(512, 21));
    QByteArray inpOut = rvtest::pattern(513, 22);
    inpOut[512] = static_cast<char>(held.inpOut.bytes().at(512) ^ 0x55);
    rig.records.inpOut.setBytes(inpOut);
    rig.records.confSe.setBytes(rvtest::pattern(26, 23));
    rig.session.Upload_deviceClick();
    ASSERT_TRUE(rig.closedWith(QStringLiteral("Конфигурация записана\nID устройства: 1234, IMEI 861234567890123"))) << rig.closed.join(',').toStdString();
    const ConfigRecords written = rig.unitRecords(*unit);
    EXPECT_EQ(written.config.bytes(), rvtest::pattern(512, 21));
    EXPECT_EQ(written.inpOut.bytes().first(512), inpOut.first(512));
    EXPECT_EQ(written.inpOut.bytes().at(512), held.inpOut.bytes().at(512));
    EXPECT_EQ(written.confSe.bytes(), rvtest::pattern(26, 23));
    // The extended record's frame on the wire, spelled out: 02 16 02 1A 00, the record, zeros, CRC.
    QByteArray golden = QByteArray::fromHex("0216021a00") + rvtest::pattern(26, 23) + QByteArray(486, '\0');
    EXPECT_TRUE(unit->received().contains(withCrc(golden)));

    // Monitor: the poll asks for both blocks.
    QSignalSpy gps(&rig.session, &SessionController::gpsReceived);
    QSignalSpy device(&rig.session, &SessionController::deviceReceived);
    ASSERT_TRUE(waitUntil([&] { return !gps.isEmpty() && !device.isEmpty(); }));
    EXPECT_EQ(rig.monitor.device.bytes().first(2 + 14).sliced(14), QByteArray::fromHex("d204")); // unit ID 1234
    EXPECT_NE(rig.monitor.gps.bytes(), QByteArray(GpsBlock::kSize, '\0'));

    rig.session.eraseTrackConfirmed();
    ASSERT_TRUE(rig.closedWith(QStringLiteral("Команда 16 выполнена")));
    EXPECT_EQ(unit->count("R16"), 1);
    EXPECT_FALSE(rig.remote.operationRunning());

    // Reset: the unit confirms, restarts and so ends the connection; the server listens on, and the unit
    // that calls again after its restart is attached again.
    rig.session.Reset_butClick();
    ASSERT_TRUE(rig.closedWith(QStringLiteral("Команда 18 выполнена")));
    ASSERT_TRUE(waitUntil([&] { return rig.messages.contains(QStringLiteral("Соединение закрыто")); }));
    EXPECT_TRUE(rig.remote.serverRunning());
    EXPECT_EQ(unit->count("R18"), 1);
    ASSERT_TRUE(rig.attached());
    EXPECT_TRUE(rig.messages.filter(QStringLiteral("Ошибка")).isEmpty()) << rig.messages.join(',').toStdString();
}

// The unit's replies also come in random pieces here, as a GPRS link delivers them.
TEST(RemoteE2E, ASecondCallerIsRefusedAndTheUnitKeepsItsSession)
{
    Rig rig;
    rig.remote.units().setMaxUnits(1); // the case of one unit
    auto unit = rig.unit({QStringLiteral("--split"), QStringLiteral("--split-seed"), QStringLiteral("5")});
    ASSERT_TRUE(unit->started());
    ASSERT_TRUE(rig.attached());

    QTcpSocket intruder;
    // A read request in the unit's place, sent the moment the connection is up: it must not reach the session.
    QObject::connect(&intruder, &QTcpSocket::connected, [&] { intruder.write(unitFrame(2, QByteArray::fromHex("15000200") + "xx")); });
    intruder.connectToHost(QHostAddress::LocalHost, rig.remote.server().port());
    ASSERT_TRUE(waitUntil([&] { return !rig.log.filter(QStringLiteral("Отклонено подключение")).isEmpty(); }));
    ASSERT_TRUE(waitUntil([&] { return intruder.state() == QAbstractSocket::UnconnectedState; }));
    EXPECT_EQ(rig.log.filter(QStringLiteral("Отклонено подключение")).size(), 1);
    EXPECT_TRUE(rig.remote.serverRunning());
    EXPECT_TRUE(rig.remote.unitAttached());

    rig.session.Download_deviceClick();
    ASSERT_TRUE(rig.closedWith(QStringLiteral("Конфигурация считана"))) << rig.closed.join(',').toStdString();
    EXPECT_EQ(rig.records.config.bytes(), rig.unitRecords(*unit).config.bytes());
}

TEST(RemoteE2E, UnitDroppingMidReadEndsTheReadAtOnce)
{
    Rig rig;
    auto unit = rig.unit({QStringLiteral("--drop-on"), QStringLiteral("21/1")});
    ASSERT_TRUE(unit->started());
    ASSERT_TRUE(rig.attached());
    const QByteArray before = rvtest::pattern(513, 3);
    rig.records.inpOut.setBytes(before);
    QSignalSpy finished(&rig.session, &SessionController::readCycleFinished);
    rig.session.Download_deviceClick();
    ASSERT_TRUE(waitUntil([&] { return rig.messages.contains(QStringLiteral("Соединение закрыто")); }));
    // Ended now, not by the 20 s watchdog, and nothing reported as read.
    EXPECT_FALSE(rig.session.progress().isShown());
    EXPECT_FALSE(rig.closed.contains(QStringLiteral("Нет ответа/Повторите операцию")));
    EXPECT_TRUE(finished.isEmpty());
    EXPECT_FALSE(rig.remote.unitAttached());
    EXPECT_FALSE(rig.remote.operationRunning());
    EXPECT_TRUE(rig.remote.serverRunning()); // listening for the unit to call again
    EXPECT_EQ(rig.records.config.bytes(), rig.unitRecords(*unit).config.bytes()); // record 0 had arrived
    EXPECT_EQ(rig.records.inpOut.bytes(), before);
}

TEST(RemoteE2E, AUnitWithABrokenCrcIsNeitherAcknowledgedNorAttached)
{
    Rig rig;
    auto unit = rig.unit({QStringLiteral("--bad-checksum")});
    ASSERT_TRUE(unit->started());
    ASSERT_TRUE(waitUntil([&] { return rig.messages.contains(QStringLiteral("Ошибка целостности данных")); }));
    EXPECT_FALSE(rig.remote.unitAttached());
    EXPECT_EQ(unit->count("ACK"), 0);
    EXPECT_EQ(rig.messages.size(), 1);
}

// A caller that sends random bytes, the largest lengths a header can claim and frames cut short, for a
// bounded number of rounds: the program keeps at most one frame of it, says so once, answers it nothing (it
// has not greeted), and serves the real unit afterwards.
TEST(RemoteE2E, HostileCallerHoldsNoMoreThanAFrameAndTheUnitIsServedAfterwards)
{
    Rig rig;
    rig.remote.units().setTimeouts({3'600'000, 3'600'000}); // this caller is held to the rounds, not the clock
    QTcpSocket hostile;
    hostile.connectToHost(QHostAddress::LocalHost, rig.remote.server().port());
    ASSERT_TRUE(waitUntil([&] { return rig.remote.server().hasConnection(); }));
    QRandomGenerator rng(19);
    const QByteArray ack = unitFrame(1, "PKT1");
    qsizetype largest = 0;
    qint64 sentBytes = 0;
    for (int round = 0; round < 300; ++round) {
        QByteArray chunk;
        switch (round % 4) {
        case 0: // noise
            chunk.resize(rng.bounded(1, 2000));
            for (char& c : chunk)
                c = static_cast<char>(rng.bounded(256));
            break;
        case 1: // the largest length, then not enough bytes
            chunk = QByteArray::fromHex("ffff") + QByteArray(rng.bounded(1, 900), 'x');
            break;
        case 2: // a frame cut short, completed by whatever comes next
            chunk = unitFrame(2, QByteArray(100, 'y')).first(50);
            break;
        case 3: // enough filler to close any open frame, then a whole one that wants an answer
            chunk = QByteArray(1100, '\0') + ack;
            break;
        }
        sentBytes += hostile.write(chunk);
        hostile.flush();
        waitUntil([&] { return hostile.bytesToWrite() == 0; });
        QCoreApplication::processEvents();
        largest = std::max(largest, rig.remote.pendingInput());
        ASSERT_EQ(hostile.state(), QAbstractSocket::ConnectedState);
    }
    // Let the last bytes arrive.
    waitUntil([&] { return false; }, 200);
    largest = std::max(largest, rig.remote.pendingInput());
    EXPECT_LT(largest, remote::kMaxFrameSize);
    EXPECT_GT(sentBytes, 100000);
    // A caller that is not the unit worked with raises one message at most; the rest of its faults, once per
    // run of bad input, go to the log.
    EXPECT_EQ(rig.messages.size(), 1);
    EXPECT_GE(rig.log.filter(QStringLiteral("Ошибка")).size(), 2);
    // A caller that has not greeted is answered nothing, whole frames among its garbage included: what it
    // sends costs the program no bytes to hold for it.
    const QByteArray answered = hostile.readAll();
    std::cout << "[ hostile ] " << sentBytes << " bytes sent, at most " << largest << " held, "
              << rig.messages.size() << " reports, " << answered.size() << " bytes answered\n";
    EXPECT_TRUE(answered.isEmpty());

    hostile.disconnectFromHost();
    ASSERT_TRUE(waitUntil([&] { return !rig.remote.server().hasConnection(); }));
    EXPECT_EQ(rig.log.filter(QStringLiteral("соединение закрыто")).size(), 1) << rig.log.join('\n').toStdString();
    EXPECT_EQ(rig.remote.pendingInput(), 0);

    // The server is still up; the real unit calls and is served.
    EXPECT_TRUE(rig.remote.serverRunning());
    auto unit = rig.unit();
    ASSERT_TRUE(unit->started());
    ASSERT_TRUE(rig.attached());
    rig.session.Download_deviceClick();
    ASSERT_TRUE(rig.closedWith(QStringLiteral("Конфигурация считана"))) << rig.closed.join(',').toStdString();
    EXPECT_EQ(rig.records.confSe.bytes(), rig.unitRecords(*unit).confSe.bytes());
}

// Twenty connect-and-close probes, then a caller that never greets while the real unit calls: every probe
// is logged and none stops the server; the silent caller is closed at its limit and the unit is served.
TEST(RemoteE2E, ScansAndASilentCallerDoNotKeepTheUnitOut)
{
    Rig rig;
    rig.remote.units().setTimeouts({1000, 120000});
    for (int i = 0; i < 20; ++i) {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, rig.remote.server().port());
        ASSERT_TRUE(waitUntil([&] { return probe.state() == QAbstractSocket::ConnectedState; }, 60000));
        if (i % 2)
            probe.abort(); // a reset rather than a close
        else
            probe.disconnectFromHost();
        ASSERT_TRUE(waitUntil([&] { return rig.log.filter(QStringLiteral("до приветствия")).size() == i + 1; }, 60000))
            << rig.log.join('\n').toStdString();
    }
    EXPECT_TRUE(rig.remote.serverRunning());
    EXPECT_TRUE(rig.messages.isEmpty());

    QTcpSocket silent;
    silent.connectToHost(QHostAddress::LocalHost, rig.remote.server().port());
    ASSERT_TRUE(waitUntil([&] { return silent.state() == QAbstractSocket::ConnectedState; }, 60000));
    auto unit = rig.unit();
    ASSERT_TRUE(unit->started());
    ASSERT_TRUE(rig.attached());
    ASSERT_TRUE(waitUntil([&] { return silent.state() == QAbstractSocket::UnconnectedState; }, 60000));
    EXPECT_EQ(rig.log.filter(QStringLiteral("нет приветствия за 1 с")).size(), 1);
    rig.session.Download_deviceClick();
    ASSERT_TRUE(rig.closedWith(QStringLiteral("Конфигурация считана"))) << rig.closed.join(',').toStdString();
}

// A stray byte before the greeting, and later a header that promises 1023 bytes before a whole frame:
// both frames are answered as they arrive, not after the partial frame's time runs out.
TEST(RemoteE2E, AStrayByteOrAnOverlongHeaderDoesNotStallTheLink)
{
    Rig rig;
    QTcpSocket fake;
    fake.connectToHost(QHostAddress::LocalHost, rig.remote.server().port());
    ASSERT_TRUE(waitUntil([&] { return fake.state() == QAbstractSocket::ConnectedState; }, 60000));
    const QByteArray greeting = QByteArray::fromHex("1200d2043836313233343536373839303132331c5201");
    QByteArray answered;
    const auto answeredWith = [&](const QByteArray& frame) {
        return waitUntil([&] {
            answered += fake.readAll();
            return answered.contains(QByteArray::fromHex("01") + frame.last(2));
        }, 60000);
    };
    fake.write(QByteArray::fromHex("07") + greeting);
    ASSERT_TRUE(answeredWith(greeting));
    EXPECT_TRUE(rig.remote.unitAttached());
    const QByteArray data = unitFrame(1, "PKT2");
    fake.write(QByteArray::fromHex("ff03") + "ab" + data);
    ASSERT_TRUE(answeredWith(data));
    EXPECT_TRUE(rig.log.filter(QStringLiteral("неполный кадр")).isEmpty()) << rig.log.join('\n').toStdString();
    EXPECT_EQ(rig.remote.pendingInput(), 0);
}

// The unit says nothing for longer than the limit: it is let go (and the user told), and when it calls
// again it is attached again.
TEST(RemoteE2E, AUnitThatFallsSilentIsDroppedAndAttachedAgainWhenItCalls)
{
    Rig rig;
    rig.remote.units().setTimeouts({10000, 1500});
    auto unit = rig.unit({QStringLiteral("--redial-ms"), QStringLiteral("200")});
    ASSERT_TRUE(unit->started());
    ASSERT_TRUE(rig.attached());
    ASSERT_TRUE(waitUntil([&] { return rig.messages.contains(QStringLiteral("Соединение закрыто")); }, 60000));
    EXPECT_EQ(rig.log.filter(QStringLiteral("ничего не получено дольше 1.5 с")).size(), 1)
        << rig.log.join('\n').toStdString();
    EXPECT_TRUE(rig.remote.serverRunning());
    ASSERT_TRUE(rig.attached());
    EXPECT_GE(rig.log.filter(QStringLiteral("Устройство 1234, IMEI 861234567890123, прошивка 28")).size(), 2);
}
