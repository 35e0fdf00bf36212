// The units on the server, driven frame by frame with a clock of the test's own and no sockets: time
// limits, the allow list, a unit that calls again on a new connection.

#include "core/base/bytes.h"
#include "core/base/checksum.h"
#include "core/fleet/job_queue.h"
#include "core/link/allow_list.h"
#include "core/protocol/network_units.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace rv;

namespace {

QByteArray greeting(uint16_t id, const QByteArray& imei)
{
    QByteArray body = le::bytes16(id) + imei + QByteArray(1, 28);
    QByteArray f = le::bytes16(static_cast<uint16_t>(body.size())) + body;
    return f + le::bytes16(crc16Modbus(f));
}

const QByteArray kImeiA = "861234567890123";
const QByteArray kImeiB = "861234567890124";
const QByteArray kToAcknowledge = QByteArray::fromHex("0340aabbcc2745");

class Units : public ::testing::Test {
protected:
    NetworkUnits units;
    qint64 clock = 0;
    QList<QPair<ConnectionId, QByteArray>> sent;
    QStringList log;
    QSignalSpy greeted{&units, &NetworkUnits::unitGreeted};
    QSignalSpy gone{&units, &NetworkUnits::unitGone};

    void SetUp() override
    {
        units.setClock([this] { return clock; });
        units.setSender([this](ConnectionId id, const QByteArray& f) { sent.append({id, f}); });
        QObject::connect(&units, &NetworkUnits::logLine, [this](const QString& t) { log << t; });
    }
    bool connected(ConnectionId id) const { return units.units().find(id) != nullptr; }
};

} // namespace

TEST_F(Units, ACallerMustGreetInTimeAndAUnitMustNotFallSilent)
{
    units.setTimeouts({2000, 5000});
    units.receive(1, {});          // connects and says nothing
    units.receive(2, greeting(1234, kImeiA));
    ASSERT_EQ(greeted.size(), 1);
    clock = 2000;
    units.sweep();
    EXPECT_TRUE(connected(1)); // the limit itself is still in time
    clock = 2001;
    units.sweep();
    EXPECT_FALSE(connected(1));
    EXPECT_EQ(log.filter(QStringLiteral("нет приветствия за 2 с")).size(), 1);
    EXPECT_TRUE(gone.isEmpty()); // it never was a unit

    // Anything received keeps a greeted unit; five seconds of nothing lets it go.
    clock = 4000;
    units.receive(2, kToAcknowledge);
    clock = 9000;
    units.sweep();
    EXPECT_TRUE(connected(2));
    clock = 9001;
    units.sweep();
    EXPECT_FALSE(connected(2));
    EXPECT_EQ(gone.size(), 1);
    EXPECT_EQ(log.filter(QStringLiteral("ничего не получено дольше 5 с")).size(), 1);
}

TEST_F(Units, WithAnAllowListOtherImeisAreClosedUnanswered)
{
    units.setAllowList(*AllowList::parse(u"861234567890123"));
    units.receive(1, greeting(7, kImeiB));
    EXPECT_FALSE(connected(1));
    EXPECT_TRUE(sent.isEmpty()); // not even acknowledged
    EXPECT_TRUE(greeted.isEmpty());
    EXPECT_EQ(log.filter(QStringLiteral("IMEI 861234567890124 (ID 7) нет в списке разрешённых")).size(), 1);

    units.receive(2, greeting(1234, kImeiA));
    EXPECT_EQ(greeted.size(), 1);
    ASSERT_EQ(sent.size(), 1);
    EXPECT_EQ(sent[0].first, 2u);
    EXPECT_EQ(sent[0].second.at(0), 0x01);
}

TEST_F(Units, AUnitCallingAgainReplacesItsOldConnection_RepliesComeOnlyFromGreetedUnits)
{
    QSignalSpy replies(&units, &NetworkUnits::replyReceived);
    const QByteArray done18 = QByteArray::fromHex("0580fc12000000" "04ac");
    units.receive(1, done18); // a caller that has not greeted is asked nothing, so its replies go nowhere
    EXPECT_TRUE(replies.isEmpty());
    units.receive(1, greeting(1234, kImeiA));
    units.receive(1, done18);
    EXPECT_EQ(replies.size(), 1);

    units.receive(2, greeting(1234, kImeiA));
    EXPECT_FALSE(connected(1));
    EXPECT_TRUE(connected(2));
    ASSERT_EQ(gone.size(), 1);
    EXPECT_EQ(gone[0][0].value<ConnectionId>(), 1u);
    EXPECT_EQ(units.units().greetedCount(), 1);
}

