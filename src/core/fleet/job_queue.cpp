#include "core/fleet/job_queue.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace rv {

namespace {
const QString kDone = QStringLiteral("done");
const QString kFailed = QStringLiteral("failed");
} // namespace

bool isImeiText(const QString& imei)
{
    if (imei.size() != 15)
        return false;
    for (QChar c : imei) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return true;
}

bool JobQueue::prepare(QString* error)
{
    QDir dir(m_folder);
    if (!dir.exists()) {
        if (error)
            *error = QStringLiteral("%1: no such folder").arg(m_folder);
        return false;
    }
    if (!dir.mkpath(kDone) || !dir.mkpath(kFailed)) {
        if (error)
            *error = QStringLiteral("%1: cannot make done/ and failed/ in it").arg(m_folder);
        return false;
    }
    return true;
}

std::optional<FleetJob> JobQueue::jobFor(const QString& imei) const
{
    if (!isImeiText(imei))
        return std::nullopt;
    const QDir dir(m_folder);
    for (const auto& [kind, suffix] : {std::pair{FleetJob::Kind::Write, QStringLiteral(".fcg")},
                                       std::pair{FleetJob::Kind::Read, QStringLiteral(".read")}}) {
        const QString path = dir.filePath(imei + suffix);
        if (QFileInfo(path).isFile())
            return FleetJob{kind, imei, path};
    }
    return std::nullopt;
}

QString JobQueue::readOutput(const QString& imei, const QDateTime& when) const
{
    return QDir(m_folder).filePath(QStringLiteral("%1-%2.fcg").arg(imei, when.toString(QStringLiteral("yyyyMMdd-HHmmss"))));
}

bool JobQueue::moveTo(const FleetJob& job, const QString& sub, QString* error) const
{
    const QFileInfo from(job.path);
    QString target = QDir(m_folder).filePath(sub + u'/' + from.fileName());
    if (QFileInfo::exists(target))
        target = QDir(m_folder).filePath(QStringLiteral("%1/%2.%3.%4").arg(sub, from.completeBaseName(),
            QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmsszzz")), from.suffix()));
    if (!QFile::rename(job.path, target)) {
        if (error)
            *error = QStringLiteral("cannot move %1 to %2/").arg(from.fileName(), sub);
        return false;
    }
    return true;
}

bool JobQueue::markDone(const FleetJob& job, QString* error) const
{
    return moveTo(job, kDone, error);
}

bool JobQueue::markFailed(const FleetJob& job, const QString& reason, QString* error) const
{
    QFile log(QDir(m_folder).filePath(kFailed + u'/' + job.imei + QStringLiteral(".log")));
    if (log.open(QIODevice::Append | QIODevice::Text)) {
        QString line = reason;
        line.replace(u'\n', u' ').replace(u'\r', u' ');
        log.write((QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss ")) + QFileInfo(job.path).fileName()
                   + QStringLiteral(": ") + line + u'\n').toUtf8());
    }
    return moveTo(job, kFailed, error);
}

} // namespace rv
