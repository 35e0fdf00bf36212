#include "remote_unit.h"
#include "save_file.h"

#include <QCoreApplication>
#include <QFile>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

namespace rvsim {

namespace {

// What the configurator sends: an acknowledgement (0x01 and two CRC bytes) or a command (0x02, id, ...).
constexpr uint8_t kAck = 0x01, kCommand = 0x02;
// Frame types the unit sends.
constexpr uint8_t kTypeGreeting = 0, kTypeToAcknowledge = 1, kTypeReply = 2;
// Command identifiers, and the unit's reports on a command.
constexpr uint8_t kErase = 16, kReset = 18, kRead = 21, kWrite = 22, kMonitor = 27;
constexpr uint8_t kUnknown = 250, kDamaged = 251, kDone = 252;
constexpr uint8_t kTooLittle = 255;
constexpr qsizetype kWriteFrame = 519, kAreaAt = 5, kAreaSize = 512;

constexpr int kBootMs = 1500;
constexpr int kHangUpAfterResetMs = 200; // the reply leaves before the unit restarts

// Size of a command frame by its identifier; 0 for an identifier the unit does not know.
qsizetype commandSize(uint8_t id)
{
    switch (id) {
    case kErase:
    case kReset: return 4;
    case kRead:
    case kMonitor: return 5;
    case kWrite: return kWriteFrame;
    default: return 0;
    }
}

} // namespace

RemoteUnit::RemoteUnit(UnitRecords& records, RemoteOptions options)
    : m_records(records), m_o(std::move(options)), m_telemetry(m_o.deviceType)
{
    m_telemetry.setFirmwareBuild(m_o.build1, m_o.build2, m_o.build3);
    m_telemetry.setDeviceId(m_o.unitId);
    m_telemetry.setImei(m_o.imei);
}

QByteArray RemoteUnit::frame(uint8_t type, const QByteArray& body) const
{
    QByteArray f = wire::le16(static_cast<uint16_t>((body.size() & 0x3FF) | (type << 14)));
    f += body;
    f += wire::le16(static_cast<uint16_t>(wire::crc16(f) + (m_o.badCrc ? 1 : 0)));
    return f;
}

QByteArray RemoteUnit::reply(uint8_t id, uint8_t sub) const
{
    QByteArray body;
    body += static_cast<char>(id);
    body += static_cast<char>(sub);
    return frame(kTypeReply, body);
}

QByteArray RemoteUnit::reply(uint8_t id, uint8_t sub, const QByteArray& payload) const
{
    QByteArray body;
    body += static_cast<char>(id);
    body += static_cast<char>(sub);
    body += wire::le16(static_cast<uint16_t>(payload.size()));
    body += payload;
    return frame(kTypeReply, body);
}

QByteArray RemoteUnit::greeting() const
{
    // Identity and firmware as the DEVICE block tells them: ID at 14, IMEI at 16, version at 32.
    const QByteArray device = m_telemetry.devicePayload();
    QByteArray body = device.mid(14, 2);
    body += device.mid(16, 15);
    body += device.at(32);
    if (m_o.modemNoise)
        return QByteArray("\r\nCONNECT\r\n") + frame(kTypeGreeting, body) + QByteArray("\r\n");
    return frame(kTypeGreeting, body);
}

QList<QByteArray> RemoteUnit::receive(QByteArrayView bytes)
{
    QList<QByteArray> out;
    if (m_drop)
        return out;
    m_input.append(bytes);
    while (!m_input.isEmpty() && !m_drop) {
        const Parse p = handleOne(out);
        if (p == Parse::NeedMore)
            break;
        if (p == Parse::Garbage) {
            count("?");
            m_input.remove(0, 1);
        }
    }
    if (m_o.silent)
        out.clear();
    return out;
}

RemoteUnit::Parse RemoteUnit::handleOne(QList<QByteArray>& out)
{
    const auto lead = static_cast<uint8_t>(m_input.at(0));
    if (lead == kAck) {
        if (m_input.size() < 3)
            return Parse::NeedMore;
        count("ACK");
        m_input.remove(0, 3);
        if (!m_greetingAcknowledged) {
            // After the greeting the unit sends a data frame of its own, which wants an acknowledgement.
            m_greetingAcknowledged = true;
            out.append(frame(kTypeToAcknowledge, QByteArray("PKT") + wire::le32(1)));
        }
        return Parse::Done;
    }
    if (lead != kCommand)
        return Parse::Garbage;
    if (m_input.size() < 2)
        return Parse::NeedMore;
    const auto id = static_cast<uint8_t>(m_input.at(1));
    const qsizetype size = commandSize(id);
    if (size == 0) {
        // Its length is unknown, so nothing after it can be framed: report and start afresh.
        count("R?");
        out.append(reply(kUnknown, id));
        m_input.clear();
        return Parse::Done;
    }
    if (m_input.size() < size)
        return Parse::NeedMore;
    const QByteArray f = m_input.left(size);
    m_input.remove(0, size);
    if (wire::crc16(QByteArrayView(f).first(size - 2)) != wire::get16(f, size - 2)) {
        count("CRC?");
        out.append(reply(kDamaged, id));
        return Parse::Done;
    }
    command(id, f, out);
    return Parse::Done;
}

void RemoteUnit::command(uint8_t id, QByteArrayView f, QList<QByteArray>& out)
{
    const QByteArray name = "R" + QByteArray::number(id);
    const QByteArray withParam = f.size() == 5 || id == kWrite ? name + '/' + QByteArray::number(uint8_t(f[2])) : name;
    count(withParam);
    if (!m_o.dropOn.isEmpty() && ("R" + m_o.dropOn == withParam || "R" + m_o.dropOn == name)) {
        m_drop = true;
        return;
    }
    const auto param = static_cast<uint8_t>(f.size() > 2 ? f[2] : 0);
    QByteArray* record = param == 0 ? &m_records.config : param == 1 ? &m_records.inpOut : param == 2 ? &m_records.confSe : nullptr;
    switch (id) {
    case kRead: {
        if (!record) {
            out.append(reply(kUnknown, id));
            return;
        }
        QByteArray payload = *record;
        if (m_o.overlong && param == 0)
            payload.append(QByteArray(88, '\x5A')); // a newer unit with a longer record
        out.append(reply(kRead, param, payload));
        return;
    }
    case kWrite: {
        const qsizetype length = wire::get16(f, 3);
        if (!record) {
            out.append(reply(kUnknown, id));
            return;
        }
        if (m_o.shortWrite || length < record->size()) {
            out.append(reply(kWrite, kTooLittle));
            return;
        }
        // The area holds 512 bytes: a longer record keeps what does not fit.
        const qsizetype n = std::min<qsizetype>(record->size(), kAreaSize);
        record->replace(0, n, f.sliced(kAreaAt, n).toByteArray());
        if (onRecordsChanged)
            onRecordsChanged();
        out.append(reply(kWrite, param));
        return;
    }
    case kMonitor:
        if (m_o.noMonitor) {
            out.append(reply(kUnknown, kMonitor));
        } else if (param == 0) {
            m_telemetry.advance();
            out.append(reply(kMonitor, 0, m_telemetry.gpsPayload()));
        } else {
            out.append(reply(kMonitor, 1, m_telemetry.devicePayload()));
        }
        return;
    case kReset:
        out.append(reply(kDone, kReset));
        m_reset = true;
        return;
    case kErase:
        out.append(reply(kDone, kErase));
        return;
    default:
        return;
    }
}

// ---- the connection ------------------------------------------------------------------------------

RemoteLink::RemoteLink(QString host, quint16 port, RemoteUnit& unit, LineShape shape, QString logPath,
                       QString statsPath, const QMap<QByteArray, int>& serialCounts)
    : m_host(std::move(host)), m_port(port), m_unit(unit), m_shape(shape), m_logPath(std::move(logPath)),
      m_statsPath(std::move(statsPath)), m_serialCounts(serialCounts)
{
    std::signal(SIGPIPE, SIG_IGN); // a write to a closed connection fails instead of ending the program
    m_redial.setSingleShot(true);
    connect(&m_redial, &QTimer::timeout, this, &RemoteLink::dial);
    dial();
}

RemoteLink::~RemoteLink()
{
    hangUp(0);
}

void RemoteLink::dial()
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const QByteArray service = QByteArray::number(m_port);
    if (::getaddrinfo(m_host.toLocal8Bit().constData(), service.constData(), &hints, &found) == 0) {
        for (addrinfo* a = found; a && m_fd < 0; a = a->ai_next) {
            const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
            if (fd < 0)
                continue;
            if (::connect(fd, a->ai_addr, a->ai_addrlen) == 0)
                m_fd = fd;
            else
                ::close(fd);
        }
        ::freeaddrinfo(found);
    }
    if (m_fd < 0) {
        if (!m_reported)
            std::fprintf(stderr, "rvsim: %s cannot reach %s:%u, redialling\n", m_unit.imei().constData(), qPrintable(m_host), m_port);
        m_reported = true;
        m_redial.start(m_unit.redialMs());
        return;
    }
    m_reported = false;
    ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) | O_NONBLOCK);
    m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] { readSome(); });
    m_sender = std::make_unique<LineSender>(m_fd, m_shape);
    m_unit.reconnected();
    std::fprintf(stderr, "rvsim: %s connected to %s:%u\n", m_unit.imei().constData(), qPrintable(m_host), m_port);
    send(m_unit.greeting());
}

