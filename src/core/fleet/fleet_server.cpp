#include "core/fleet/fleet_server.h"

#include "core/config/fcg_file.h"
#include "core/protocol/session_texts.h"

#include <QFileInfo>

namespace rv {

FleetServer::FleetServer(NetworkUnits& units, JobQueue& queue, FleetOptions options, QObject* parent)
    : QObject(parent), m_units(units), m_queue(queue), m_options(options)
{
    connect(&m_units, &NetworkUnits::logLine, this, [this](const QString& text) {
        emit event(QJsonObject{{QStringLiteral("event"), QStringLiteral("log")}, {QStringLiteral("text"), text}});
    });
    connect(&m_units, &NetworkUnits::unitGreeted, this, &FleetServer::greeted);
    connect(&m_units, &NetworkUnits::replyReceived, this, &FleetServer::reply);
    connect(&m_units, &NetworkUnits::unitGone, this, &FleetServer::gone);
    m_tick.setInterval(kTickMs);
    connect(&m_tick, &QTimer::timeout, this, &FleetServer::tick);
    m_tick.start();
    m_rescan.setSingleShot(true);
    m_rescan.setInterval(kTickMs);
    connect(&m_rescan, &QTimer::timeout, this, &FleetServer::scanFolder);
    m_watcher.addPath(m_queue.folder());
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, [this] {
        if (!m_rescan.isActive())
            m_rescan.start();
    });
}

void FleetServer::scanFolder()
{
    QSet<QString> now;
    for (const IgnoredJobFile& f : m_queue.ignoredFiles()) {
        now.insert(f.name);
        if (m_ignored.contains(f.name))
            continue;
        emit event(QJsonObject{{QStringLiteral("event"), QStringLiteral("job-ignored")},
                               {QStringLiteral("file"), f.name},
                               {QStringLiteral("reason"), f.reason}});
    }
    m_ignored = now;
}

FleetServer::~FleetServer() = default;

QJsonObject FleetServer::record(const QString& kind, ConnectionId id, const Job* job) const
{
    QJsonObject o{{QStringLiteral("event"), kind}};
    if (const ConnectedUnit* u = m_units.units().find(id)) {
        o.insert(QStringLiteral("imei"), u->imei);
        o.insert(QStringLiteral("id"), u->unitId);
        o.insert(QStringLiteral("peer"), u->peer);
    } else if (job) {
        o.insert(QStringLiteral("imei"), job->imei);
        o.insert(QStringLiteral("id"), job->unitId);
    }
    if (job)
        o.insert(QStringLiteral("file"), QFileInfo(job->job.path).fileName());
    return o;
}

void FleetServer::greeted(ConnectionId id, const remote::GreetingInfo& g)
{
    if (m_jobs.contains(id))
        return; // greeted again mid-job: the job goes on
    startNext(id, g.imei, g.unitId);
}

void FleetServer::startNext(ConnectionId id, const QString& imei, uint16_t unitId)
{
    const std::optional<FleetJob> next = m_queue.jobFor(imei);
    if (!next) {
        emit event(record(QStringLiteral("no-job"), id, nullptr));
        if (m_options.closeIdle)
            m_units.drop(id, QStringLiteral("нет задания"));
        return;
    }
    auto job = std::make_shared<Job>();
    job->job = *next;
    job->imei = imei;
    job->unitId = unitId;
    if (next->kind == FleetJob::Kind::Write) {
        // Only a whole configuration file goes to a unit: the open's rule refuses a file of another size.
        // The bytes are those read when the job was opened, from the file whose identity it keeps.
        FcgOpenResult r;
        r.status = FcgStatus::OpenFailed;
        if (next->readable)
            r = fcgFromFile(job->records, next->bytes, next->fileSize);
        if (!r.ok()) {
            m_jobs.insert(id, job);
            finish(id, false, fcgOpenMessage(r));
            return;
        }
    }
    job->transfer = std::make_unique<RecordTransfer>(
        next->kind == FleetJob::Kind::Write ? RecordTransfer::Kind::Write : RecordTransfer::Kind::Read, job->records);
    job->deadline = m_units.now() + m_options.stepTimeoutMs;
    m_jobs.insert(id, job);
    emit event(record(QStringLiteral("job-started"), id, job.get()));
    m_units.send(id, job->transfer->remoteFrame(*job->transfer->start().next));
}

