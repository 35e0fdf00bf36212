#include "core/protocol/record_transfer.h"

namespace rv {

namespace {
constexpr uint8_t kRecords = 3;

QByteArray readCommand(uint8_t record)
{
    return remote::command(remote::id::kReadRecord, QByteArray(1, static_cast<char>(record)));
}
} // namespace

QByteArray RecordTransfer::writeFrame(uint8_t record) const
{
    const QByteArray& bytes = record == remote::kRecordConfig   ? m_records.config.bytes()
                              : record == remote::kRecordInpOut ? m_records.inpOut.bytes()
                                                                : m_records.confSe.bytes();
    return remote::recordWrite(record, bytes);
}

QByteArray RecordTransfer::start()
{
    m_expected = 0;
    m_state = State::Running;
    return m_kind == Kind::Read ? readCommand(0) : writeFrame(0);
}

RecordTransfer::Step RecordTransfer::fail(const QString& reason)
{
    m_state = State::Failed;
    return {{}, State::Failed, reason};
}

RecordTransfer::Step RecordTransfer::reply(const remote::ReplyInfo& r)
{
    if (m_state != State::Running)
        return {{}, m_state, {}};
    switch (r.identifier) {
    case remote::id::kUnknownCommand:
        if (r.sub == remote::id::kReadMonitor)
            return {};
        return fail(QStringLiteral("Идентификатор %1 не известен").arg(r.sub));
    case remote::id::kDamagedCommand:
        return fail(QStringLiteral("Ошибка целостности данных %1").arg(r.sub));
    case remote::id::kReadRecord: {
        if (m_kind != Kind::Read || r.sub != m_expected)
            return {};
        // A record shorter than the program's would leave it half replaced: the read fails whole.
        RecordBase& record = r.sub == 0 ? static_cast<RecordBase&>(m_records.config)
                             : r.sub == 1 ? static_cast<RecordBase&>(m_records.inpOut)
                                          : static_cast<RecordBase&>(m_records.confSe);
        const qsizetype size = record.size();
        if (r.payload.size() < size)
            return fail(QStringLiteral("Ошибка данных: запись %1 короче ожидаемой (%2 байт из %3)")
                            .arg(r.sub).arg(r.payload.size()).arg(size));
        record.fillFrom(r.payload.first(size));
        if (++m_expected == kRecords) {
            m_state = State::Done;
            return {{}, State::Done, {}};
        }
        return {readCommand(m_expected), State::Running, {}};
    }
    case remote::id::kWriteRecord:
        if (m_kind != Kind::Write)
            return {};
        if (r.sub == remote::kWriteTooShort)
            return fail(QStringLiteral("Мало данных"));
        if (r.sub != m_expected)
            return {};
        if (++m_expected == kRecords) {
            m_state = State::Done;
            return {{}, State::Done, {}};
        }
        return {writeFrame(m_expected), State::Running, {}};
    default:
        return {};
    }
}

} // namespace rv
