#include "core/track/track_read.h"

#include "core/base/bytes.h"
#include "core/protocol/device_session.h"
#include "core/track/track_packet.h"

#include <algorithm>

namespace rv {

namespace trackcmd {

namespace {
QByteArray byte(uint8_t b) { return QByteArray(1, static_cast<char>(b)); }
} // namespace

Writes startUndelivered(uint8_t server) { return {QByteArray("CONFIGM"), byte(0x00), byte(server)}; }

Writes startRange(uint32_t first, uint16_t count)
{
    return {QByteArray("CONFIGM"), byte(0x01), le::bytes32(first), le::bytes16(count)};
}

Writes nextBlock(int dumpType)
{
    return {QByteArray("CONFIGM"), byte(0x0A), byte(static_cast<uint8_t>(dumpType)), byte(0x00)};
}

Writes repeatBlock(int dumpType)
{
    return {QByteArray("CONFIGM"), byte(0x0A), byte(static_cast<uint8_t>(dumpType)), byte(0x01)};
}

} // namespace trackcmd

namespace {
const QString kReading = QStringLiteral("Чтение памяти...");
constexpr qsizetype kBlockHeader = 7; // "+MEM", 1, n
constexpr QByteArrayView kMarker("+MEM");
} // namespace

MemReply parseMemReply(QByteArrayView burst, qsizetype markerPos)
{
    MemReply r;
    const qsizetype kindAt = markerPos + 4;
    const qsizetype rest = burst.size() - kindAt - 1; // bytes after the kind byte
    if (markerPos < 0 || rest < 0) {
        r.complete = false;
        return r;
    }
    const uint8_t kind = le::u8(burst, kindAt);
    if (kind == 1) {
        if (rest < 2) {
            r.complete = false;
            return r;
        }
        r.kind = MemReply::Kind::Block;
        const qsizetype n = le::u16(burst, kindAt + 1);
        r.complete = n <= rest - 2;
        r.data = burst.sliced(kindAt + 3, std::min(n, rest - 2)).toByteArray();
        return r;
    }
    if (kind != 0)
        return r;
    if (rest < 1) {
        r.complete = false;
        return r;
    }
    switch (le::u8(burst, kindAt + 1)) {
    case 0:
        if (rest < 5) {
            r.complete = false;
            return r;
        }
        r.kind = MemReply::Kind::Start;
        r.total = le::u32(burst, kindAt + 2);
        return r;
    case 1: r.kind = MemReply::Kind::Complete; return r;
    case 2: r.kind = MemReply::Kind::NoPackets; return r;
    case 3: r.kind = MemReply::Kind::BadParameter; return r;
    default: return r;
    }
}

qsizetype completeMemLength(QByteArrayView bytes)
{
    if (bytes.isEmpty())
        return 0;
    if (bytes.size() < kMarker.size())
        return kMarker.startsWith(bytes) ? kFrameIncomplete : 0;
    if (!bytes.startsWith(kMarker))
        return 0;
    if (bytes.size() < 5)
        return kFrameIncomplete;
    const uint8_t kind = le::u8(bytes, 4);
    if (kind == 1) {
        if (bytes.size() < kBlockHeader)
            return kFrameIncomplete;
        const qsizetype total = kBlockHeader + le::u16(bytes, 5);
        return total <= bytes.size() ? total : kFrameIncomplete;
    }
    if (kind != 0)
        return 0;
    if (bytes.size() < 6)
        return kFrameIncomplete;
    const uint8_t status = le::u8(bytes, 5);
    if (status == 0)
        return bytes.size() >= 10 ? 10 : kFrameIncomplete;
    return status <= 3 ? 6 : 0;
}

namespace {
std::optional<uint64_t> decimal(const QString& text, uint64_t max)
{
    const QString t = text.trimmed();
    if (t.isEmpty() || t.size() > 10)
        return std::nullopt;
    uint64_t v = 0;
    for (QChar c : t) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        v = v * 10 + (c.unicode() - u'0');
    }
    if (v > max)
        return std::nullopt;
    return v;
}
} // namespace

std::optional<uint32_t> parseDumpStart(const QString& text)
{
    const auto v = decimal(text, 0xFFFFFFFFu);
    return v ? std::optional<uint32_t>(static_cast<uint32_t>(*v)) : std::nullopt;
}

std::optional<uint16_t> parseDumpCount(const QString& text)
{
    const auto v = decimal(text, 0xFFFFu);
    return v ? std::optional<uint16_t>(static_cast<uint16_t>(*v)) : std::nullopt;
}

TrackRead::TrackRead(SessionController& session, QObject* parent) : QObject(parent), m_session(session)
{
    m_session.setReplyHook(ReplyHook::Memory, [this](QByteArrayView burst, qsizetype pos) { onReply(burst, pos); });
    m_session.setStepHook(osReadMemory, [this] {
        if (!m_active)
            return;
        if (m_request.type == Range)
            m_session.send(trackcmd::startRange(m_request.first, m_request.count));
        else
            m_session.send(trackcmd::startUndelivered(m_request.server));
    });
    m_session.setDumpTypeIndex([this] { return static_cast<int>(m_request.type); });
    // The watchdog, a lost line or another operation ends the read from outside.
    connect(&m_session.progress(), &ProgressWatchdog::expired, this, [this] { abandon(); });
    connect(&m_session.progress(), &ProgressWatchdog::closed, this, [this] {
        if (m_active && m_session.session().OperationState != osReadMemory)
            abandon();
    });
}

