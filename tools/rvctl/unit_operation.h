#pragma once

// One operation on a unit, run by the same session controller the main window uses: find the unit, then
// identify it, read its configuration or write one. The controller paces the wire and its progress watchdog
// decides failures; this class turns the outcome the session reports into an exit code and shows progress
// and errors on stderr, the session's words beside its own. It decides nothing by a text.

#include "core/config/records.h"
#include "core/link/serial_link.h"
#include "core/monitor/monitor_blocks.h"
#include "core/protocol/device_session.h"
#include "core/track/track_read.h"

#include <QElapsedTimer>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>

#include <memory>
#include <optional>

class QEventLoop;

namespace rvctl {

enum Exit { ExitOk = 0, ExitDiffers = 1, ExitUsage = 2, ExitFailed = 3 };

// What the unit said about itself: the handshake and the first DEVICE block.
struct UnitInfo
{
    uint8_t type = 0;
    uint32_t options = 0;
    uint8_t firmwareVersion = 0;
    uint16_t build1 = 0, build2 = 0;
    uint8_t build3 = 0;
    uint16_t id = 0;
    QString imei;
};

// "RV-2 v2", "RV-1", "RV-2 v4" for the type codes 2, 3, 4; empty for another code.
QString unitTypeName(int type);
QString buildText(const UnitInfo& info); // "0700.1203.15", as the monitor page shows it
QString infoText(const UnitInfo& info);
QByteArray infoJson(const UnitInfo& info);

struct UnitOptions
{
    QString port;
    std::optional<uint16_t> password;
    int discoverySeconds = 10; // give up looking for the unit after this
    rv::TrackRead::Request track; // what a track read asks for
};

class UnitOperation : public QObject {
    Q_OBJECT
public:
    enum class Kind { Info, Read, Write, Track };

    // For Write, `records` must already hold what is to be written; after a Read they hold the unit's.
    UnitOperation(Kind kind, UnitOptions options, rv::ConfigRecords& records, QObject* parent = nullptr);
    ~UnitOperation() override;

    // Runs on the current thread's event loop until the operation ends; returns the exit code. Failures
    // have been written to stderr by then.
    int exec();
    const UnitInfo& info() const { return m_info; }
    // Track: the bytes read (whole only when exec() returned ExitOk).
    QByteArray trackBytes() const { return m_track ? m_track->buffer() : QByteArray(); }
    uint32_t trackAnnounced() const { return m_track ? m_track->announced() : 0; }
    // From the operation's start (the unit found) to its end, in milliseconds.
    qint64 operationMs() const { return m_operationMs; }

private:
    enum class Phase { Searching, WaitDevice, Running, Password, Done };

    void found();                 // a handshake or NEWCONF: the unit answers
    void deviceBlock();
    void startOperation();
    void operationEnded(const rv::Outcome& outcome);
    void trackFinished(bool complete);
    void passwordWanted();
    void deadlineExpired();
    void arm(int ms, const QString& why);
    void finish(int code, const QString& error = QString());
    void progressLine(const QString& text);
    QString incompleteRead() const; // empty when all three records arrived whole

    Kind m_kind;
    UnitOptions m_opt;
    rv::ConfigRecords& m_records;
    rv::MonitorBlocks m_monitor;
    rv::SerialLink m_serial;
    rv::SessionController m_session;
    std::unique_ptr<rv::TrackRead> m_track;
    int m_trackPercent = -1;
    QElapsedTimer m_operationTimer;
    qint64 m_operationMs = 0;
    QTimer m_deadline;             // the limit of the current phase
    QString m_deadlineMessage;
    QString m_lastStatus;          // status panel 3
    QString m_searchFailure;       // why the last discovery round found nothing
    QSet<QString> m_statusShown;
    QString m_lastProgress;
    QString m_lastClosing;         // the words the progress display closed with last
    UnitInfo m_info;
    Phase m_phase = Phase::Searching;
    bool m_passwordSent = false;
    bool m_repeated = false;
    int m_exit = -1;
    QEventLoop* m_loop = nullptr;
};

} // namespace rvctl
