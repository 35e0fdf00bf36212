// The real serial component and the session controller against the virtual unit on a pseudo-terminal,
// with the real timers: each scenario takes seconds because the pacing is the unit's.

#include "core/config/fcg_file.h"
#include "core/link/serial_link.h"
#include "core/monitor/monitor_blocks.h"
#include "core/protocol/device_session.h"
#include "core/protocol/session_texts.h"
#include "support/rvsim_process.h"
#include "support/unit_bytes.h"
#include "support/wait.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <iostream>

using namespace rv;
using rvtest::RvsimProcess;
using rvtest::waitUntil;

namespace {

struct Rig {
    SerialLink link;
    ConfigRecords records;
    MonitorBlocks monitor;
    SessionController session{link, &records, &monitor};
    SessionTexts texts{session};
    QStringList panel3;
    QStringList messages;
    QStringList closed;
    QElapsedTimer clock;

    explicit Rig(const QString& port)
    {
        session.setPortName(port);
        QObject::connect(&texts, &SessionTexts::statusText, [this](int p, const QString& t) {
            if (p == 3 && (panel3.isEmpty() || panel3.last() != t))
                panel3 << t;
        });
        QObject::connect(&texts, &SessionTexts::message, [this](const QString& t) { messages << t; });
        QObject::connect(&session.progress(), &ProgressWatchdog::closed, [this](const QString& t) { closed << t; });
        clock.start();
    }
    ConfigRecords unitRecords(const RvsimProcess& unit) const
    {
        ConfigRecords r;
        EXPECT_TRUE(openFcg(unit.statePath(), r).ok());
        return r;
    }
};

template <size_t N>
QByteArray goldenWrite(const char (&head)[N], const QByteArray& record)
{
    unsigned sum = 0;
    for (char c : record)
        sum += static_cast<unsigned char>(c);
    QByteArray b(head, N - 1);
    b += record;
    b += static_cast<char>(sum & 0xFF);
    b += static_cast<char>((sum >> 8) & 0xFF);
    return b;
}

void expectSameRecords(const ConfigRecords& a, const ConfigRecords& b)
{
    EXPECT_EQ(a.config.bytes(), b.config.bytes());
    EXPECT_EQ(a.inpOut.bytes(), b.inpOut.bytes());
    EXPECT_EQ(a.confSe.bytes(), b.confSe.bytes());
}

} // namespace

TEST(SessionE2E, DiscoversTheUnitAndReadsItsConfigurationAtOnce)
{
    RvsimProcess unit(QStringLiteral(RVSIM_PATH));
    ASSERT_TRUE(unit.started());
    Rig rig(unit.pty());
    QSignalSpy connected(&rig.session, &SessionController::deviceConnected);
    QSignalSpy finished(&rig.session, &SessionController::readCycleFinished);
    QList<qint64> recordTimes, gpsTimes, deviceTimes;
    QObject::connect(&rig.session, &SessionController::recordReceived, [&] { recordTimes << rig.clock.elapsed(); });
    QObject::connect(&rig.session, &SessionController::gpsReceived, [&] { gpsTimes << rig.clock.elapsed(); });
    QObject::connect(&rig.session, &SessionController::deviceReceived, [&] { deviceTimes << rig.clock.elapsed(); });

    rig.session.start();
    ASSERT_TRUE(waitUntil([&] { return !connected.isEmpty(); }));
    const qint64 handshakeAt = rig.clock.elapsed();
    EXPECT_TRUE(rig.session.session().connected);
    ASSERT_TRUE(waitUntil([&] { return !finished.isEmpty(); })) << rig.closed.join(',').toStdString();
    EXPECT_EQ(rig.closed.last(), QStringLiteral("Конфигурация считана"));
    expectSameRecords(rig.records, rig.unitRecords(unit));
    EXPECT_EQ(unit.count("CONFIGR"), 1);

    // Keep-alive polls go on once the read is over.
    const qsizetype polled = gpsTimes.size() + deviceTimes.size();
    EXPECT_TRUE(waitUntil([&] { return gpsTimes.size() + deviceTimes.size() >= polled + 4; }));
    EXPECT_NE(rig.monitor.gps.bytes(), QByteArray(GpsBlock::kSize, '\0'));

    ASSERT_EQ(recordTimes.size(), 3);
    const qint64 first = gpsTimes.isEmpty() ? 0 : gpsTimes.first();
    std::cout << "[ timing ] handshake after start: " << handshakeAt << " ms; records at +"
              << recordTimes[0] - handshakeAt << ", +" << recordTimes[1] - recordTimes[0] << ", +"
              << recordTimes[2] - recordTimes[1] << " ms; poll replies every ~"
              << (gpsTimes.size() > 2 ? (gpsTimes.last() - first) / (gpsTimes.size() - 1) / 2 : 0) << " ms\n";
    // A step of about a second between the records: never sooner (a busy machine may make it later).
    EXPECT_GT(recordTimes[1] - recordTimes[0], 900);
    EXPECT_GT(recordTimes[2] - recordTimes[1], 900);
}

