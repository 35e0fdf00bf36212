// The system calls behind OutputFile on Windows: CreateFileW, WriteFile, FlushFileBuffers, and a rename
// that is written through to the disk (MoveFileExW with MOVEFILE_WRITE_THROUGH), which is also how Windows
// makes the folder's new entry durable.

#include "core/base/output_file_platform.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>

#include <windows.h>

namespace rv::output_file_platform {

namespace {

HANDLE handleOf(Handle h)
{
    return reinterpret_cast<HANDLE>(h);
}

std::wstring native(const QString& path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}

QString systemText(DWORD e)
{
    wchar_t* text = nullptr;
    const DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                                         | FORMAT_MESSAGE_IGNORE_INSERTS,
                                     nullptr, e, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    QString out = n ? QString::fromWCharArray(text, n).trimmed() : QStringLiteral("Windows error %1").arg(e);
    ::LocalFree(text);
    return out;
}

Status fromError(DWORD e)
{
    switch (e) {
    case ERROR_SUCCESS: return {};
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
    case 1295: // ERROR_DISK_QUOTA_EXCEEDED, which MinGW's headers lack
        return {OutputFileError::NoSpace, {}};
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_PRIVILEGE_NOT_HELD: return {OutputFileError::NoPermission, {}};
    case ERROR_WRITE_PROTECT: return {OutputFileError::ReadOnly, {}};
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME: return {OutputFileError::NoFolder, {}};
    case ERROR_DIRECTORY: return {OutputFileError::NotRegular, {}};
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return {OutputFileError::Exists, {}};
    case ERROR_FILENAME_EXCED_RANGE: return {OutputFileError::NameTooLong, {}};
    case ERROR_CRC:
    case ERROR_IO_DEVICE:
    case ERROR_GEN_FAILURE:
    case ERROR_NOT_READY:
    case ERROR_DEV_NOT_EXIST: return {OutputFileError::Io, {}};
    default: break;
    }
    return {OutputFileError::Other, systemText(e)};
}

Status lastError()
{
    return fromError(::GetLastError());
}

// Qt's paths use '/' on every platform.
QString folderOf(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    if (slash < 0)
        return QStringLiteral(".");
    return slash == 0 || (slash == 2 && path.at(1) == u':') ? path.left(slash + 1) : path.left(slash);
}

QString nameOf(const QString& path)
{
    return path.mid(path.lastIndexOf(u'/') + 1);
}

// A name that opens as something other than a file on a disk (NUL, CON, COM1, a pipe) is not replaced.
bool isDiskFile(const QString& path)
{
    const HANDLE h = ::CreateFileW(native(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return true; // what cannot be looked at here is left to the save itself to report
    const bool disk = ::GetFileType(h) == FILE_TYPE_DISK;
    ::CloseHandle(h);
    return disk;
}

// The attributes a replacing file takes over (read-only is refused before; archive comes by itself).
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

} // namespace

Status inspect(const QString& given, OutputFileMode mode, Target& target)
{
    // A name from the command line or the shell has backslashes ("C:\Users\...\a.fcg"); the steps below
    // take the folder by '/', as Qt writes paths.
    const QString path = QDir::fromNativeSeparators(given);
    target = {};
    target.path = path;
    DWORD attributes = ::GetFileAttributesW(native(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD e = ::GetLastError();
        if (e != ERROR_FILE_NOT_FOUND)
            return fromError(e);
        // Nothing there: the folder must be.
        const DWORD folder = ::GetFileAttributesW(native(folderOf(path)).c_str());
        if (folder == INVALID_FILE_ATTRIBUTES || !(folder & FILE_ATTRIBUTE_DIRECTORY))
            return {OutputFileError::NoFolder, {}};
        return {};
    }
    if (mode == OutputFileMode::NewOnly)
        return {OutputFileError::Exists, {}};
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        // The file a link names is the one replaced; a link that names nothing is itself replaced.
        const QString resolved = QFileInfo(path).canonicalFilePath();
        if (resolved.isEmpty())
            return {};
        attributes = ::GetFileAttributesW(native(resolved).c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES)
            return lastError();
        target.path = resolved;
    }
    if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) || !isDiskFile(target.path))
        return {OutputFileError::NotRegular, {}};
    // A write-protected file is not replaced behind its owner's back, though the folder would allow it.
    if (attributes & FILE_ATTRIBUTE_READONLY)
        return {OutputFileError::NoPermission, {}};
    target.exists = true;
    target.permissions = attributes & kKeptAttributes;
    return {};
}

Status createTemporary(const Target& target, Handle& handle, QString& temporaryPath)
{
    handle = kNoHandle;
    temporaryPath.clear();
    // Beside the target (a rename does not cross volumes), and short enough for any name.
    QString base = nameOf(target.path);
    constexpr qsizetype kRoomForName = 200;
    if (base.size() > kRoomForName)
        base = base.left(kRoomForName / 4);
    QString folder = folderOf(target.path);
    if (!folder.endsWith(u'/'))
        folder += u'/';
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        QString suffix;
        for (int i = 0; i < 6; ++i)
            suffix += QLatin1Char(kLetters[QRandomGenerator::global()->bounded(int(sizeof kLetters - 1))]);
        const QString candidate = folder + u'.' + base + u'.' + suffix;
        const DWORD attributes = target.exists && target.permissions ? target.permissions : FILE_ATTRIBUTE_NORMAL;
        const HANDLE h = ::CreateFileW(native(candidate).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, attributes,
                                       nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            const DWORD e = ::GetLastError();
            if (e == ERROR_FILE_EXISTS || e == ERROR_ALREADY_EXISTS)
                continue;
            return fromError(e);
        }
        handle = reinterpret_cast<Handle>(h);
        temporaryPath = candidate;
        return {};
    }
    return {OutputFileError::Other, QStringLiteral("no free temporary name")};
}

