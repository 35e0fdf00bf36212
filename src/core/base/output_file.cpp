#include "core/base/output_file.h"

#include "core/base/output_file_platform.h"

#include <QByteArray>
#include <QList>

#include <mutex>

namespace rv {

namespace platform = output_file_platform;

// ---- the fault seam ------------------------------------------------------------------------------

namespace output_file_faults {
namespace {

struct Fault {
    Step step;
    int remaining; // calls of the step still to let through before this one fails
    OutputFileError error;
};

struct Faults {
    std::mutex lock;
    QList<Fault> pending;
    int fired = 0;
};

Faults& faults()
{
    static Faults f;
    return f;
}

// RVCONF_SAVE_FAULT="write:1:nospace": a fault for a program that a test starts.
void injectFromEnvironment()
{
    const QByteArray wanted = qgetenv("RVCONF_SAVE_FAULT");
    if (wanted.isEmpty())
        return;
    const QList<QByteArray> parts = wanted.split(':');
    if (parts.size() != 3)
        return;
    static const std::pair<const char*, Step> kSteps[] = {{"create", Step::Create}, {"write", Step::Write},
        {"sync", Step::Sync}, {"rename", Step::Rename}, {"foldersync", Step::FolderSync}};
    bool ok = false;
    const int nth = parts[1].toInt(&ok);
    if (!ok || nth < 1)
        return;
    const OutputFileError error = parts[2] == "io" ? OutputFileError::Io : OutputFileError::NoSpace;
    for (const auto& [name, step] : kSteps) {
        if (parts[0] == name)
            inject(step, nth, error);
    }
}

void readEnvironmentOnce()
{
    static std::once_flag once;
    std::call_once(once, injectFromEnvironment);
}

// The error of a fault that fires at this call of `step`, else None.
OutputFileError take(Step step)
{
    readEnvironmentOnce();
    Faults& f = faults();
    const std::lock_guard guard(f.lock);
    // Every fault of the step counts this call; the first whose turn it is fires.
    qsizetype due = -1;
    for (qsizetype i = 0; i < f.pending.size(); ++i) {
        Fault& fault = f.pending[i];
        if (fault.step == step && --fault.remaining <= 0 && due < 0)
            due = i;
    }
    if (due < 0)
        return OutputFileError::None;
    const OutputFileError e = f.pending[due].error;
    f.pending.removeAt(due);
    ++f.fired;
    return e;
}

} // namespace

void inject(Step step, int nth, OutputFileError error)
{
    Faults& f = faults();
    const std::lock_guard guard(f.lock);
    f.pending.append({step, std::max(1, nth), error});
}

void clear()
{
    readEnvironmentOnce(); // a fault from the environment must not outlive a clear() that ran first
    Faults& f = faults();
    const std::lock_guard guard(f.lock);
    f.pending.clear();
    f.fired = 0;
}

int fired()
{
    Faults& f = faults();
    const std::lock_guard guard(f.lock);
    return f.fired;
}

} // namespace output_file_faults

namespace {

using Step = output_file_faults::Step;

// The system's call, unless the seam fails it first.
template <typename Call>
platform::Status step(Step s, Call&& call)
{
    if (const OutputFileError injected = output_file_faults::take(s); injected != OutputFileError::None)
        return {injected, {}};
    return call();
}

// Pieces are gathered up to this size before they go to the system: a streaming writer's small pieces
// cost one system call per block, not one each.
constexpr qsizetype kBlock = 64 * 1024;

} // namespace

// ---- messages ------------------------------------------------------------------------------------

QString outputFileReason(const OutputFileResult& r)
{
    using E = OutputFileError;
    switch (r.error) {
    case E::None: return {};
    case E::NoSpace: return QStringLiteral("нет места на диске");
    case E::NoPermission: return QStringLiteral("нет прав на запись");
    case E::ReadOnly: return QStringLiteral("диск доступен только для чтения");
    case E::NoFolder: return QStringLiteral("нет такой папки");
    case E::NotRegular: return QStringLiteral("это не обычный файл");
    case E::Exists: return QStringLiteral("файл с таким именем уже есть");
    case E::NameTooLong: return QStringLiteral("слишком длинное имя");
    case E::Changed: return QStringLiteral("файл изменился во время сохранения");
    case E::Io: return QStringLiteral("ошибка ввода-вывода");
    case E::Other: break;
    }
    return r.systemText.isEmpty() ? QStringLiteral("ошибка записи") : r.systemText;
}

QString outputFileReasonEn(const OutputFileResult& r)
{
    using E = OutputFileError;
    switch (r.error) {
    case E::None: return {};
    case E::NoSpace: return QStringLiteral("no space left on device");
    case E::NoPermission: return QStringLiteral("permission denied");
    case E::ReadOnly: return QStringLiteral("read-only file system");
    case E::NoFolder: return QStringLiteral("no such folder");
    case E::NotRegular: return QStringLiteral("not a regular file");
    case E::Exists: return QStringLiteral("a file of that name already exists");
    case E::NameTooLong: return QStringLiteral("name too long");
    case E::Changed: return QStringLiteral("the file changed while it was being saved");
    case E::Io: return QStringLiteral("input/output error");
    case E::Other: break;
    }
    return r.systemText.isEmpty() ? QStringLiteral("write error") : r.systemText;
}

QString outputFileMessage(const OutputFileResult& r)
{
    return r.ok() ? QString() : QStringLiteral("Не удалось сохранить %1: %2").arg(r.path, outputFileReason(r));
}

QString outputFileMessageEn(const OutputFileResult& r)
{
    return r.ok() ? QString() : QStringLiteral("cannot save %1: %2").arg(r.path, outputFileReasonEn(r));
}

// ---- the door ------------------------------------------------------------------------------------

struct OutputFile::Impl {
    QString path;
    OutputFileMode mode;
    platform::Target target;
    platform::Handle handle = platform::kNoHandle;
    QString temporary;
    QByteArray gathered;
    qint64 gatheredAt = 0; // file position of the first gathered byte
    bool opened = false;
    bool done = false;     // committed or cancelled
    OutputFileResult result;