TEST(SessionE2E, WriteCycleLeavesTheUnitHoldingExactlyOurRecords)
{
    RvsimProcess unit(QStringLiteral(RVSIM_PATH));
    ASSERT_TRUE(unit.started());
    Rig rig(unit.pty());
    rig.session.session().autoReadPending = false;
    QSignalSpy connected(&rig.session, &SessionController::deviceConnected);
    QSignalSpy written(&rig.session, &SessionController::writeCycleFinished);
    rig.session.start();
    ASSERT_TRUE(waitUntil([&] { return !connected.isEmpty(); }));

    rig.records.config.setBytes(rvtest::pattern(512, 21));
    rig.records.inpOut.setBytes(rvtest::pattern(513, 22));
    rig.records.confSe.setBytes(rvtest::pattern(26, 23));
    rig.session.Upload_deviceClick();
    ASSERT_TRUE(waitUntil([&] { return !written.isEmpty(); })) << rig.closed.join(',').toStdString();
    EXPECT_EQ(rig.closed.last(), QStringLiteral("Конфигурация устройства обновлена"));
    expectSameRecords(rig.records, rig.unitRecords(unit));
    // The unit received the exact bytes of each record write.
    // The unit received the exact bytes of each record write, spelled out here rather than composed by the
    // code under test: word, length low byte first, record, additive checksum low byte first.
    const QByteArray wire = unit.received();
    EXPECT_TRUE(wire.contains(goldenWrite("CONFIGW\x00\x02", rvtest::pattern(512, 21))));
    EXPECT_TRUE(wire.contains(goldenWrite("CONFIGI\x01\x02", rvtest::pattern(513, 22))));
    EXPECT_TRUE(wire.contains(goldenWrite("CONFIGT0\x1A\x00", rvtest::pattern(26, 23))));
}

TEST(SessionE2E, PasswordLockedUnitReadsAfterThePassword)
{
    RvsimProcess unit(QStringLiteral(RVSIM_PATH), {QStringLiteral("--password"), QStringLiteral("777")});
    ASSERT_TRUE(unit.started());
    Rig rig(unit.pty());
    QSignalSpy wanted(&rig.session, &SessionController::passwordWanted);
    QSignalSpy finished(&rig.session, &SessionController::readCycleFinished);
    rig.session.start();
    // The auto-read meets the lock.
    ASSERT_TRUE(waitUntil([&] { return !wanted.isEmpty(); }));
    rig.session.submitPassword(777);
    ASSERT_TRUE(waitUntil([&] { return rig.messages.contains(QStringLiteral("Пароль принят.\rПовторите операцию")); }));
    rig.session.Download_deviceClick();
    ASSERT_TRUE(waitUntil([&] { return !finished.isEmpty(); }));
    expectSameRecords(rig.records, rig.unitRecords(unit));
    EXPECT_TRUE(unit.received().contains("RV+PASS=777"));
}

TEST(SessionE2E, SilentUnitIsSearchedForEveryTwoSeconds)
{
    RvsimProcess unit(QStringLiteral(RVSIM_PATH), {QStringLiteral("--silent")});
    ASSERT_TRUE(unit.started());
    Rig rig(unit.pty());
    rig.session.start();
    ASSERT_TRUE(waitUntil([&] { return rig.panel3.size() >= 4 && unit.count("CONFIGO") >= 2; }));
    for (int i = 0; i < rig.panel3.size(); ++i)
        EXPECT_EQ(rig.panel3[i], i % 2 == 0 ? QStringLiteral("Настройка соединения...")
                                            : QStringLiteral("Устройство не обнаружено"));
}

