#pragma once

// Provisioning a fleet over the air: when a unit with a job in the job folder calls in, its job runs on
// its own connection (many at once), and the job's file moves to done/ or failed/. Every event becomes one
// record (a JSON object) for the caller to print: the server's own log lines, jobs started, done, failed,
// units without a job.

#include "core/config/records.h"
#include "core/fleet/job_queue.h"
#include "core/protocol/network_units.h"
#include "core/protocol/record_transfer.h"

#include <QFileSystemWatcher>
#include <QHash>
#include <QJsonObject>
#include <QSet>
#include <QObject>
#include <QTimer>

#include <memory>

namespace rv {

struct FleetOptions {
    bool closeIdle = false;        // a unit without a job is closed rather than left connected
    qint64 stepTimeoutMs = 20'000; // a job whose unit does not answer a step in this time fails
};

class FleetServer : public QObject {
    Q_OBJECT
public:
    static constexpr int kTickMs = 250;

    FleetServer(NetworkUnits& units, JobQueue& queue, FleetOptions options, QObject* parent = nullptr);
    ~FleetServer() override;

    int running() const { return static_cast<int>(m_jobs.size()); }
    // Looks at the time limits of running jobs (also run by a timer of its own).
    void tick();
    // Looks for files in the job folder that are no job, and reports each once ("job-ignored") until it
    // goes away. Run once by the caller when it listens to the events, then on every change of the folder.
    void scanFolder();
    // Files in the folder that are no job, at the last scan.
    int ignoredCount() const { return static_cast<int>(m_ignored.size()); }

signals:
    // {"event": "log"|"job-started"|"job-done"|"job-failed"|"job-interrupted"|"no-job"|"job-ignored",
    //  "imei", "id", "peer", "file", "output", "reason", "text"}
    void event(const QJsonObject& record);

private:
    struct Job {
        FleetJob job;
        ConfigRecords records;
        std::unique_ptr<RecordTransfer> transfer;
        qint64 deadline = 0;
        QString imei;
        uint16_t unitId = 0;
    };

    void greeted(ConnectionId id, const remote::GreetingInfo& g);
    void startNext(ConnectionId id, const QString& imei, uint16_t unitId);
    void reply(ConnectionId id, const QByteArray& body);
    void gone(ConnectionId id);
    void finish(ConnectionId id, bool ok, const QString& reason);
    QJsonObject record(const QString& kind, ConnectionId id, const Job* job) const;

    NetworkUnits& m_units;
    JobQueue& m_queue;
    FleetOptions m_options;
    QHash<ConnectionId, std::shared_ptr<Job>> m_jobs;
    QTimer m_tick;
    QFileSystemWatcher m_watcher;
    QTimer m_rescan;        // changes of the folder come in bursts: one scan after them
    QSet<QString> m_ignored; // names reported as no job, while they stay
};

} // namespace rv
