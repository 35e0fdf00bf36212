#include "core/fleet/job_queue.h"

#include "core/config/fcg_file.h"
#include "core/base/input_file.h"
#include "core/link/imei.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <limits>

namespace rv {

namespace {
const QString kDone = QStringLiteral("done");
const QString kFailed = QStringLiteral("failed");
constexpr int kMaxOutputNames = 1000; // read outputs of one unit in one second, at the very most

// "IMEI-yyyyMMdd-HHmmss.fcg" or with "-N" added: a read job's output, the queue's own.
bool isOutputName(const QString& name)
{
    static const QRegularExpression stamp(QStringLiteral("^-[0-9]{8}-[0-9]{6}(-[0-9]+)?\\.fcg$"));
    return isImei(QStringView(name).left(kImeiDigits)) && stamp.match(name.sliced(std::min(name.size(), kImeiDigits))).hasMatch();
}

// "IMEI.fcg" or "IMEI.read".
bool isJobName(const QString& name)
{
    const QStringView suffix = QStringView(name).sliced(std::min(name.size(), kImeiDigits));
    return isImei(QStringView(name).left(kImeiDigits)) && (suffix == u".fcg" || suffix == u".read");
}
} // namespace

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
    if (!isImei(imei))
        return std::nullopt;
    const QDir dir(m_folder);
    for (const auto& [kind, suffix] : {std::pair{FleetJob::Kind::Write, QStringLiteral(".fcg")},
                                       std::pair{FleetJob::Kind::Read, QStringLiteral(".read")}}) {
        const QString path = dir.filePath(imei + suffix);
        QFile f;
        const InputFileError e = openInputFile(f, path, std::numeric_limits<qint64>::max());
        // Nothing there, or nothing that can be a job (a dangling link, a FIFO ...): ignoredFiles() names it.
        if (e == InputFileError::Missing || e == InputFileError::NotRegular)
            continue;
        FleetJob job;
        job.kind = kind;
        job.imei = imei;
        job.path = path;
        if (e != InputFileError::None) {
            job.readable = false;
            job.identity = fileIdentity(path);
            return job;
        }
        // The identity and the bytes of one open file: what is sent is what is filed afterwards.
        job.identity = fileIdentity(f);
        job.fileSize = f.size();
        if (kind == FleetJob::Kind::Write) {
            job.bytes = f.read(kFcgSize + 1);
            job.readable = f.error() == QFileDevice::NoError;
        }
        return job;
    }
    return std::nullopt;
}

QList<IgnoredJobFile> JobQueue::ignoredFiles() const
{
    QList<IgnoredJobFile> out;
    const QDir dir(m_folder);
    // Hidden files are left out: a save in progress is one, and so are an editor's own.
    const QStringList names = dir.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& name : names) {
        if (name == kDone || name == kFailed || isOutputName(name))
            continue;
        const QFileInfo info(dir.filePath(name));
        if (!isJobName(name)) {
            out.append({name, QStringLiteral("не задание: имя должно быть IMEI из 15 цифр и .fcg или .read")});
        } else if (info.isSymLink() && !info.exists()) {
            out.append({name, QStringLiteral("ссылка ведёт к файлу, которого нет")});
        } else if (info.isDir()) {
            out.append({name, QStringLiteral("это папка, а не файл задания")});
        } else if (!info.isFile()) {
            out.append({name, QStringLiteral("не обычный файл (FIFO, устройство)")});
        }
    }
    return out;
}

OutputFileResult JobQueue::saveReadOutput(const QString& imei, const QDateTime& when, QByteArrayView bytes,
                                          QString* savedAs) const
{
    const QString stem = QDir(m_folder).filePath(
        QStringLiteral("%1-%2").arg(imei, when.toString(QStringLiteral("yyyyMMdd-HHmmss"))));
    OutputFileResult r;
    for (int n = 1; n <= kMaxOutputNames; ++n) {
        const QString path = n == 1 ? stem + QStringLiteral(".fcg") : QStringLiteral("%1-%2.fcg").arg(stem).arg(n);
        r = saveOutputFile(path, bytes, OutputFileMode::NewOnly);
        if (r.error != OutputFileError::Exists) {
            if (savedAs)
                *savedAs = path;
            return r;
        }
    }
    return r;
}

namespace {
// A file rewritten in place within the clock's tick keeps its identity; a write job's bytes tell.
bool sameBytes(const FleetJob& job)
{
    if (job.kind != FleetJob::Kind::Write || !job.readable)
        return true;
    QFile f;
    if (openInputFile(f, job.path, std::numeric_limits<qint64>::max()) != InputFileError::None)
        return false;
    return f.size() == job.fileSize && f.read(kFcgSize + 1) == job.bytes;
}
} // namespace

JobQueue::FileOutcome JobQueue::moveTo(const FleetJob& job, const QString& sub) const
{
    const FileIdentity now = fileIdentity(job.path);
    if (!now.valid() && !QFileInfo(job.path).isSymLink())
        return {Filed::Gone, {}};
    if ((job.identity.valid() && now != job.identity) || !sameBytes(job))
        return {Filed::Replaced, {}};
    const QFileInfo from(job.path);
    QString target = QDir(m_folder).filePath(sub + u'/' + from.fileName());
    if (QFileInfo::exists(target) || QFileInfo(target).isSymLink())
        target = QDir(m_folder).filePath(QStringLiteral("%1/%2.%3.%4").arg(sub, from.completeBaseName(),
            QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmsszzz")), from.suffix()));
    if (!QFile::rename(job.path, target))
        return {Filed::Failed, QStringLiteral("cannot move %1 to %2/").arg(from.fileName(), sub)};
    // The name may have been given another file between the look and the move: that one goes back.
    if (job.identity.valid() && fileIdentity(target) != job.identity) {
        if (QFile::rename(target, job.path))
            return {Filed::Replaced, {}};
        return {Filed::Failed, QStringLiteral("%1 was replaced while its job ran, and the new file went to %2/: "
                                              "it could not be put back").arg(from.fileName(), sub)};
    }
    return {Filed::Moved, {}};
}

JobQueue::FileOutcome JobQueue::markDone(const FleetJob& job) const
{
    return moveTo(job, kDone);
}

JobQueue::FileOutcome JobQueue::markFailed(const FleetJob& job, const QString& reason) const
{
    FileOutcome outcome = moveTo(job, kFailed);
    QFile log(QDir(m_folder).filePath(kFailed + u'/' + job.imei + QStringLiteral(".log")));
    QString line = reason;
    line.replace(u'\n', u' ').replace(u'\r', u' ');
    const QByteArray entry = (QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss "))
                              + QFileInfo(job.path).fileName() + QStringLiteral(": ") + line + u'\n').toUtf8();
    // Appended: a failed append loses at most this line, never the lines before it.
    const bool logged = log.open(QIODevice::Append) && log.write(entry) == entry.size() && log.flush();
    if (!logged && outcome.filed == Filed::Moved)
        outcome = {Filed::Moved, QStringLiteral("failed/%1.log: %2").arg(job.imei, log.errorString())};
    return outcome;
}

QString filedText(const JobQueue::FileOutcome& outcome)
{
    switch (outcome.filed) {
    case JobQueue::Filed::Moved: return outcome.text;
    case JobQueue::Filed::Replaced:
        return QStringLiteral("файл задания заменён, пока задание шло: новый файл оставлен в папке следующим заданием");
    case JobQueue::Filed::Gone: return QStringLiteral("файл задания удалён, пока задание шло");
    case JobQueue::Filed::Failed: return outcome.text;
    }
    return {};
}

} // namespace rv
