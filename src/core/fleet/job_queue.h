#pragma once

// A folder of jobs for units that call over the network: "IMEI.fcg" (write this configuration to the unit)
// and "IMEI.read" (read the unit into "IMEI-DATE.fcg"). A finished job's file moves to "done/", a failed
// one's to "failed/" with the reason appended to "failed/IMEI.log". Files are looked at when a unit
// calls, so jobs can be added while the server runs.
//
// The file run is the file filed: a job keeps the identity of the file it opened, and a file that was
// replaced or rewritten meanwhile stays where it is, as the next job. Outputs never replace a file and are
// never written through a link placed at their name.

#include "core/base/file_identity.h"
#include "core/base/output_file.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

namespace rv {

struct FleetJob {
    enum class Kind { Write, Read };
    Kind kind = Kind::Write;
    QString imei;
    QString path;          // the job's file
    FileIdentity identity; // the file as it was opened for this job
    bool readable = true;  // false: the file is there but could not be read
    QByteArray bytes;      // Write: what the file held when opened (at most a configuration and one byte)
    qint64 fileSize = 0;
};

// A file in the job folder that is no job (a dangling link, a FIFO, a name that is no IMEI ...).
struct IgnoredJobFile {
    QString name;
    QString reason;
};

class JobQueue {
public:
    explicit JobQueue(QString folder) : m_folder(std::move(folder)) {}

    // The folder exists and "done/" and "failed/" can be made in it; else false and the reason.
    bool prepare(QString* error);
    QString folder() const { return m_folder; }

    // The unit's next job, a write before a read, opened: its identity and (a write) its bytes taken now.
    std::optional<FleetJob> jobFor(const QString& imei) const;
    // The files in the folder that are neither jobs nor the queue's own (done/, failed/, outputs, hidden
    // files), each with the reason it is not used.
    QList<IgnoredJobFile> ignoredFiles() const;

    // Saves a read job's configuration as "IMEI-yyyyMMdd-HHmmss.fcg", or with "-2", "-3" ... added when
    // that name is taken: never over an existing file, never through a link. `savedAs` gets the file's path.
    OutputFileResult saveReadOutput(const QString& imei, const QDateTime& when, QByteArrayView bytes,
                                    QString* savedAs = nullptr) const;

    // What became of a finished job's file.
    enum class Filed {
        Moved,    // moved to done/ or failed/
        Replaced, // the name holds another file now (or the file changed): left in place as the next job
        Gone,     // the file was removed while the job ran
        Failed,   // it could not be moved; `text` says why
    };
    struct FileOutcome {
        Filed filed = Filed::Moved;
        QString text;
    };
    // Moves the job's file to done/ (a file of the same name already there is kept: the new one gets the
    // time in its name), when the name still holds the file that was run.
    FileOutcome markDone(const FleetJob& job) const;
    // Moves it to failed/ likewise and appends "DATE TIME file: reason" to failed/IMEI.log.
    FileOutcome markFailed(const FleetJob& job, const QString& reason) const;

private:
    FileOutcome moveTo(const FleetJob& job, const QString& sub) const;

    QString m_folder;
};

// The event text of a job file that was not moved (empty for Moved).
QString filedText(const JobQueue::FileOutcome& outcome);

} // namespace rv