void RemoteLink::readSome()
{
    char buf[4096];
    const ssize_t n = ::read(m_fd, buf, sizeof buf);
    if (n < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    if (n <= 0) {
        std::fprintf(stderr, "rvsim: %s: the configurator closed the connection\n", m_unit.imei().constData());
        hangUp(m_unit.redialMs());
        return;
    }
    const QByteArray bytes(buf, n);
    log(bytes);
    const QList<QByteArray> replies = m_unit.receive(bytes);
    writeStats();
    if (m_unit.dropRequested()) {
        std::fprintf(stderr, "rvsim: dropping the line\n");
        hangUp(0);
        QCoreApplication::exit(0);
        return;
    }
    for (const QByteArray& r : replies)
        send(r);
    if (m_unit.resetRequested()) {
        m_unit.clearReset();
        QTimer::singleShot(kHangUpAfterResetMs, this, [this] { hangUp(kBootMs); });
    }
}

void RemoteLink::hangUp(int redialMs)
{
    m_notifier.reset();
    m_sender.reset(); // its thread ends before the socket closes
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    if (redialMs > 0)
        m_redial.start(redialMs);
}

void RemoteLink::send(const QByteArray& bytes)
{
    if (m_sender)
        m_sender->send(bytes);
}

void RemoteLink::log(const QByteArray& bytes)
{
    if (m_logPath.isEmpty())
        return;
    QFile f(m_logPath);
    if (f.open(QIODevice::Append))
        f.write(bytes);
}

void RemoteLink::writeStats()
{
    if (m_statsPath.isEmpty())
        return;
    QMap<QByteArray, int> all = m_serialCounts;
    for (auto it = m_unit.counts().cbegin(); it != m_unit.counts().cend(); ++it)
        all[it.key()] += it.value();
    QByteArray text;
    for (auto it = all.cbegin(); it != all.cend(); ++it)
        text += it.key() + ' ' + QByteArray::number(it.value()) + '\n';
    replaceFile(m_statsPath, text);
}

} // namespace rvsim
