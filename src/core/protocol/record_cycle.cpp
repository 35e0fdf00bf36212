// The serial session's record cycles: a read or write of the three records is a RecordTransfer whose
// steps go out one second apart ("CONFIGR", "CONFIGP", "CONFIGS0"; "CONFIGW", "CONFIGI", "CONFIGT0", each
// write acknowledged by "WRITE"), and the password exchange that may interrupt them.

#include "core/config/records.h"
#include "core/protocol/device_session.h"
#include "core/protocol/remote_session.h"
#include "core/protocol/session_texts.h"

namespace rv {

namespace {
// The steps of the two cycles, record by record.
struct RecordStates {
    RecordKind kind;
    uint8_t read;
    uint8_t write;
};
constexpr RecordStates kRecordStates[] = {{RecordKind::Config, osReadConfig, osWriteConfig},
                                          {RecordKind::InpOut, osReadInOut, osWriteInOut},
                                          {RecordKind::ConfSe, osReadExtended, osWriteExtended}};

const RecordStates& statesOf(RecordKind kind)
{
    return kRecordStates[int(kind)];
}

const RecordStates* stepOf(uint8_t state, bool write)
{
    for (const RecordStates& s : kRecordStates)
        if ((write ? s.write : s.read) == state)
            return &s;
    return nullptr;
}

const RecordArrival kNothingArrived;
} // namespace

bool SessionController::networkAttached() const
{
    return m_remote && m_remote->unitAttached();
}

// ---- the operations --------------------------------------------------------------------------------

void SessionController::Download_deviceClick()
{
    if (networkAttached())
        return m_remote->read();
    m_s.autoReadPending = false; // the user has taken charge
    endCopyRead(false);
    startRead(*m_records);
}

bool SessionController::readCopy(ConfigRecords& into)
{
    if (networkAttached())
        return m_remote->readCopy(into);
    if (!m_s.connected || m_s.OperationState != osIdle)
        return false;
    m_s.autoReadPending = false;
    endCopyRead(false);
    startRead(into);
    m_readingCopy = true;
    return true;
}

bool SessionController::readUnitCopy()
{
    // The copy starts as the program's records, so a record the unit does not send compares equal.
    const ConfigRecords before = *m_copy;
    *m_copy = *m_records;
    if (readCopy(*m_copy))
        return true;
    *m_copy = before;
    return false;
}

void SessionController::startRead(ConfigRecords& into)
{
    m_transfer.emplace(RecordTransfer::Kind::Read, into);
    m_transfer->start();
    m_s.OperationState = osReadConfig;
    arm();
    m_progress.Progress_show(timing::kReadWriteProgressTicks, 0, sessionWording().running(Operation::Read));
}

void SessionController::Upload_deviceClick()
{
    if (networkAttached())
        return m_remote->write();
    m_s.autoReadPending = false;
    endCopyRead(false);
    m_transfer.emplace(RecordTransfer::Kind::Write, *m_records);
    m_transfer->start();
    m_s.OperationState = osWriteConfig;
    arm();
    m_progress.Progress_show(timing::kReadWriteProgressTicks, 0, sessionWording().running(Operation::Write));
}

void SessionController::Reset_butClick()
{
    if (networkAttached())
        return m_remote->reset();
    m_s.autoReadPending = false;
    m_s.OperationState = osReset;
    arm();
}

void SessionController::eraseTrackConfirmed()
{
    if (networkAttached())
        return m_remote->eraseTrack();
    m_s.autoReadPending = false;
    m_s.OperationState = osEraseTrack;
    arm();
}

bool SessionController::operationRunning() const
{
    if (networkAttached())
        return m_remote->operationRunning();
    return m_s.OperationState != osIdle && m_s.OperationState != osSearch;
}

std::optional<Operation> SessionController::runningOperation() const
{
    if (stepOf(m_s.OperationState, false))
        return m_readingCopy ? Operation::Compare : Operation::Read;
    if (stepOf(m_s.OperationState, true))
        return Operation::Write;
    return std::nullopt;
}

const RecordArrival& SessionController::recordArrival(RecordKind kind) const
{
    return m_transfer && m_transfer->kind() == RecordTransfer::Kind::Read ? m_transfer->arrival(kind) : kNothingArrived;
}

void SessionController::endCopyRead(bool ok)
{
    if (!std::exchange(m_readingCopy, false))
        return;
    emit copyReadFinished(ok);
}

// ---- the steps and the replies ---------------------------------------------------------------------

void SessionController::recordStep(uint8_t state)
{
    if (const RecordStates* read = stepOf(state, false)) {
        switch (read->kind) {
        case RecordKind::Config: return sendStep(cmd::word(cmd::kReadConfig));
        case RecordKind::InpOut: return sendStep(cmd::word(cmd::kReadInpOut));
        case RecordKind::ConfSe: return sendStep(cmd::readExtended());
        }
    }
    const RecordKind kind = stepOf(state, true)->kind;
    emit gatherRequested(kind);
    m_s.writeAckAwaited = true;
    const QByteArray& bytes = m_records->of(kind).bytes();
    switch (kind) {
    case RecordKind::Config: return sendStep(cmd::writeConfig(bytes));
    case RecordKind::InpOut: return sendStep(cmd::writeInpOut(bytes));
    case RecordKind::ConfSe: return sendStep(cmd::writeExtended(bytes));
    }
}

void SessionController::sendStep(const Writes& writes)
{
    // A request of a read or write that cannot go out ends the operation now, not when the watchdog runs out.
    if (send(writes) < 1 && m_s.connected) {
        linkLost();
        m_progress.Progress_close();
    }
}

void SessionController::onRecord(QByteArrayView burst, qsizetype pos, RecordKind kind)
{
    // Only the reply the running read is waiting for moves it on; a late or unasked record changes
    // nothing and says nothing.
    if (m_s.OperationState != statesOf(kind).read || !m_transfer || m_transfer->awaited() != kind)
        return;
    const RecordReply r = parseRecordReply(burst, pos, kind);
    applyStep(r.check == RecordReply::Check::Ok ? m_transfer->recordArrived(kind, r.payload, r.length, r.status)
                                                : m_transfer->recordDamaged(kind));
}

void SessionController::onWrite()
{
    // One acknowledgement per record sent: a repeated "WRITE" must not skip a record.
    if (!m_s.writeAckAwaited)
        return;
    m_s.writeAckAwaited = false;
    m_s.connected = true;
    if (const RecordStates* step = stepOf(m_s.OperationState, true); step && m_transfer)
        applyStep(m_transfer->writeAcknowledged(step->kind));
}

void SessionController::applyStep(const RecordTransfer::Step& step)
{
    const bool write = m_transfer->kind() == RecordTransfer::Kind::Write;
    // A read for a comparison fills the copy and tells no page.
    const bool tellViews = !m_readingCopy && !write;
    if (step.cut)
        tell(Notice::NotAllRead);
    if (step.taken && tellViews)
        emit recordReceived(step.record);
    if (step.next) {
        m_s.OperationState = write ? statesOf(*step.next).write : statesOf(*step.next).read;
        arm();
        m_progress.Progress_refresh();
        if (step.taken && tellViews && step.record == RecordKind::Config)
            emit configurate(static_cast<quint8>(m_s.DeviceOptions & 0xFF));
        return;
    }
    if (!step.end)
        return;
    const Outcome o = RecordTransfer::outcome(write ? Operation::Write : m_readingCopy ? Operation::Compare : Operation::Read, step);
    if (o.result != Result::Done) {
        closeProgress(o); // the records received before stay
        m_s.OperationState = osIdle;
        endCopyRead(false);
    } else if (o.operation == Operation::Compare) {
        m_s.OperationState = osIdle;
        closeProgress(o);
        endCopyRead(true);
    } else if (o.operation == Operation::Read) {
        closeProgress(o);
        emit readCycleFinished();
        m_s.OperationState = osIdle;
    } else {
        m_s.OperationState = osIdle;
        closeProgress(o);
        emit writeCycleFinished();
    }
    emit operationEnded(o);
}

void SessionController::endByUnit(Result result)
{
    // "LOWD" and "FAIL" end whatever runs, and say so even when nothing did.
    const Outcome o{runningOperation().value_or(Operation::Write), result};
    m_s.OperationState = osIdle;
    if (m_transfer)
        m_transfer->fail(result);
    closeProgress(o);
    emit operationEnded(o);
}

// ---- the password ----------------------------------------------------------------------------------

void SessionController::onPassword(QByteArrayView burst, qsizetype pos)
{
    const std::optional<char> c = parsePasswordReply(burst, pos);
    if (!c)
        return;
    const uint8_t repeat = *c == '1' ? std::exchange(m_refused, uint8_t(osIdle)) : uint8_t(osIdle);
    if (*c == '0') {
        m_refused = osIdle;
        tell(Notice::PasswordRefused);
    } else if (*c == '1') {
        tell(repeat != osIdle ? Notice::PasswordAccepted : Notice::PasswordAcceptedRepeat);
    } else if (*c == '?') {
        m_refused = m_repeatAfterPassword && !m_readingCopy ? repeatableOperation(m_s.OperationState) : uint8_t(osIdle);
        emit passwordWanted();
    }
    emit passwordReply(*c);
    m_progress.Progress_close();
    m_s.OperationState = osIdle;
    if (repeat != osIdle)
        runAgain(repeat);
}

uint8_t SessionController::repeatableOperation(uint8_t state)
{
    if (stepOf(state, false))
        return osReadConfig;
    if (stepOf(state, true))
        return osWriteConfig;
    return state == osReset || state == osEraseTrack ? state : uint8_t(osIdle);
}

void SessionController::runAgain(uint8_t operation)
{
    // The whole operation from its start: a read or write the lock stopped midway is repeated whole.
    switch (operation) {
    case osReadConfig: return Download_deviceClick();
    case osWriteConfig: return Upload_deviceClick();
    case osReset: return Reset_butClick();
    case osEraseTrack: return eraseTrackConfirmed();
    default: return;
    }
}

void SessionController::cancelPassword()
{
    m_refused = osIdle;
}

void SessionController::submitPassword(uint16_t value)
{
    m_s.password = value;
    m_s.OperationState = osSendPassword;
    arm();
}

} // namespace rv
