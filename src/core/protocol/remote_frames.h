#pragma once

// The framed protocol a unit speaks over the network. Every frame carries a header word (10-bit length
// of what follows it, 2-bit type), the body and a CRC-16/MODBUS of all preceding bytes. Builders make
// each frame from zero; parsers check every length against the bytes that arrived before reading.

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace rv::remote {

inline constexpr qsizetype kHeaderSize = 2;
inline constexpr qsizetype kCrcSize = 2;
inline constexpr uint16_t kLengthMask = 0x3FF;
// The longest frame a 10-bit length can announce.
inline constexpr qsizetype kMaxFrameSize = kHeaderSize + kLengthMask + kCrcSize;

// Frame types (bits 14-15 of the header word) of what the unit sends.
enum FrameType : uint8_t { Greeting = 0, ToAcknowledge = 1, Reply = 2, Ignored = 3 };

// Leading bytes of what the program sends.
inline constexpr uint8_t kAcknowledgement = 0x01;
inline constexpr uint8_t kCommand = 0x02;

// Command identifiers, and the identifiers the unit uses to report on a command.
namespace id {
inline constexpr uint8_t kEraseTrack = 16;
inline constexpr uint8_t kReset = 18;
inline constexpr uint8_t kReadRecord = 21;
inline constexpr uint8_t kWriteRecord = 22;
inline constexpr uint8_t kReadMonitor = 27;
inline constexpr uint8_t kUnknownCommand = 250; // sub-code: the identifier the unit does not know
inline constexpr uint8_t kDamagedCommand = 251; // sub-code: the identifier of the damaged frame
inline constexpr uint8_t kCommandDone = 252;    // sub-code: the identifier carried out
} // namespace id

// Sub-code of a write reply: the unit got fewer bytes than the record length said.
inline constexpr uint8_t kWriteTooShort = 255;

// Record numbers of commands 21 and 22, monitor block numbers of command 27.
inline constexpr uint8_t kRecordConfig = 0, kRecordInpOut = 1, kRecordConfSe = 2;
inline constexpr uint8_t kMonitorGps = 0, kMonitorDevice = 1;

// The record-write frame has a fixed size: its payload area holds 512 bytes whatever the record.
inline constexpr qsizetype kWriteFrameSize = 519;
inline constexpr qsizetype kWriteAreaAt = 5;
inline constexpr qsizetype kWriteAreaSize = 512;

// 0x01 and the CRC bytes of the frame being acknowledged, as they were received. `frame` is a whole
// frame (at least its CRC).
QByteArray acknowledgement(QByteArrayView frame);
// 0x02, identifier, parameters, CRC.
QByteArray command(uint8_t identifier, QByteArrayView parameters = {});
// 0x02, 22, record number, record length (the record's full size), the payload area with the first
// 512 bytes of the record (zeros after a shorter record), CRC: always 519 bytes.
QByteArray recordWrite(uint8_t record, QByteArrayView recordBytes);

// What a received frame is, once its length and CRC have been checked.
struct Frame {
    enum class Check { Ok, Short, BadCrc };
    Check check = Check::Short;
    uint8_t type = 0;
    QByteArrayView body; // the L bytes after the header word; valid while the input is
};
// The frame at the start of `bytes` (extra bytes after it are not looked at).
Frame checkFrame(QByteArrayView bytes);

// The greeting body: unit identifier, IMEI (15 ASCII digits), firmware version.
struct GreetingInfo {
    uint16_t unitId = 0;
    QString imei;
    uint8_t firmware = 0;
    bool operator==(const GreetingInfo&) const = default;
};
inline constexpr qsizetype kGreetingBodySize = 18;
std::optional<GreetingInfo> parseGreeting(QByteArrayView body); // nullopt: body too short

// A reply body: identifier, sub-code, and for the record and monitor reads a 16-bit length and payload.
struct ReplyInfo {
    uint8_t identifier = 0;
    uint8_t sub = 0;
    QByteArrayView payload; // identifiers 21 and 27: exactly the n bytes announced
};
// nullopt when the body cannot hold its identifier and sub-code, or (21 and 27) the announced payload.
std::optional<ReplyInfo> parseReply(QByteArrayView body);

// Collects the bytes of one connection and cuts them into frames by their length field, keeping only
// frames whose CRC checks. Bytes that cannot start such a frame (a stray byte, a header that promises
// more than follows, a damaged frame) are skipped: the stream resynchronises at the next position where a
// whole frame's CRC checks. What does not make a whole frame yet is kept for the next arrival, at most
// kMaxFrameSize minus one bytes; a partial frame not completed within kMaxWaitMs is dropped.
class FrameReassembler {
public:
    static constexpr qint64 kMaxWaitMs = 10000;

    struct Result {
        QList<QByteArray> frames;   // whole frames with a good CRC
        qsizetype expiredBytes = 0; // a stale partial frame dropped before these bytes were added
        qsizetype skippedBytes = 0; // bytes passed over to find the next good frame (line ends not counted)
        bool badCrc = false;        // some of them made a whole frame whose CRC did not check
    };
    // Adds bytes that arrived at `nowMs` and returns the frames they complete.
    Result feed(QByteArrayView bytes, qint64 nowMs);
    // Until a connection has greeted, its greeting is taken wherever it lies, with whatever follows it (a
    // modem's words before, a line end after): before the greeting no longer frame can be arriving that it
    // could be cut out of. Off by default.
    void findGreetingAnywhere(bool on) { m_greetingAnywhere = on; }
    // Drops a partial frame that has waited more than kMaxWaitMs; returns how many bytes were dropped that
    // were not line ends (CR, LF).
    qsizetype expire(qint64 nowMs);
    // When the partial frame held now runs out of time (only meaningful while pending() > 0).
    qint64 deadline() const { return m_partialSince + kMaxWaitMs; }
    qsizetype pending() const { return m_buffer.size(); }
    void clear();

private:
    // A later position whose frames run with good CRCs exactly to the end of what has arrived, or (when
    // looked for) where a whole greeting lies.
    qsizetype resyncPoint(qsizetype from) const;
    bool greetingAt(qsizetype at) const;
    // Whether the frame of `size` bytes at `at` carries a good CRC, in constant time from m_prefix.
    bool crcChecksAt(qsizetype at, qsizetype size) const;

    QByteArray m_buffer;
    // The CRC register after each byte of m_buffer (one more entry than bytes): any frame's CRC follows
    // from two entries, so looking for the next good frame costs the same at every position.
    std::vector<uint16_t> m_prefix{0xFFFF};
    qint64 m_partialSince = 0;
    bool m_greetingAnywhere = false;
};

} // namespace rv::remote