TrackRead::~TrackRead()
{
    if (m_active)
        claim(false);
    m_session.session().memoryRetryCounter = 0;
    m_session.setReplyHook(ReplyHook::Memory, nullptr);
    m_session.setStepHook(osReadMemory, nullptr);
    m_session.setDumpTypeIndex(nullptr);
}

qsizetype TrackRead::points() const { return track::pointCount(m_buffer.size()); }

QString TrackRead::readText(qsizetype bytes)
{
    return QStringLiteral("Считано, байт: %1 (точек: %2)").arg(bytes).arg(track::pointCount(bytes));
}

void TrackRead::DumpClick(const Request& request)
{
    if (m_active)
        abandon();
    m_request = request;
    m_active = true;
    m_started = false;
    m_session.session().autoReadPending = false;
    m_session.setState(osReadMemory);
    m_session.arm();
    claim(true);
    m_session.progress().Progress_show(kWatchdogTicks, 0, kReading);
}

void TrackRead::claim(bool on)
{
    if (on)
        m_session.setFrameClaim(completeMemLength, [this](QByteArrayView frame) {
            if (m_active)
                handle(parseMemReply(frame, 0));
        });
    else
        m_session.clearFrameClaim();
}

void TrackRead::restartRepeat() { m_session.session().memoryRetryCounter = 1; }

void TrackRead::onReply(QByteArrayView burst, qsizetype markerPos)
{
    // A "+MEM" nobody asked for (no read of ours runs) changes nothing.
    if (!m_active)
        return;
    handle(parseMemReply(burst, markerPos));
}

void TrackRead::handle(const MemReply& r)
{
    switch (r.kind) {
    case MemReply::Kind::Start:
        onStart(r.total);
        return;
    case MemReply::Kind::Block:
        onBlock(r);
        return;
    case MemReply::Kind::Complete:
        // "Complete" before all the announced bytes came is a read cut short, whatever the unit says.
        if (m_started && m_buffer.size() < qsizetype(m_announced))
            end(QStringLiteral("Чтение памяти прервано: получено %1 из %2 байт").arg(m_buffer.size()).arg(m_announced),
                false);
        else
            end(QStringLiteral("Чтение памяти завершено"), true);
        return;
    case MemReply::Kind::NoPackets:
        end(QStringLiteral("Нет пакетов"), false);
        return;
    case MemReply::Kind::BadParameter:
        end(QStringLiteral("Некорректный параметр"), false);
        return;
    case MemReply::Kind::Other:
        return;
    }
}

void TrackRead::onStart(uint32_t total)
{
    if (m_started) {
        // The start again (our first request for a block was lost): the buffer stays, the block is asked for.
        m_session.send(trackcmd::nextBlock(m_request.type));
        restartRepeat();
        return;
    }
    if (total > kMaxMemorySize) {
        end(QStringLiteral("Размер памяти (%1 байт) больше, чем может храниться в устройстве").arg(total), false);
        return;
    }
    m_started = true;
    m_announced = total;
    m_echoOf.reset();
    m_buffer = QByteArray();
    // Room for what is likely to come, not for whatever size the unit names: the buffer grows as blocks arrive.
    m_buffer.reserve(static_cast<qsizetype>(std::min<uint32_t>(total, 1u << 20)));
    emit readTextChanged(QStringLiteral("Считано, байт: 0"));
    m_session.send(trackcmd::nextBlock(m_request.type));
    m_session.progress().Progress_refresh();
    restartRepeat();
}

void TrackRead::onBlock(const MemReply& r)
{
    if (!m_started)
        return; // no size yet: not a block of this read
    if (!r.complete)
        return; // cut short: the repeat asks for it again
    // A block that was only late, not lost, comes twice: once itself, once as the repeat's answer. Blocks carry
    // no number, so the repeat's answer is known by its bytes: the same as the block taken after the repeat went
    // out. Kept twice it would shift every packet after it. Should a true next block hold the same bytes (blank
    // memory), dropping it costs only a repeat, which brings it.
    const bool repeatOut = m_session.session().memoryRetryCounter == 0;
    if (const std::optional<QByteArray> echo = std::exchange(m_echoOf, std::nullopt); echo && *echo == r.data) {
        restartRepeat(); // the block the last "next" asked for is still to come
        return;
    }
    if (repeatOut)
        m_echoOf = r.data;
    // Bytes beyond the announced size are not kept.
    const qsizetype room = qsizetype(m_announced) - m_buffer.size();
    m_buffer.append(r.data.constData(), std::min(room, r.data.size()));
    emit readTextChanged(readText(m_buffer.size()));
    m_session.send(trackcmd::nextBlock(m_request.type));
    m_session.progress().Progress_refresh();
    restartRepeat();
}

void TrackRead::end(const QString& text, bool complete)
{
    m_active = false;
    m_session.session().memoryRetryCounter = 0;
    claim(false);
    m_session.setState(osIdle);
    m_session.progress().Progress_close(text);
    emit finished(complete);
}

void TrackRead::abandon()
{
    if (!m_active)
        return;
    m_active = false;
    m_session.session().memoryRetryCounter = 0;
    claim(false);
    emit finished(false);
}

} // namespace rv
