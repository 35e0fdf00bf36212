#pragma once

// Finding replies in the bytes of one analysis and reading their blocks. Replies have no envelope: a
// marker is found by text search, which stops at the first zero byte, and the block after it is read by
// position. Every read is bounds-checked against the bytes actually received.

#include "core/config/record_kind.h"
#include "core/monitor/can_records.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <cstdint>
#include <optional>

namespace rv {

// Stores that blocks fill, and the caps that follow from them.
inline constexpr qsizetype kReceiveBufferSize = 1024;
inline constexpr qsizetype kGpsBlockSize = 105;
inline constexpr qsizetype kDeviceBlockSize = 115;

// Position of the first exact occurrence of `marker` in `buf`, searching only up to the first zero byte.
std::optional<qsizetype> findMarker(QByteArrayView buf, QByteArrayView marker);

const char* recordMarker(RecordKind kind);   // "CONFIG", "INPOUT", "CONFSE"

// A checked record block: marker, [status], length L, L payload bytes, block checksum.
struct RecordReply {
    enum class Check { Ok, Truncated, BadChecksum };
    Check check = Check::Truncated;
    uint16_t length = 0;       // L as sent
    QByteArray payload;        // the first min(L, record size) bytes; empty unless Ok
    bool overlong = false;     // L exceeded the record: the unit is newer than the program
    char status = '0';         // "CONFSE" only; "0" means the record is present
    bool present() const { return check == Check::Ok && status == '0'; }
};
RecordReply parseRecordReply(QByteArrayView buf, qsizetype markerPos, RecordKind kind);

// A terminated monitor block ("GPS", "DEVICE"): marker, L, payload, the letter E; "DEVICE" may carry a
// log trailer (the letter L, two skipped bytes, then event bytes).
struct MonitorReply {
    bool valid = false;                 // the terminator stood at its place
    QByteArray payload;                 // the first min(L, cap) bytes, when valid
    std::optional<QByteArray> logTrailer; // "DEVICE": the event bytes after the trailer (at most 20)
};
// Where the first record reply ("CONFIG", "INPOUT", "CONFSE") in `buf` ends by its own length field, or
// nothing when there is none. While the length field itself has not arrived, the end is past the buffer.
std::optional<qsizetype> recordReplyEnd(QByteArrayView buf);

MonitorReply parseGpsReply(QByteArrayView buf, qsizetype markerPos);
MonitorReply parseDeviceReply(QByteArrayView buf, qsizetype markerPos);
inline constexpr qsizetype kLogTrailerMaxEvents = 20;

// Fixed-layout replies. Each is nullopt when its fields do not all lie within the received bytes.
struct Handshake {
    uint8_t deviceType = 2;
    uint8_t handshakeByte = 0;   // kept, not interpreted
    uint32_t options = 0;
};
std::optional<Handshake> parseRvTr(QByteArrayView buf, qsizetype markerPos);    // "RV-TR"
std::optional<Handshake> parseQdSsmt(QByteArrayView buf, qsizetype markerPos);  // "QD-SSMT" (type 2)

struct BootloaderReply {
    uint8_t version = 0;   // shown as tens digit, point, units digit
    uint8_t deviceType = 0;
};
std::optional<BootloaderReply> parseBootloader(QByteArrayView buf, qsizetype markerPos);

std::optional<char> parsePasswordReply(QByteArrayView buf, qsizetype markerPos); // "+PASS=": '0', '1', '?'

std::optional<CanMessage> parseCanMes(QByteArrayView buf, qsizetype markerPos);

std::optional<QList<CanRecord>> parseCanBuf(QByteArrayView buf, qsizetype markerPos);

// Sub-coded replies ("FLRW", "+MEM"): the code byte at offset 4 and the bytes after it, as far as received.
struct SubCodedReply {
    uint8_t code = 0;
    QByteArray rest;  // from offset 5 to the end of the received bytes
};
std::optional<SubCodedReply> parseSubCoded(QByteArrayView buf, qsizetype markerPos);

std::optional<uint32_t> parseVms(QByteArrayView buf, qsizetype markerPos);     // "+VMS": capacity
std::optional<uint32_t> parseImage(QByteArrayView buf, qsizetype markerPos);   // "IMAGE": size, E at 8

} // namespace rv
