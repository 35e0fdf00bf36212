#include "core/base/output_file_platform.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace rv::output_file_platform {

namespace {

Status fromErrno(int e)
{
    switch (e) {
    case 0: return {};
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
        return {OutputFileError::NoSpace, {}};
    case EACCES:
    case EPERM: return {OutputFileError::NoPermission, {}};
    case EROFS: return {OutputFileError::ReadOnly, {}};
    case ENOENT:
    case ENOTDIR: return {OutputFileError::NoFolder, {}};
    case EISDIR: return {OutputFileError::NotRegular, {}};
    case EEXIST:
    case ENOTEMPTY: return {OutputFileError::Exists, {}};
    case ENAMETOOLONG: return {OutputFileError::NameTooLong, {}};
    case EIO: return {OutputFileError::Io, {}};
    default: break;
    }
    return {OutputFileError::Other, QString::fromLocal8Bit(std::strerror(e))};
}

QByteArray native(const QString& path)
{
    return QFile::encodeName(path);
}

QString folderOf(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    if (slash < 0)
        return QStringLiteral(".");
    return slash == 0 ? QStringLiteral("/") : path.left(slash);
}

QString nameOf(const QString& path)
{
    return path.mid(path.lastIndexOf(u'/') + 1);
}

} // namespace

Status inspect(const QString& path, OutputFileMode mode, Target& target)
{
    target = {};
    target.path = path;
    struct stat st {};
    if (::lstat(native(path).constData(), &st) != 0) {
        if (errno != ENOENT)
            return fromErrno(errno);
        // Nothing there: the folder must be.
        struct stat dir {};
        if (::stat(native(folderOf(path)).constData(), &dir) != 0)
            return fromErrno(errno);
        if (!S_ISDIR(dir.st_mode))
            return {OutputFileError::NoFolder, {}};
        return {};
    }
    if (mode == OutputFileMode::NewOnly)
        return {OutputFileError::Exists, {}};
    if (S_ISLNK(st.st_mode)) {
        // The file a link names is the one replaced, as users who keep a link there mean. A link that
        // names nothing is itself replaced: nothing is created through it.
        const QString resolved = QFileInfo(path).canonicalFilePath();
        if (!resolved.isEmpty()) {
            if (::stat(native(resolved).constData(), &st) != 0)
                return fromErrno(errno);
            target.path = resolved;
        } else {
            return {};
        }
    }
    if (!S_ISREG(st.st_mode))
        return {OutputFileError::NotRegular, {}};
    // A write-protected file is not replaced behind its owner's back, though the folder would allow it.
    if (::access(native(target.path).constData(), W_OK) != 0)
        return fromErrno(errno);
    target.exists = true;
    target.permissions = st.st_mode & 07777;
    return {};
}

Status createTemporary(const Target& target, Handle& handle, QString& temporaryPath)
{
    handle = kNoHandle;
    temporaryPath.clear();
    // Hidden, beside the target (the rename must not cross file systems), and short enough for any name.
    QString base = nameOf(target.path);
    constexpr qsizetype kRoomForName = 200;
    if (native(base).size() > kRoomForName)
        base = base.left(kRoomForName / 4);
    const QString folder = folderOf(target.path);
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        QString suffix;
        for (int i = 0; i < 6; ++i)
            suffix += QLatin1Char(kLetters[QRandomGenerator::global()->bounded(int(sizeof kLetters - 1))]);
        const QString candidate = folder + QStringLiteral("/.") + base + u'.' + suffix;
        // 0666 through the umask: a new file gets the permissions any new file of the user gets.
        const int fd = ::open(native(candidate).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd < 0) {
            if (errno == EEXIST || errno == EINTR)
                continue;
            return fromErrno(errno);
        }
        if (target.exists && ::fchmod(fd, static_cast<mode_t>(target.permissions)) != 0) {
            const int e = errno;
            ::close(fd);
            ::unlink(native(candidate).constData());
            return fromErrno(e);
        }
        handle = fd;
        temporaryPath = candidate;
        return {};
    }
    return {OutputFileError::Other, QStringLiteral("no free temporary name")};
}

Status writeAll(Handle handle, const char* data, qint64 size)
{
    const int fd = static_cast<int>(handle);
    while (size > 0) {
        const ssize_t n = ::write(fd, data, static_cast<size_t>(std::min<qint64>(size, 1 << 30)));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return fromErrno(errno);
        }
        if (n == 0)
            return {OutputFileError::NoSpace, {}}; // nothing taken and no error: the disk takes no more
        data += n;
        size -= n;
    }
    return {};
}

Status seek(Handle handle, qint64 position)
{
    if (::lseek(static_cast<int>(handle), static_cast<off_t>(position), SEEK_SET) < 0)
        return fromErrno(errno);
    return {};
}

Status sync(Handle handle)
{
    while (::fsync(static_cast<int>(handle)) != 0) {
        if (errno != EINTR)
            return fromErrno(errno);
    }
    return {};
}

Status close(Handle& handle)
{
    if (handle == kNoHandle)
        return {};
    const int fd = static_cast<int>(handle);
    handle = kNoHandle;
    // Not repeated on EINTR: the descriptor is gone whatever close() says.
    if (::close(fd) != 0 && errno != EINTR)
        return fromErrno(errno);
    return {};
}

Status rename(const QString& from, const QString& to, OutputFileMode mode)
{
    const QByteArray src = native(from);
    const QByteArray dst = native(to);
    if (mode == OutputFileMode::Replace) {
        if (::rename(src.constData(), dst.constData()) != 0)
            return fromErrno(errno);
        return {};
    }
    // Never over anything that is there (a file, a dangling link ...).
    if (::renameat2(AT_FDCWD, src.constData(), AT_FDCWD, dst.constData(), RENAME_NOREPLACE) == 0)
        return {};
    if (errno != EINVAL && errno != ENOSYS)
        return fromErrno(errno);
    // A file system without that rename: a hard link is likewise made only where nothing is.
    if (::link(src.constData(), dst.constData()) != 0)
        return fromErrno(errno);
    ::unlink(src.constData());
    return {};
}

Status syncFolder(const QString& path)
{
    const int fd = ::open(native(folderOf(path)).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return fromErrno(errno);
    int e = 0;
    while (::fsync(fd) != 0) {
        if (errno != EINTR) {
            e = errno;
            break;
        }
    }
    ::close(fd);
    // Some file systems cannot sync a folder at all; that is no failure of the save.
    if (e == EINVAL || e == EROFS || e == ENOTSUP || e == EBADF)
        e = 0;
    return fromErrno(e);
}

void remove(const QString& path)
{
    ::unlink(native(path).constData());
}

} // namespace rv::output_file_platform
