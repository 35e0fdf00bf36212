#pragma once

// Reading or writing the three configuration records of one network unit, without a window: the exchange
// 21/0 → 21/1 → 21/2 or write 0 → 22/0 → write 1 → 22/1 → write 2 → 22/2 on records of its own. It is the
// unit-by-unit engine of fleet jobs; the window's session runs the same exchange with its progress window.

#include "core/config/records.h"
#include "core/protocol/remote_frames.h"

#include <QString>

namespace rv {

class RecordTransfer {
public:
    enum class Kind { Read, Write };
    enum class State { Running, Done, Failed };
    struct Step {
        QByteArray send; // the next frame, if any
        State state = State::Running;
        QString reason; // why it failed
    };

    RecordTransfer(Kind kind, ConfigRecords& records) : m_kind(kind), m_records(records) {}

    // The first frame.
    QByteArray start();
    // A reply of the unit; what to send next and whether the exchange has ended.
    Step reply(const remote::ReplyInfo& reply);
    State state() const { return m_state; }
    Kind kind() const { return m_kind; }

private:
    Step fail(const QString& reason);
    QByteArray writeFrame(uint8_t record) const;

    Kind m_kind;
    ConfigRecords& m_records;
    uint8_t m_expected = 0;
    State m_state = State::Running;
};

} // namespace rv
