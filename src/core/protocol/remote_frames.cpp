#include "core/protocol/remote_frames.h"

#include "core/base/bytes.h"
#include "core/base/checksum.h"

#include <algorithm>

namespace rv::remote {

namespace {

void appendCrc(QByteArray& frame)
{
    frame += le::bytes16(crc16Modbus(frame));
}

qsizetype frameSizeOf(uint16_t header)
{
    return kHeaderSize + (header & kLengthMask) + kCrcSize;
}

} // namespace

QByteArray acknowledgement(QByteArrayView frame)
{
    QByteArray ack(1, static_cast<char>(kAcknowledgement));
    if (frame.size() >= kCrcSize)
        ack += frame.last(kCrcSize).toByteArray();
    return ack;
}

QByteArray command(uint8_t identifier, QByteArrayView parameters)
{
    QByteArray frame;
    frame.reserve(2 + parameters.size() + kCrcSize);
    frame += static_cast<char>(kCommand);
    frame += static_cast<char>(identifier);
    frame += parameters.toByteArray();
    appendCrc(frame);
    return frame;
}

QByteArray recordWrite(uint8_t record, QByteArrayView recordBytes)
{
    // From zero: a shorter record leaves zeros in the area, never bytes of an earlier frame.
    QByteArray frame(kWriteFrameSize - kCrcSize, '\0');
    frame[0] = static_cast<char>(kCommand);
    frame[1] = static_cast<char>(id::kWriteRecord);
    frame[2] = static_cast<char>(record);
    le::put16(frame, 3, static_cast<uint16_t>(recordBytes.size()));
    const qsizetype n = std::min(recordBytes.size(), kWriteAreaSize);
    std::copy_n(recordBytes.data(), n, frame.begin() + kWriteAreaAt);
    appendCrc(frame);
    return frame;
}

Frame checkFrame(QByteArrayView bytes)
{
    Frame f;
    if (bytes.size() < kHeaderSize + kCrcSize)
        return f;
    const uint16_t header = le::u16(bytes, 0);
    const qsizetype length = header & kLengthMask;
    if (frameSizeOf(header) > bytes.size())
        return f;
    f.type = static_cast<uint8_t>(header >> 14);
    if (crc16Modbus(bytes.first(kHeaderSize + length)) != le::u16(bytes, kHeaderSize + length)) {
        f.check = Frame::Check::BadCrc;
        return f;
    }
    f.check = Frame::Check::Ok;
    f.body = bytes.sliced(kHeaderSize, length);
    return f;
}

std::optional<GreetingInfo> parseGreeting(QByteArrayView body)
{
    if (body.size() < kGreetingBodySize)
        return std::nullopt;
    GreetingInfo g;
    g.unitId = le::u16(body, 0);
    // ASCII digits up to the first zero; anything else a unit might put there is not shown as text.
    const QByteArrayView imei = body.sliced(2, 15);
    for (char c : imei) {
        if (c == '\0')
            break;
        g.imei += (c >= 0x20 && c < 0x7F) ? QChar::fromLatin1(c) : QChar(u'?');
    }
    g.firmware = le::u8(body, 17);
    return g;
}

std::optional<ReplyInfo> parseReply(QByteArrayView body)
{
    if (body.size() < 2)
        return std::nullopt;
    ReplyInfo r;
    r.identifier = le::u8(body, 0);
    r.sub = le::u8(body, 1);
    if (r.identifier == id::kReadRecord || r.identifier == id::kReadMonitor) {
        if (body.size() < 4)
            return std::nullopt;
        const qsizetype n = le::u16(body, 2);
        if (4 + n > body.size())
            return std::nullopt; // the length says more than the frame holds
        r.payload = body.sliced(4, n);
    }
    return r;
}

namespace {

// The CRC register is linear in its state: n zero bytes move it by a fixed matrix. Tables of the moves by
// 1, 2, 4 ... 1024 bytes (low and high byte of the state apart) give any move in at most 11 steps.
constexpr int kShiftSteps = 11; // 2^11 > kMaxFrameSize
struct ZeroShifts {
    uint16_t lo[kShiftSteps][256];
    uint16_t hi[kShiftSteps][256];
    uint16_t apply(int k, uint16_t s) const { return lo[k][s & 0xFF] ^ hi[k][s >> 8]; }
};

const ZeroShifts& zeroShifts()
{
    static const ZeroShifts z = [] {
        ZeroShifts t{};
        const char zero = 0;
        for (int x = 0; x < 256; ++x) {
            t.lo[0][x] = crc16Modbus(QByteArrayView(&zero, 1), static_cast<uint16_t>(x));
            t.hi[0][x] = crc16Modbus(QByteArrayView(&zero, 1), static_cast<uint16_t>(x << 8));
        }
        for (int k = 1; k < kShiftSteps; ++k) {
            for (int x = 0; x < 256; ++x) {
                t.lo[k][x] = t.apply(k - 1, t.apply(k - 1, static_cast<uint16_t>(x)));
                t.hi[k][x] = t.apply(k - 1, t.apply(k - 1, static_cast<uint16_t>(x << 8)));
            }
        }
        return t;
    }();
    return z;
}

uint16_t zeroShift(uint16_t state, qsizetype n)
{
    const ZeroShifts& z = zeroShifts();
    for (int k = 0; n != 0; ++k, n >>= 1) {
        if (n & 1)
            state = z.apply(k, state);
    }
    return state;
}

} // namespace

bool FrameReassembler::crcChecksAt(qsizetype at, qsizetype size) const
{
    // The register after bytes [at, at + n) from 0xFFFF, by linearity from the registers at both ends.
    const qsizetype n = size - kCrcSize;
    const uint16_t* prefix = m_prefix.data();
    const uint16_t crc = prefix[at + n] ^ zeroShift(static_cast<uint16_t>(0xFFFF ^ prefix[at]), n);
    return crc == le::u16(m_buffer, at + n);
}

bool FrameReassembler::greetingAt(qsizetype at) const
{
    // A whole greeting whose CRC checks and whose IMEI is 15 digits: noise does not make that by chance.
    const qsizetype end = m_buffer.size();
    if (at + kHeaderSize > end)
        return false;
    const uint16_t header = le::u16(m_buffer, at);
    const qsizetype size = frameSizeOf(header);
    if ((header >> 14) != Greeting || (header & kLengthMask) < kGreetingBodySize || at + size > end)
        return false;
    for (qsizetype i = at + 4; i < at + 4 + 15; ++i) {
        if (m_buffer[i] < '0' || m_buffer[i] > '9')
            return false;
    }
    return crcChecksAt(at, size);
}

qsizetype FrameReassembler::resyncPoint(qsizetype from) const
{
    // A run of frames that ends exactly where the bytes end counts: a frame that happens to check inside a
    // longer frame still arriving would otherwise cut that frame. Before a greeting, so does a greeting
    // wherever it lies, with whatever follows it (a modem's "\r\n").
    const qsizetype end = m_buffer.size();
    for (qsizetype p = from; p + kHeaderSize + kCrcSize <= end; ++p) {
        if (m_greetingAnywhere && greetingAt(p))
            return p;
        qsizetype q = p;
        while (q + kHeaderSize <= end) {
            const qsizetype size = frameSizeOf(le::u16(m_buffer, q));
            if (q + size > end)
                break;
            q += size;
        }
        if (q != end)
            continue;
        bool good = true;
        for (qsizetype r = p; r < end && good; r += frameSizeOf(le::u16(m_buffer, r)))
            good = crcChecksAt(r, frameSizeOf(le::u16(m_buffer, r)));
        if (good)
            return p;
    }
    return -1;
}

FrameReassembler::Result FrameReassembler::feed(QByteArrayView bytes, qint64 nowMs)
{
    Result r;
    r.expiredBytes = expire(nowMs);
    if (bytes.isEmpty())
        return r;
    if (m_buffer.isEmpty())
        m_partialSince = nowMs;
    m_buffer += bytes.toByteArray();
    {
        // One byte moves the register as a zero byte would from the register with the byte mixed in.
        const uint16_t* table = zeroShifts().lo[0];
        const qsizetype old = static_cast<qsizetype>(m_prefix.size());
        m_prefix.resize(old + bytes.size());
        uint16_t* out = m_prefix.data() + old;
        uint16_t crc = out[-1];
        for (char c : bytes) {
            crc = static_cast<uint16_t>((crc >> 8) ^ table[(crc ^ static_cast<uint8_t>(c)) & 0xFF]);
            *out++ = crc;
        }
    }
    qsizetype at = 0;
    while (m_buffer.size() - at >= kHeaderSize) {
        const qsizetype size = frameSizeOf(le::u16(m_buffer, at));
        if (m_buffer.size() - at < size) {
            // Waiting for the rest, unless whole good frames after this point show it was no frame.
            const qsizetype p = resyncPoint(at + 1);
            if (p < 0)
                break;
            // Line ends around frames (a modem's) are passed over without calling them a fault.
            if (!std::all_of(m_buffer.cbegin() + at, m_buffer.cbegin() + p, [](char c) { return c == '\r' || c == '\n'; }))
                r.skippedBytes += p - at;
            at = p;
            m_partialSince = nowMs;
            continue;
        }
        if (!crcChecksAt(at, size)) {
            r.badCrc = true;
            ++r.skippedBytes;
            ++at;
            m_partialSince = nowMs;
            continue;
        }
        r.frames.append(m_buffer.sliced(at, size));
        at += size;
        m_partialSince = nowMs; // the next frame starts now
    }
    m_buffer.remove(0, at);
    m_prefix.erase(m_prefix.begin(), m_prefix.begin() + at);
    return r;
}

qsizetype FrameReassembler::expire(qint64 nowMs)
{
    if (m_buffer.isEmpty() || nowMs - m_partialSince <= kMaxWaitMs)
        return 0;
    // Line ends left after the last frame (a modem's) are dropped without a word.
    const qsizetype dropped = std::count_if(m_buffer.cbegin(), m_buffer.cend(), [](char c) { return c != '\r' && c != '\n'; });
    clear();
    return dropped;
}

void FrameReassembler::clear()
{
    m_buffer.clear();
    m_prefix = {0xFFFF};
    m_partialSince = 0;
}

} // namespace rv::remote