Status writeAll(Handle handle, const char* data, qint64 size)
{
    while (size > 0) {
        const DWORD chunk = static_cast<DWORD>(std::min<qint64>(size, 1 << 30));
        DWORD written = 0;
        if (!::WriteFile(handleOf(handle), data, chunk, &written, nullptr))
            return lastError();
        if (written == 0)
            return {OutputFileError::NoSpace, {}}; // nothing taken and no error: the disk takes no more
        data += written;
        size -= written;
    }
    return {};
}

Status seek(Handle handle, qint64 position)
{
    LARGE_INTEGER to;
    to.QuadPart = position;
    if (!::SetFilePointerEx(handleOf(handle), to, nullptr, FILE_BEGIN))
        return lastError();
    return {};
}

Status sync(Handle handle)
{
    if (!::FlushFileBuffers(handleOf(handle)))
        return lastError();
    return {};
}

Status close(Handle& handle)
{
    if (handle == kNoHandle)
        return {};
    const HANDLE h = handleOf(handle);
    handle = kNoHandle;
    if (!::CloseHandle(h))
        return lastError();
    return {};
}

Status rename(const QString& from, const QString& to, OutputFileMode mode)
{
    // Without MOVEFILE_REPLACE_EXISTING nothing at `to` is ever replaced (NewOnly).
    DWORD flags = MOVEFILE_WRITE_THROUGH;
    if (mode == OutputFileMode::Replace)
        flags |= MOVEFILE_REPLACE_EXISTING;
    if (!::MoveFileExW(native(from).c_str(), native(to).c_str(), flags))
        return lastError();
    return {};
}

// The rename was written through to the disk (MOVEFILE_WRITE_THROUGH): Windows has no folder sync beyond it.
Status syncFolder(const QString&)
{
    return {};
}

void remove(const QString& path)
{
    ::DeleteFileW(native(path).c_str());
}

} // namespace rv::output_file_platform