    bool fail(const platform::Status& s)
    {
        if (result.ok()) {
            result.error = s.error;
            result.systemText = s.systemText;
        }
        return false;
    }

    bool flushGathered()
    {
        if (gathered.isEmpty())
            return result.ok();
        const platform::Status s = step(Step::Write, [&] {
            return platform::writeAll(handle, gathered.constData(), gathered.size());
        });
        gatheredAt += gathered.size();
        gathered.clear();
        return s.ok() || fail(s);
    }

    void discard()
    {
        if (handle != platform::kNoHandle)
            platform::close(handle);
        if (!temporary.isEmpty())
            platform::remove(temporary);
        temporary.clear();
        gathered.clear();
        done = true;
    }
};

OutputFile::OutputFile(const QString& path, OutputFileMode mode) : d(std::make_unique<Impl>())
{
    d->path = path;
    d->mode = mode;
    d->result.path = path;
}

OutputFile::~OutputFile()
{
    if (!d->done)
        d->discard();
}

bool OutputFile::open()
{
    if (d->opened || d->done)
        return false;
    d->opened = true;
    if (d->path.isEmpty())
        return d->fail({OutputFileError::NoFolder, {}});
    if (const platform::Status s = platform::inspect(d->path, d->mode, d->target); !s.ok())
        return d->fail(s);
    const platform::Status s = step(Step::Create, [&] {
        return platform::createTemporary(d->target, d->handle, d->temporary);
    });
    if (!s.ok()) {
        d->discard();
        return d->fail(s);
    }
    return true;
}

bool OutputFile::isOpen() const
{
    return d->opened && !d->done && d->handle != platform::kNoHandle;
}

bool OutputFile::write(QByteArrayView bytes)
{
    if (!isOpen() || failed())
        return false;
    if (bytes.isEmpty())
        return true;
    if (d->gathered.size() + bytes.size() > kBlock && !d->flushGathered())
        return false;
    if (bytes.size() >= kBlock) {
        // Large pieces go straight through, without a copy.
        const platform::Status s = step(Step::Write, [&] {
            return platform::writeAll(d->handle, bytes.data(), bytes.size());
        });
        d->gatheredAt += bytes.size();
        return s.ok() || d->fail(s);
    }
    if (d->gathered.capacity() < kBlock)
        d->gathered.reserve(kBlock);
    d->gathered.append(bytes.data(), bytes.size());
    return true;
}

bool OutputFile::seek(qint64 position)
{
    if (!isOpen() || failed() || position < 0)
        return false;
    if (!d->flushGathered())
        return false;
    if (const platform::Status s = platform::seek(d->handle, position); !s.ok())
        return d->fail(s);
    d->gatheredAt = position;
    return true;
}

qint64 OutputFile::pos() const
{
    return d->gatheredAt + d->gathered.size();
}

OutputFileResult OutputFile::commit()
{
    if (d->done) {
        OutputFileResult r = d->result;
        if (r.ok())
            r.error = OutputFileError::Other; // committed twice, or after cancel()
        return r;
    }
    if (!isOpen() && d->result.ok())
        d->fail({OutputFileError::Other, QStringLiteral("not open")});
    if (failed()) {
        d->discard();
        return d->result;
    }
    bool ok = d->flushGathered();
    if (ok) {
        const platform::Status s = step(Step::Sync, [&] { return platform::sync(d->handle); });
        ok = s.ok() || d->fail(s);
    }
    if (ok) {
        // Some file systems report a failed write only when the file is closed.
        const platform::Status s = platform::close(d->handle);
        ok = s.ok() || d->fail(s);
    }
    if (ok) {
        const platform::Status s = step(Step::Rename, [&] {
            return platform::rename(d->temporary, d->target.path, d->mode);
        });
        ok = s.ok() || d->fail(s);
    }
    if (!ok) {
        d->discard();
        return d->result;
    }
    d->temporary.clear(); // it is the target now
    d->done = true;
    const platform::Status s = step(Step::FolderSync, [&] { return platform::syncFolder(d->target.path); });
    if (!s.ok())
        d->fail(s);
    return d->result;
}

void OutputFile::cancel()
{
    if (!d->done)
        d->discard();
}

bool OutputFile::failed() const
{
    return !d->result.ok();
}

const OutputFileResult& OutputFile::result() const
{
    return d->result;
}

const QString& OutputFile::path() const
{
    return d->path;
}

OutputFileResult saveOutputFile(const QString& path, QByteArrayView bytes, OutputFileMode mode)
{
    OutputFile out(path, mode);
    if (!out.open())
        return out.result();
    out.write(bytes);
    return out.commit();
}

} // namespace rv
