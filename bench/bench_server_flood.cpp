// The acknowledgement flood against `rvctl serve --jobs` on 127.0.0.1 for 25 s: callers that send empty frames
// to acknowledge as fast as loopback takes them and never read a byte, some without greeting and some after
// greeting as a listed unit (those are cut off at the server's bound and call again at once). Meanwhile a real
// unit (the virtual unit, rvsim --tcp) calls every 5 s with a read job waiting for it. Reported: the server's
// resident memory (at the start, the largest seen, at the end), how much the flooders sent, and for each real
// unit the time from its start to its job's start and end.
//
//     bench_server_flood [SECONDS] [FLOODERS] [RVCTL]   (default 25 s, 4 flooders: half greet, half do not;
//                                                     RVCTL: another rvctl to measure, an older one say)

#include "core/base/bytes.h"
#include "core/base/checksum.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

QByteArray unitFrame(uint8_t type, const QByteArray& body)
{
    QByteArray f = rv::le::bytes16(static_cast<uint16_t>(body.size() | (type << 14))) + body;
    return f + rv::le::bytes16(rv::crc16Modbus(f));
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

// One flooder: connects, greets when asked, then sends frames to acknowledge without ever reading; when the
// server cuts it off it calls again at once.
void flood(quint16 port, QByteArray imei, std::atomic<bool>& stop, std::atomic<long long>& sent, std::atomic<int>& calls)
{
    QByteArray burst;
    const QByteArray frame = unitFrame(1, {});
    for (int i = 0; i < 2000; ++i)
        burst += frame;
    const QByteArray greeting = unitFrame(0, rv::le::bytes16(1) + imei + QByteArray(1, 28));
    while (!stop) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int small = 4096;
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
        const timeval tick{0, 200'000}; // a blocked send looks at `stop` five times a second
        ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tick, sizeof tick);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        ::inet_pton(AF_INET, "127.0.0.1", &a.sin_addr);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
            ::close(fd);
            QThread::msleep(10);
            continue;
        }
        ++calls;
        if (!imei.isEmpty())
            ::send(fd, greeting.constData(), size_t(greeting.size()), MSG_NOSIGNAL);
        while (!stop) {
            const ssize_t n = ::send(fd, burst.constData(), size_t(burst.size()), MSG_NOSIGNAL);
            if (n > 0)
                sent += n;
            else if (n < 0 && errno != EAGAIN && errno != EINTR)
                break; // cut off
        }
        ::close(fd);
    }
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(5, std::atoi(argv[1])) : 25;
    const int flooders = argc > 2 ? std::max(1, std::atoi(argv[2])) : 4;
    QTemporaryDir dir;
    const QString jobs = dir.filePath(QStringLiteral("jobs"));
    QDir().mkpath(jobs);

    QStringList allow;
    for (int i = 0; i < flooders; ++i)
        allow << QString::number(861000000000000LL + i);
    for (int i = 0; i < 100; ++i)
        allow << QString::number(862000000000000LL + i);

    const QString rvctl = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QStringLiteral(RVCTL_PATH);
    QProcess serve;
    serve.start(rvctl, {QStringLiteral("serve"), QStringLiteral("--listen"), QStringLiteral("0"),
                                            QStringLiteral("--address"), QStringLiteral("127.0.0.1"), QStringLiteral("--jobs"),
                                            jobs, QStringLiteral("--json"), QStringLiteral("--allow"), allow.join(u',')});
    QString err;
    quint16 port = 0;
    const QRegularExpression listening(QStringLiteral("listening on 127\\.0\\.0\\.1:(\\d+)"));
    for (QDeadlineTimer limit(30000); port == 0 && !limit.hasExpired();) {
        serve.waitForReadyRead(500);
        err += QString::fromLocal8Bit(serve.readAllStandardError());
        if (const auto m = listening.match(err); m.hasMatch())
            port = static_cast<quint16>(m.captured(1).toUInt());
    }
    if (port == 0) {
        std::fprintf(stderr, "rvctl serve did not start: %s\n", qPrintable(err));
        return 1;
    }
    const qint64 pid = serve.processId();
    const long startKb = residentKb(pid);

    std::atomic<bool> stop{false};
    std::atomic<long long> sent{0};
    std::atomic<int> calls{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < flooders; ++i) {
        const QByteArray imei = i % 2 == 0 ? QByteArray::number(861000000000000LL + i) : QByteArray();
        threads.emplace_back(flood, port, imei, std::ref(stop), std::ref(sent), std::ref(calls));
    }

    struct Real {
        QString imei;
        std::unique_ptr<QProcess> unit;
        qint64 startedAt = -1, jobAt = -1, doneAt = -1;
    };
    std::vector<Real> reals;
    QElapsedTimer clock;
    clock.start();
    long maxKb = startKb;
    QByteArray pending;
    int nextReal = 0;
    while (clock.elapsed() < seconds * 1000LL) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        serve.waitForReadyRead(20);
        maxKb = std::max(maxKb, residentKb(pid));
        pending += serve.readAllStandardOutput();
        for (qsizetype nl; (nl = pending.indexOf('\n')) >= 0; pending.remove(0, nl + 1)) {
            const QJsonObject e = QJsonDocument::fromJson(pending.first(nl)).object();
            const QString kind = e.value(QStringLiteral("event")).toString();
            for (Real& r : reals) {
                if (e.value(QStringLiteral("imei")).toString() != r.imei)
                    continue;
                if (kind == QStringLiteral("job-started") && r.jobAt < 0)
                    r.jobAt = clock.elapsed();
                if ((kind == QStringLiteral("job-done") || kind == QStringLiteral("job-failed")) && r.doneAt < 0) {
                    r.doneAt = clock.elapsed();
                    r.unit->kill();
                    r.unit->waitForFinished();
                }
            }
        }
        serve.readAllStandardError();
        // A real unit with a read job every 5 s, from the second second on.
        if (clock.elapsed() >= 2000 + nextReal * 5000LL && clock.elapsed() < seconds * 1000LL - 2000) {
            Real r;
            r.imei = QString::number(862000000000000LL + nextReal);
            QFile(QDir(jobs).filePath(r.imei + QStringLiteral(".read"))).open(QIODevice::WriteOnly);
            r.unit = std::make_unique<QProcess>();
            r.unit->start(QStringLiteral(RVSIM_PATH), {QStringLiteral("--tcp"), QStringLiteral("127.0.0.1:%1").arg(port),
                                                      QStringLiteral("--imei"), r.imei});
            r.startedAt = clock.elapsed();
            reals.push_back(std::move(r));
            ++nextReal;
        }
    }
    const long endKb = residentKb(pid);
    stop = true;
    for (std::thread& t : threads)
        t.join();
    serve.terminate();
    serve.waitForFinished(30000);
    for (Real& r : reals) {
        if (r.unit->state() != QProcess::NotRunning) {
            r.unit->kill();
            r.unit->waitForFinished();
        }
    }

    std::printf("%d s of flood from %d callers (%d greet as listed units, %d do not), %d calls, %.1f MB sent\n", seconds,
                flooders, (flooders + 1) / 2, flooders / 2, calls.load(), sent.load() / 1e6);
    std::printf("server resident memory: %.1f MB at the start, %.1f MB at most, %.1f MB at the end\n", startKb / 1024.0,
                maxKb / 1024.0, endKb / 1024.0);
    for (const Real& r : reals) {
        if (r.doneAt < 0)
            std::printf("real unit %s: job %s\n", qPrintable(r.imei), r.jobAt < 0 ? "never started" : "never ended");
        else
            std::printf("real unit %s: job started %lld ms and done %lld ms after the unit started\n", qPrintable(r.imei),
                        r.jobAt - r.startedAt, r.doneAt - r.startedAt);
    }
    return 0;
}
