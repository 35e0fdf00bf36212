#include "core/protocol/record_transfer.h"

namespace rv {

std::optional<RecordKind> RecordTransfer::awaited() const
{
    return m_running ? std::optional(m_awaited) : std::nullopt;
}

RecordTransfer::Step RecordTransfer::start()
{
    m_running = true;
    m_awaited = RecordKind::Config;
    for (RecordArrival& a : m_arrivals)
        a = {};
    return {RecordKind::Config};
}

RecordTransfer::Step RecordTransfer::advance(RecordKind done)
{
    Step step;
    step.record = done;
    if (done == RecordKind::ConfSe) {
        m_running = false;
        step.end = Result::Done;
    } else {
        m_awaited = done == RecordKind::Config ? RecordKind::InpOut : RecordKind::ConfSe;
        step.next = m_awaited;
    }
    return step;
}

RecordTransfer::Step RecordTransfer::recordArrived(RecordKind kind, QByteArrayView payload, qsizetype length, char status)
{
    if (m_kind != Kind::Read || awaited() != kind)
        return {}; // late, unasked for or out of order: changes nothing and says nothing
    m_arrivals[int(kind)] = {true, length, status};
    const qsizetype size = recordSize(kind);
    if (status != '0')
        return advance(kind); // the unit keeps no such record: the program's stays
    if (length < size || payload.size() < size) {
        Step step = fail(Result::ShortRecord);
        step.record = kind;
        step.length = length;
        return step;
    }
    m_records.of(kind).fillFrom(payload.first(size));
    Step step = advance(kind);
    step.taken = true;
    step.cut = length > size;
    return step;
}

RecordTransfer::Step RecordTransfer::recordDamaged(RecordKind kind)
{
    if (m_kind != Kind::Read || awaited() != kind)
        return {};
    Step step = fail(Result::Damaged);
    step.record = kind;
    return step;
}

RecordTransfer::Step RecordTransfer::writeAcknowledged(RecordKind kind)
{
    if (m_kind != Kind::Write || awaited() != kind)
        return {}; // a repeated acknowledgement must not skip a record
    return advance(kind);
}

RecordTransfer::Step RecordTransfer::fail(Result result, int code)
{
    if (!m_running)
        return {};
    m_running = false;
    Step step;
    step.end = result;
    step.record = m_awaited;
    step.code = code;
    return step;
}

QByteArray RecordTransfer::remoteFrame(RecordKind next) const
{
    const auto record = static_cast<uint8_t>(next);
    if (m_kind == Kind::Read)
        return remote::command(remote::id::kReadRecord, QByteArray(1, static_cast<char>(record)));
    return remote::recordWrite(record, m_records.of(next).bytes());
}

RecordTransfer::Step RecordTransfer::remoteReply(const remote::ReplyInfo& r)
{
    switch (r.identifier) {
    case remote::id::kUnknownCommand:
        if (r.sub == remote::id::kReadMonitor)
            return {}; // about the monitor poll, not the records
        return fail(Result::UnknownCommand, r.sub);
    case remote::id::kDamagedCommand:
        return fail(Result::DamagedCommand, r.sub);
    case remote::id::kReadRecord:
        if (r.sub > remote::kRecordConfSe)
            return {};
        return recordArrived(static_cast<RecordKind>(r.sub), r.payload, r.payload.size());
    case remote::id::kWriteRecord:
        if (m_kind == Kind::Write && m_running && r.sub == remote::kWriteTooShort)
            return fail(Result::TooLittleData);
        if (r.sub > remote::kRecordConfSe)
            return {};
        return writeAcknowledged(static_cast<RecordKind>(r.sub));
    default:
        return {};
    }
}

Outcome RecordTransfer::outcome(Operation operation, const Step& step)
{
    Outcome o;
    o.operation = operation;
    o.result = step.end.value_or(Result::Done);
    o.record = step.record;
    o.length = step.length;
    o.code = step.code;
    return o;
}

} // namespace rv
