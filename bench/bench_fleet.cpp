// 1000 units connected at once to `rvctl serve --jobs` on 127.0.0.1, 200 of them with a write job. The units
// are sockets of this one process that speak the network protocol (greeting, acknowledgements, write
// replies). Reported: the server's memory per connection (its resident size before and after the 1000
// greetings), jobs per minute (first job started to last job done), and the time from a unit's greeting to
// its job's first frame.

#include "core/config/fcg_file.h"
#include "core/base/bytes.h"
#include "core/base/checksum.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int kUnits = 1000;
constexpr int kJobs = 200;

QByteArray unitFrame(uint8_t type, const QByteArray& body)
{
    QByteArray f = rv::le::bytes16(static_cast<uint16_t>(body.size() | (type << 14))) + body;
    return f + rv::le::bytes16(rv::crc16Modbus(f));
}

QString imeiOf(int i)
{
    return QString::number(861000000000000LL + i);
}

long residentKb(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

struct Unit {
    QTcpSocket socket;
    QByteArray input;
    bool greeted = false;
    qint64 greetAt = -1, jobAt = -1, doneAt = -1;
};

void waitFor(const std::function<bool()>& done, int ms)
{
    QDeadlineTimer limit(ms);
    while (!done() && !limit.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString jobs = dir.filePath(QStringLiteral("jobs"));
    QDir().mkpath(jobs);
    rv::ConfigRecords records;
    for (int i = 0; i < kJobs; ++i)
        rv::saveFcg(QDir(jobs).filePath(imeiOf(i * (kUnits / kJobs)) + QStringLiteral(".fcg")), records);

    QProcess serve;
    serve.setStandardOutputFile(QProcess::nullDevice()); // one event line per unit: thousands
    serve.start(QStringLiteral(RVCTL_PATH), {QStringLiteral("serve"), QStringLiteral("--listen"), QStringLiteral("0"),
                                             QStringLiteral("--address"), QStringLiteral("127.0.0.1"),
                                             QStringLiteral("--jobs"), jobs,
                                             // all 1000 call from one address at once, and the bench wants them all
                                             QStringLiteral("--max-per-address"), QString::number(kUnits)});
    QString err;
    quint16 port = 0;
    const QRegularExpression listening(QStringLiteral("listening on 127\\.0\\.0\\.1:(\\d+)"));
    for (QDeadlineTimer limit(60000); port == 0 && !limit.hasExpired();) {
        serve.waitForReadyRead(500);
        err += QString::fromLocal8Bit(serve.readAllStandardError());
        if (const auto m = listening.match(err); m.hasMatch())
            port = static_cast<quint16>(m.captured(1).toUInt());
    }
    if (port == 0) {
        std::fprintf(stderr, "rvctl serve did not start: %s\n", qPrintable(err));
        return 1;
    }
    QThread::msleep(200);
    const long before = residentKb(serve.processId());

    QElapsedTimer clock;
    clock.start();
    std::vector<std::unique_ptr<Unit>> units;
    units.reserve(kUnits);
    for (int i = 0; i < kUnits; ++i) {
        auto u = std::make_unique<Unit>();
        Unit* unit = u.get();
        const QByteArray greeting = unitFrame(0, rv::le::bytes16(static_cast<uint16_t>(i)) + imeiOf(i).toLatin1() + char(28));
        QObject::connect(&unit->socket, &QTcpSocket::connected, [unit, greeting, &clock] {
            unit->greetAt = clock.elapsed();
            unit->socket.write(greeting);
        });
        QObject::connect(&unit->socket, &QTcpSocket::readyRead, [unit, &clock] {
            unit->input += unit->socket.readAll();
            while (!unit->input.isEmpty()) {
                const auto lead = static_cast<uint8_t>(unit->input[0]);
                if (lead == 0x01) { // an acknowledgement
                    if (unit->input.size() < 3)
                        return;
                    unit->greeted = true;
                    unit->input.remove(0, 3);
                    continue;
                }
                if (unit->input.size() < 2)
                    return;
                const auto id = static_cast<uint8_t>(unit->input[1]);
                const qsizetype size = id == 22 ? 519 : (id == 21 || id == 27) ? 5 : 4;
                if (unit->input.size() < size)
                    return;
                const QByteArray f = unit->input.left(size);
                unit->input.remove(0, size);
                if (id != 22)
                    continue;
                const auto record = static_cast<uint8_t>(f[2]);
                if (record == 0)
                    unit->jobAt = clock.elapsed();
                if (record == 2)
                    unit->doneAt = clock.elapsed();
                unit->socket.write(unitFrame(2, QByteArray(1, char(22)) + char(record)));
            }
        });
        unit->socket.connectToHost(QHostAddress::LocalHost, port);
        units.push_back(std::move(u));
        if (i % 50 == 49)
            QCoreApplication::processEvents(); // accept in step, as units calling over a night would
    }
    const auto count = [&](auto pred) { return std::count_if(units.cbegin(), units.cend(), [&](const auto& u) { return pred(*u); }); };
    waitFor([&] { return count([](const Unit& u) { return u.greeted; }) == kUnits; }, 300000);
    const qint64 greetedAll = clock.elapsed();
    waitFor([&] { return count([](const Unit& u) { return u.doneAt >= 0; }) == kJobs; }, 600000);
    QThread::msleep(200);
    const long after = residentKb(serve.processId());

    const long greeted = count([](const Unit& u) { return u.greeted; });
    const long done = count([](const Unit& u) { return u.doneAt >= 0; });
    qint64 firstJob = -1, lastDone = 0;
    std::vector<qint64> waits;
    for (const auto& u : units) {
        if (u->jobAt < 0)
            continue;
        firstJob = firstJob < 0 ? u->jobAt : std::min(firstJob, u->jobAt);
        lastDone = std::max(lastDone, u->doneAt);
        waits.push_back(u->jobAt - u->greetAt);
    }
    std::sort(waits.begin(), waits.end());
    const auto pct = [&](double p) { return waits.empty() ? -1 : waits[std::min<size_t>(waits.size() - 1, size_t(p * waits.size()))]; };
    std::printf("units greeted: %ld of %d in %lld ms\n", greeted, kUnits, static_cast<long long>(greetedAll));
    std::printf("server resident: %ld kB before, %ld kB with %d connections: %.1f kB per connection\n", before, after,
                kUnits, double(after - before) / kUnits);
    std::printf("write jobs done: %ld of %d, %lld ms from the first start to the last end: %.0f jobs per minute\n", done,
                kJobs, static_cast<long long>(lastDone - firstJob), lastDone > firstJob ? done * 60000.0 / (lastDone - firstJob) : 0.0);
    std::printf("greeting to job start: median %lld ms, 90%% %lld ms, max %lld ms\n", static_cast<long long>(pct(0.5)),
                static_cast<long long>(pct(0.9)), static_cast<long long>(waits.empty() ? -1 : waits.back()));
    serve.terminate();
    serve.waitForFinished(30000);
    return greeted == kUnits && done == kJobs ? 0 : 1;
}