void FleetServer::reply(ConnectionId id, const QByteArray& body)
{
    const auto it = m_jobs.constFind(id);
    if (it == m_jobs.cend() || !(*it)->transfer)
        return;
    const std::shared_ptr<Job> job = *it;
    const std::optional<remote::ReplyInfo> r = remote::parseReply(body);
    const RecordTransfer::Step step = r ? job->transfer->remoteReply(*r) : job->transfer->fail(Result::Malformed);
    if (step.cut) {
        QString text = sessionWording().notice({Notice::NotAllRead});
        emit event(QJsonObject{{QStringLiteral("event"), QStringLiteral("log")},
                               {QStringLiteral("text"), QStringLiteral("IMEI %1: %2").arg(job->imei, text.replace(u'\r', u' '))}});
    }
    if (step.end) {
        const bool done = *step.end == Result::Done;
        const Operation operation = job->job.kind == FleetJob::Kind::Write ? Operation::Write : Operation::Read;
        finish(id, done, done ? QString() : sessionWording().closing(RecordTransfer::outcome(operation, step)));
        return;
    }
    if (step.next) {
        job->deadline = m_units.now() + m_options.stepTimeoutMs;
        m_units.send(id, job->transfer->remoteFrame(*step.next));
    }
}

void FleetServer::finish(ConnectionId id, bool ok, const QString& reason)
{
    const std::shared_ptr<Job> job = m_jobs.take(id);
    if (!job)
        return;
    QString why = reason;
    QString output;
    if (ok && job->job.kind == FleetJob::Kind::Read) {
        // A read is done only when its configuration is on the disk; the job then fails with the reason.
        const OutputFileResult saved = m_queue.saveReadOutput(job->imei, QDateTime::currentDateTime(),
                                                              fcgBytes(job->records), &output);
        if (!saved.ok()) {
            ok = false;
            why = outputFileMessage(saved);
            output.clear();
        }
    }
    const JobQueue::FileOutcome filed = ok ? m_queue.markDone(job->job) : m_queue.markFailed(job->job, why);
    QJsonObject o = record(ok ? QStringLiteral("job-done") : QStringLiteral("job-failed"), id, job.get());
    if (!ok)
        o.insert(QStringLiteral("reason"), why);
    if (!output.isEmpty())
        o.insert(QStringLiteral("output"), QFileInfo(output).fileName());
    if (const QString text = filedText(filed); !text.isEmpty())
        o.insert(QStringLiteral("text"), text);
    emit event(o);
    // The unit's next job (a read after a write, or the file that replaced this one) on the same call;
    // never the same file again.
    if (ok && filed.filed != JobQueue::Filed::Failed && m_units.units().find(id))
        startNext(id, job->imei, job->unitId);
}

void FleetServer::gone(ConnectionId id)
{
    const std::shared_ptr<Job> job = m_jobs.take(id);
    if (!job)
        return;
    // The job stays in the folder and runs again when the unit calls again.
    QJsonObject o = record(QStringLiteral("job-interrupted"), id, job.get());
    o.insert(QStringLiteral("reason"), QStringLiteral("соединение закрыто"));
    emit event(o);
}

void FleetServer::tick()
{
    const qint64 now = m_units.now();
    QList<ConnectionId> late;
    for (auto it = m_jobs.cbegin(); it != m_jobs.cend(); ++it) {
        if ((*it)->transfer && now > (*it)->deadline)
            late.append(it.key());
    }
    for (ConnectionId id : late) {
        finish(id, false, QStringLiteral("Нет ответа за %1 с").arg(m_options.stepTimeoutMs / 1000.0));
        m_units.drop(id, QStringLiteral("задание не выполнено: нет ответа"));
    }
}

} // namespace rv
