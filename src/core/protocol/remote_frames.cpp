#include "core/protocol/remote_frames.h"

#include "core/protocol/bytes.h"
#include "core/protocol/checksum.h"

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

FrameReassembler::Result FrameReassembler::feed(QByteArrayView bytes, qint64 nowMs)
{
    Result r;
    r.expiredBytes = expire(nowMs);
    if (bytes.isEmpty())
        return r;
    if (m_buffer.isEmpty())
        m_partialSince = nowMs;
    m_buffer += bytes.toByteArray();
    qsizetype at = 0;
    while (m_buffer.size() - at >= kHeaderSize) {
        const qsizetype size = frameSizeOf(le::u16(m_buffer, at));
        if (m_buffer.size() - at < size)
            break;
        r.frames.append(m_buffer.sliced(at, size));
        at += size;
        m_partialSince = nowMs; // the next frame starts now
    }
    m_buffer.remove(0, at);
    return r;
}

qsizetype FrameReassembler::expire(qint64 nowMs)
{
    if (m_buffer.isEmpty() || nowMs - m_partialSince <= kMaxWaitMs)
        return 0;
    const qsizetype dropped = m_buffer.size();
    clear();
    return dropped;
}

void FrameReassembler::clear()
{
    m_buffer.clear();
    m_partialSince = 0;
}

} // namespace rv::remote