TEST(SessionE2E, UnplugWhileIdleIsNoticedAndTheUnitFoundAgain)
{
    QTemporaryDir dir;
    const QString port = dir.filePath(QStringLiteral("ttyRV0"));
    const QStringList args{QStringLiteral("--link"), port};
    auto unit = std::make_unique<RvsimProcess>(QStringLiteral(RVSIM_PATH), args);
    ASSERT_TRUE(unit->started());
    Rig rig(port);
    rig.session.session().autoReadPending = false;
    QSignalSpy connected(&rig.session, &SessionController::deviceConnected);
    rig.session.start();
    ASSERT_TRUE(waitUntil([&] { return !connected.isEmpty(); }));

    unit->stop(); // the cable is pulled
    ASSERT_TRUE(waitUntil([&] { return rig.messages.contains(QStringLiteral("Потеряна связь с устройством")); }));
    EXPECT_FALSE(rig.session.session().connected);
    waitUntil([&] { return rig.panel3.last().endsWith(QStringLiteral(" не найден")); });

    unit = std::make_unique<RvsimProcess>(QStringLiteral(RVSIM_PATH), args); // plugged in again
    ASSERT_TRUE(unit->started());
    ASSERT_TRUE(waitUntil([&] { return connected.size() == 2; }));
    EXPECT_TRUE(rig.session.session().connected);
}

// Real adapters hand a reply on in many small pieces. With every reply split at random (1..200 bytes,
// 0.1..3 ms apart), discovery, the automatic read and several write/read rounds must all complete, and
// every record must arrive whole in both directions.
TEST(SessionE2E, RepliesInPiecesDiscoveryReadAndWriteRounds)
{
    RvsimProcess unit(QStringLiteral(RVSIM_PATH), {QStringLiteral("--split"), QStringLiteral("--split-seed"),
                                                   QStringLiteral("7")});
    ASSERT_TRUE(unit.started());
    Rig rig(unit.pty());
    QSignalSpy connected(&rig.session, &SessionController::deviceConnected);
    QSignalSpy read(&rig.session, &SessionController::readCycleFinished);
    QSignalSpy written(&rig.session, &SessionController::writeCycleFinished);
    rig.session.start();
    ASSERT_TRUE(waitUntil([&] { return !connected.isEmpty(); }));
    ASSERT_TRUE(waitUntil([&] { return read.size() == 1; })) << rig.closed.join(',').toStdString();
    expectSameRecords(rig.records, rig.unitRecords(unit));

    for (int round = 1; round <= 3; ++round) {
        rig.records.config.setBytes(rvtest::pattern(512, 100 + round));
        rig.records.inpOut.setBytes(rvtest::pattern(513, 200 + round));
        rig.records.confSe.setBytes(rvtest::pattern(26, 300 + round));
        rig.session.Upload_deviceClick();
        ASSERT_TRUE(waitUntil([&] { return written.size() == round; }))
            << "round " << round << ": " << rig.closed.join(',').toStdString();
        expectSameRecords(rig.records, rig.unitRecords(unit));

        rig.records.config.setBytes(QByteArray(512, '\0'));
        rig.records.inpOut.setBytes(QByteArray(513, '\0'));
        rig.records.confSe.setBytes(QByteArray(26, '\0'));
        rig.session.Download_deviceClick();
        ASSERT_TRUE(waitUntil([&] { return read.size() == round + 1; }))
            << "round " << round << ": " << rig.closed.join(',').toStdString();
        EXPECT_EQ(rig.records.config.bytes(), rvtest::pattern(512, 100 + round));
        EXPECT_EQ(rig.records.inpOut.bytes(), rvtest::pattern(513, 200 + round));
        EXPECT_EQ(rig.records.confSe.bytes(), rvtest::pattern(26, 300 + round));
    }
    EXPECT_FALSE(rig.closed.contains(QStringLiteral("Повторите попытку")));
    EXPECT_TRUE(rig.messages.isEmpty()) << rig.messages.join(',').toStdString();
}

// The cable pulled in the middle of a read: the operation ends at once with the lost-link message, not
// after the ten-second watchdog.
TEST(SessionE2E, UnplugDuringAReadEndsItAtOnce)
{
    auto unit = std::make_unique<RvsimProcess>(QStringLiteral(RVSIM_PATH),
                                               QStringList{QStringLiteral("--drop-on"), QStringLiteral("CONFIGP")});
    ASSERT_TRUE(unit->started());
    Rig rig(unit->pty());
    QSignalSpy connected(&rig.session, &SessionController::deviceConnected);
    rig.session.start();
    ASSERT_TRUE(waitUntil([&] { return !connected.isEmpty(); }));
    // The automatic read asks for the second record and the unit drops the line.
    ASSERT_TRUE(waitUntil([&] { return rig.messages.contains(QStringLiteral("Потеряна связь с устройством")); }));
    EXPECT_EQ(rig.session.session().OperationState, osSearch);
    EXPECT_FALSE(rig.session.progress().isShown());
    EXPECT_EQ(rig.messages.count(QStringLiteral("Потеряна связь с устройством")), 1);
}