// One IMEI rule for the greeting, the allow list and the job files: a number is a unit's IMEI for all three
// or for none (a 14-digit one included), and a greeting without one makes no unit.
TEST_F(Units, OneImeiRuleForGreetingAllowListAndJobs)
{
    QTemporaryDir dir;
    const JobQueue jobs(dir.path());
    ConnectionId id = 10;
    for (const auto& [field, imei] : {std::pair{kImeiA, true}, {QByteArray("86123456789012\0", 15), false},
                                      {QByteArray("86123456789012x"), false}, {QByteArray(" 86123456789012"), false}}) {
        const QString text = QString::fromLatin1(field).remove(QChar(0));
        SCOPED_TRACE(text.toStdString());
        const qsizetype before = greeted.size();
        units.receive(++id, greeting(9, field));
        EXPECT_EQ(greeted.size() > before, imei);
        EXPECT_EQ(AllowList::parse(text).has_value(), imei);
        QFile job(dir.filePath(text + QStringLiteral(".fcg")));
        ASSERT_TRUE(job.open(QIODevice::WriteOnly));
        job.close();
        EXPECT_EQ(jobs.jobFor(text).has_value(), imei);
    }
}

// Acknowledgements are owed to a unit only: a stranger's data frames get none (a caller that sends them and
// never reads would otherwise make the program hold everything it answers), and a connection greets once.
TEST_F(Units, OnlyAGreetedUnitIsAcknowledged_ItsGreetingOnce)
{
    for (int i = 0; i < 100; ++i)
        units.receive(1, kToAcknowledge);
    EXPECT_TRUE(sent.isEmpty());
    units.receive(1, greeting(1234, kImeiA));
    ASSERT_EQ(sent.size(), 1);
    units.receive(1, greeting(1234, kImeiA));
    units.receive(1, greeting(77, kImeiB));
    EXPECT_EQ(sent.size(), 1);
    EXPECT_EQ(greeted.size(), 1);
    EXPECT_EQ(units.units().find(1)->imei, QString::fromLatin1(kImeiA));
    units.receive(1, kToAcknowledge);
    ASSERT_EQ(sent.size(), 2);
    EXPECT_EQ(sent[1].second, QByteArray::fromHex("012745"));
}

// A modem hands the greeting on with its own words around it, in one burst: the greeting is found and
// acknowledged at once, and neither the words before it nor the line end after it is called a fault.
TEST_F(Units, AGreetingAmidModemNoiseIsFound)
{
    QSignalSpy faults(&units, &NetworkUnits::inputFault);
    QSignalSpy replies(&units, &NetworkUnits::replyReceived);
    units.receive(1, "\r\nCONNECT\r\n" + greeting(1234, kImeiA) + "\r\n");
    ASSERT_EQ(greeted.size(), 1);
    ASSERT_EQ(sent.size(), 1);
    EXPECT_EQ(sent[0].second.at(0), 0x01);
    const QByteArray done18 = QByteArray::fromHex("0580fc12000000" "04ac");
    units.receive(1, done18); // after the line end still waiting
    EXPECT_EQ(replies.size(), 1);
    units.receive(1, "\r\n");
    clock += 11000; // a line end left waiting expires without a word
    units.sweep();
    EXPECT_TRUE(faults.isEmpty()) << log.join('|').toStdString();
    EXPECT_TRUE(log.filter(QStringLiteral("неполный")).isEmpty());

    // Noise before anything else is still a fault of the caller's.
    units.receive(2, "\r\nNO CARRIER\r\n" + kToAcknowledge);
    EXPECT_EQ(faults.size(), 1);
}

// Two units with one IMEI would take the connection from each other for ever: after a few rounds the one
// that holds it keeps it, and the other is refused with both addresses named. After a quiet spell a unit
// calling again takes its place as before.
TEST_F(Units, TwoUnitsWithOneImeiSettle_TheOneConnectedStays)
{
    ConnectionId id = 1;
    units.receive(id, greeting(1234, kImeiA));
    for (int round = 0; round < NetworkUnits::kTakeoversAllowed; ++round) {
        units.receive(++id, greeting(1234, kImeiA));
        EXPECT_TRUE(connected(id));
        EXPECT_FALSE(connected(id - 1));
    }
    const ConnectionId holder = id;
    units.receive(++id, greeting(1234, kImeiA));
    EXPECT_TRUE(connected(holder));
    EXPECT_FALSE(connected(id));
    EXPECT_EQ(log.filter(QStringLiteral("подключилось заново")).size(), NetworkUnits::kTakeoversAllowed);
    ASSERT_EQ(log.filter(QStringLiteral("один IMEI")).size(), 1);
    EXPECT_TRUE(log.filter(QStringLiteral("один IMEI")).first().contains(QString::fromLatin1(kImeiA)));
    units.receive(++id, greeting(1234, kImeiA)); // still going on: refused again
    EXPECT_TRUE(connected(holder));
    EXPECT_EQ(log.filter(QStringLiteral("один IMEI")).size(), 2);

    clock += NetworkUnits::kTakeoverWindowMs + 1;
    units.receive(holder, kToAcknowledge); // the holder stays in touch
    units.sweep();
    units.receive(++id, greeting(1234, kImeiA));
    EXPECT_TRUE(connected(id));
    EXPECT_FALSE(connected(holder));
}
