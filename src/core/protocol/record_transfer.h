#pragma once

// One read or write of the unit's three configuration records, whatever carries it: read CONFIG, INPOUT,
// CONFSE in turn, or send them in turn, each acknowledged. The serial session and the network session each
// run theirs on one of these, and a fleet job runs one per unit, so the three agree on what a record reply
// means: a record shorter than the program's is refused whole (no record is left half replaced), a longer
// one gives its first part and a warning, a damaged one ends the read, and only the reply the cycle waits
// for moves it on. The carrier asks for or sends what `next` names and feeds the unit's replies back.

#include "core/config/records.h"
#include "core/protocol/remote_frames.h"
#include "core/protocol/session_outcome.h"

#include <optional>

namespace rv {

// What the running (or last) read took of one record: whether a reply with a good checksum came, the
// length the unit gave and, for the extended record, its status ('0': present).
struct RecordArrival {
    bool received = false;
    qsizetype length = 0;
    char status = '0';
    bool whole(RecordKind kind) const { return received && status == '0' && length >= recordSize(kind); }
};

class RecordTransfer {
public:
    enum class Kind { Read, Write };
    struct Step {
        std::optional<RecordKind> next; // the record to ask for (Read) or to send (Write) now
        std::optional<Result> end{};    // the exchange is over
        bool taken = false;             // `record` now holds the unit's bytes
        bool cut = false;               // it came longer than the program's: its first part was taken
        RecordKind record = RecordKind::Config;
        qsizetype length = 0;           // ShortRecord: the bytes that came
        int code = 0;                   // the unit's code of a failure it reported
    };

    RecordTransfer(Kind kind, ConfigRecords& records) : m_kind(kind), m_records(records) {}

    Kind kind() const { return m_kind; }
    bool running() const { return m_running; }
    // The record whose reply (Read) or acknowledgement (Write) the exchange waits for.
    std::optional<RecordKind> awaited() const;
    const RecordArrival& arrival(RecordKind kind) const { return m_arrivals[int(kind)]; }
    ConfigRecords& records() { return m_records; }

    Step start();
    // A record reply whose checksum held: `payload` holds the first min(length, record size) bytes of the
    // `length` the unit announced; `status` is the extended record's ('0': the unit keeps one).
    Step recordArrived(RecordKind kind, QByteArrayView payload, qsizetype length, char status = '0');
    // A record reply whose checksum did not hold, or that ended short of its length.
    Step recordDamaged(RecordKind kind);
    Step writeAcknowledged(RecordKind kind);
    // The carrier ends the exchange (no answer, the line gone, the unit's own report ...).
    Step fail(Result result, int code = 0);

    // The network protocol: the frame of `next`, and what a reply of the unit means to the exchange.
    QByteArray remoteFrame(RecordKind next) const;
    Step remoteReply(const remote::ReplyInfo& reply);

    // The outcome of a step that ended the exchange.
    static Outcome outcome(Operation operation, const Step& step);

private:
    Step advance(RecordKind done);

    Kind m_kind;
    ConfigRecords& m_records;
    RecordKind m_awaited = RecordKind::Config;
    bool m_running = false;
    RecordArrival m_arrivals[3];
};

} // namespace rv
