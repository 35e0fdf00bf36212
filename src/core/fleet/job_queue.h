#pragma once

// A folder of jobs for units that call over the network: "IMEI.fcg" (write this configuration to the unit)
// and "IMEI.read" (read the unit into "IMEI-DATE.fcg"). A finished job's file moves to "done/", a failed
// one's to "failed/" with the reason appended to "failed/IMEI.log". Files are looked at when a unit
// calls, so jobs can be added while the server runs.

#include <QDateTime>
#include <QString>

#include <optional>

namespace rv {

struct FleetJob {
    enum class Kind { Write, Read };
    Kind kind = Kind::Write;
    QString imei;
    QString path; // the job's file
};

class JobQueue {
public:
    explicit JobQueue(QString folder) : m_folder(std::move(folder)) {}

    // The folder exists and "done/" and "failed/" can be made in it; else false and the reason.
    bool prepare(QString* error);
    QString folder() const { return m_folder; }

    // The unit's next job: a write before a read.
    std::optional<FleetJob> jobFor(const QString& imei) const;
    // Where a read job saves the unit's configuration.
    QString readOutput(const QString& imei, const QDateTime& when) const;

    // Moves the job's file to done/ (a file of the same name already there is kept: the new one gets the
    // time in its name). False, with the reason, when the file could not be moved.
    bool markDone(const FleetJob& job, QString* error = nullptr) const;
    // Moves it to failed/ and appends "DATE TIME reason" to failed/IMEI.log.
    bool markFailed(const FleetJob& job, const QString& reason, QString* error = nullptr) const;

private:
    bool moveTo(const FleetJob& job, const QString& sub, QString* error) const;

    QString m_folder;
};

// 15 digits: an IMEI as a file name may hold it (nothing else in a caller's greeting reaches the file system).
bool isImeiText(const QString& imei);

} // namespace rv
