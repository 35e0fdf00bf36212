#include "core/protocol/reply_blocks.h"

#include "core/base/bytes.h"
#include "core/base/checksum.h"

#include <QList>
#include <algorithm>
#include <cstring>

namespace rv {

namespace {

// True when `count` bytes from `at` lie within the received bytes.
bool within(QByteArrayView buf, qsizetype at, qsizetype count)
{
    return at >= 0 && count >= 0 && at <= buf.size() && count <= buf.size() - at;
}

} // namespace

std::optional<qsizetype> findMarker(QByteArrayView buf, QByteArrayView marker)
{
    if (marker.isEmpty())
        return std::nullopt;
    const auto zero = std::find(buf.begin(), buf.end(), '\0');
    const QByteArrayView text = buf.first(zero - buf.begin());
    const qsizetype pos = text.indexOf(marker);
    if (pos < 0)
        return std::nullopt;
    return pos;
}

const char* recordMarker(RecordKind kind)
{
    switch (kind) {
    case RecordKind::Config: return "CONFIG";
    case RecordKind::InpOut: return "INPOUT";
    case RecordKind::ConfSe: return "CONFSE";
    }
    return "";
}

RecordReply parseRecordReply(QByteArrayView buf, qsizetype markerPos, RecordKind kind)
{
    RecordReply r;
    const bool withStatus = kind == RecordKind::ConfSe;
    qsizetype at = markerPos + 6;
    if (withStatus) {
        if (!within(buf, at, 1))
            return r;
        r.status = buf[at];
        ++at;
    }
    if (!within(buf, at, 2))
        return r;
    r.length = le::u16(buf, at);
    at += 2;
    if (!within(buf, at, qsizetype(r.length) + 2))
        return r;
    const QByteArrayView payload = buf.sliced(at, r.length);
    if (blockChecksum(payload) != le::u16(buf, at + r.length)) {
        r.check = RecordReply::Check::BadChecksum;
        return r;
    }
    r.check = RecordReply::Check::Ok;
    const qsizetype size = recordSize(kind);
    r.overlong = r.length > size;
    if (r.present())
        r.payload = payload.first(std::min<qsizetype>(r.length, size)).toByteArray();
    return r;
}

std::optional<qsizetype> recordReplyEnd(QByteArrayView buf)
{
    std::optional<qsizetype> first;
    RecordKind kind = RecordKind::Config;
    for (RecordKind k : {RecordKind::Config, RecordKind::InpOut, RecordKind::ConfSe}) {
        const auto p = findMarker(buf, recordMarker(k));
        if (p && (!first || *p < *first)) {
            first = p;
            kind = k;
        }
    }
    if (!first)
        return std::nullopt;
    const qsizetype lenAt = *first + 6 + (kind == RecordKind::ConfSe ? 1 : 0);
    if (!within(buf, lenAt, 2))
        return buf.size() + 1;
    return lenAt + 2 + qsizetype(le::u16(buf, lenAt)) + 2;
}

namespace {

MonitorReply parseMonitor(QByteArrayView buf, qsizetype markerPos, qsizetype markerLen, qsizetype cap,
                          bool withTrailer)
{
    MonitorReply r;
    const qsizetype lenAt = markerPos + markerLen;
    if (!within(buf, lenAt, 2))
        return r;
    const qsizetype len = le::u16(buf, lenAt);
    const qsizetype payloadAt = lenAt + 2;
    const qsizetype endAt = payloadAt + len;
    // The log trailer is recognised by its letter L alone, whether or not the block's own terminator holds.
    if (withTrailer && within(buf, endAt + 1, 1) && buf[endAt + 1] == 'L') {
        const qsizetype eventsAt = endAt + 4;
        const qsizetype available = within(buf, eventsAt, 0) ? buf.size() - eventsAt : 0;
        r.logTrailer = buf.sliced(std::min(eventsAt, buf.size()), std::min(available, kLogTrailerMaxEvents))
                           .toByteArray();
    }
    if (!within(buf, endAt, 1) || buf[endAt] != 'E')
        return r;
    r.valid = true;
    r.payload = buf.sliced(payloadAt, std::min(len, cap)).toByteArray();
    return r;
}

} // namespace

MonitorReply parseGpsReply(QByteArrayView buf, qsizetype markerPos)
{
    return parseMonitor(buf, markerPos, 3, kGpsBlockSize, false);
}

MonitorReply parseDeviceReply(QByteArrayView buf, qsizetype markerPos)
{
    return parseMonitor(buf, markerPos, 6, kDeviceBlockSize, true);
}

std::optional<Handshake> parseRvTr(QByteArrayView buf, qsizetype markerPos)
{
    if (!within(buf, markerPos + 5, 6))
        return std::nullopt;
    Handshake h;
    h.deviceType = le::u8(buf, markerPos + 5);
    h.handshakeByte = le::u8(buf, markerPos + 6);
    h.options = le::u32(buf, markerPos + 7);
    return h;
}

std::optional<Handshake> parseQdSsmt(QByteArrayView buf, qsizetype markerPos)
{
    if (!within(buf, markerPos + 7, 5))
        return std::nullopt;
    Handshake h;
    h.deviceType = 2;
    h.handshakeByte = le::u8(buf, markerPos + 7);
    h.options = le::u32(buf, markerPos + 8);
    return h;
}

std::optional<BootloaderReply> parseBootloader(QByteArrayView buf, qsizetype markerPos)
{
    if (!within(buf, markerPos + 10, 2))
        return std::nullopt;
    return BootloaderReply{le::u8(buf, markerPos + 10), le::u8(buf, markerPos + 11)};
}

std::optional<char> parsePasswordReply(QByteArrayView buf, qsizetype markerPos)
{
    if (!within(buf, markerPos + 6, 1))
        return std::nullopt;
    return buf[markerPos + 6];
}

std::optional<CanMessage> parseCanMes(QByteArrayView buf, qsizetype markerPos)
{
    const qsizetype at = markerPos + 6;
    if (!within(buf, at, 16))
        return std::nullopt;
    return CanMessage{le::u32(buf, at), le::u32(buf, at + 4), le::u32(buf, at + 8), le::u32(buf, at + 12)};
}

std::optional<QList<CanRecord>> parseCanBuf(QByteArrayView buf, qsizetype markerPos)
{
    const qsizetype at = markerPos + 6;
    if (!within(buf, at, 12 * kCanBufRecords))
        return std::nullopt;
    QList<CanRecord> records;
    records.reserve(kCanBufRecords);
    for (int i = 0; i < kCanBufRecords; ++i) {
        const qsizetype r = at + 12 * i;
        records.append(CanRecord{le::u32(buf, r), le::u32(buf, r + 4), le::u32(buf, r + 8)});
    }
    return records;
}

std::optional<SubCodedReply> parseSubCoded(QByteArrayView buf, qsizetype markerPos)
{
    if (!within(buf, markerPos + 4, 1))
        return std::nullopt;
    return SubCodedReply{le::u8(buf, markerPos + 4), buf.sliced(markerPos + 5).toByteArray()};
}

std::optional<uint32_t> parseVms(QByteArrayView buf, qsizetype markerPos)
{
    if (!within(buf, markerPos + 4, 4))
        return std::nullopt;
    return le::u32(buf, markerPos + 4);
}

std::optional<uint32_t> parseImage(QByteArrayView buf, qsizetype markerPos)
{
    if (!within(buf, markerPos + 5, 4) || buf[markerPos + 8] != 'E')
        return std::nullopt;
    return le::u24(buf, markerPos + 5);
}

} // namespace rv
