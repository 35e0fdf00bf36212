#pragma once

// One unit as the front ends see it, whichever way it is reached: the serial session (SessionController)
// and the network session (RemoteSession) both have this shape. Each runs the record cycle with a
// RecordTransfer of its own and reports values (session_outcome.h); the views refresh from the same
// signals whichever session filled the records.

#include "core/config/record_kind.h"
#include "core/protocol/session_outcome.h"

#include <QObject>

namespace rv {

struct ConfigRecords;
struct MonitorBlocks;
class ProgressWatchdog;

class UnitSession : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual ConfigRecords& records() = 0;
    virtual MonitorBlocks& monitor() = 0;
    // The progress display the session's operations show and its no-answer watchdog.
    virtual ProgressWatchdog& progress() = 0;

    // The operations; each ends with operationEnded (reset alone has no end to wait for).
    virtual void read() = 0;
    // The unit's three records into `into`, which starts as the caller leaves it; the program's records
    // stay, no page hears of it, and copyReadFinished follows. False (nothing sent) when it cannot start.
    virtual bool readCopy(ConfigRecords& into) = 0;
    virtual void write() = 0;
    virtual void reset() = 0;
    virtual void eraseTrack() = 0;
    virtual bool operationRunning() const = 0;

signals:
    void operationEnded(const rv::Outcome& outcome);
    void notice(const rv::Note& note);
    void linkChanged(const rv::LinkEvent& event);
    void deviceConnected(quint8 type, quint32 options); // a unit answered: adapt, show the monitor page
    void gatherRequested(rv::RecordKind kind);  // pages into the record, just before it is written
    void recordReceived(rv::RecordKind kind);   // the record now holds the unit's bytes
    void readCycleFinished();
    void writeCycleFinished();
    void copyReadFinished(bool ok);             // readCopy is over; its records hold the unit's
    void gpsReceived();
    void deviceReceived();

protected:
    // The progress display closes with the words of the outcome (before the session's own signals go out).
    void closeProgress(const Outcome& outcome);
    void tell(Notice notice, qint64 count = 0, const QString& detail = QString()) { emit this->notice({notice, count, detail}); }
};

} // namespace rv
