#include "core/config/regular_file.h"

#include <QFile>
#include <QFileInfo>

#include <limits>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace rv {

bool openRegularFile(QFile& file, const QString& path, QIODevice::OpenMode extra)
{
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return false;
#ifdef Q_OS_UNIX
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    // O_NONBLOCK changes nothing for a regular file; clear it all the same so reads behave as usual.
    if (const int flags = ::fcntl(fd, F_GETFL); flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    if (!file.open(fd, QIODevice::ReadOnly | extra, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    return true;
#else
    file.setFileName(path);
    return file.open(QIODevice::ReadOnly | extra);
#endif
}

bool isReadableRegularFile(const QString& path)
{
    QFile f;
    return openRegularFile(f, path);
}

InputFileError openInputFile(QFile& file, const QString& path, qint64 maxBytes, QIODevice::OpenMode extra)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists())
        return InputFileError::Missing;
    if (!info.isFile())
        return InputFileError::NotRegular;
    if (!openRegularFile(file, path, extra))
        return InputFileError::Unreadable;
    // The size of the file opened, not of the name looked at before.
    if (file.size() > maxBytes) {
        file.close();
        return InputFileError::TooLarge;
    }
    return InputFileError::None;
}

InputFileBytes readInputFile(const QString& path, qint64 maxBytes)
{
    InputFileBytes r;
    QFile f;
    r.error = openInputFile(f, path, maxBytes);
    if (!r.ok())
        return r;
    r.bytes = f.read(maxBytes < std::numeric_limits<qint64>::max() ? maxBytes + 1 : maxBytes);
    if (f.error() != QFileDevice::NoError)
        r.error = InputFileError::Unreadable;
    else if (r.bytes.size() > maxBytes)
        r.error = InputFileError::TooLarge;
    if (!r.ok())
        r.bytes.clear();
    return r;
}

QString inputFileMessage(const QString& path, InputFileError error, qint64 maxBytes)
{
    switch (error) {
    case InputFileError::None: return {};
    case InputFileError::Missing: return QStringLiteral("Файл %1 не найден").arg(path);
    case InputFileError::NotRegular:
        return QStringLiteral("%1 не является обычным файлом и не может быть открыт").arg(path);
    case InputFileError::TooLarge:
        return QStringLiteral("Файл %1 слишком велик: файл такого типа не больше %2 байт").arg(path).arg(maxBytes);
    case InputFileError::Unreadable: return QStringLiteral("Не удается открыть файл %1").arg(path);
    }
    return {};
}

QString inputFileMessageEn(const QString& path, InputFileError error, qint64 maxBytes)
{
    switch (error) {
    case InputFileError::None: return {};
    case InputFileError::Missing: return QStringLiteral("%1: no such file").arg(path);
    case InputFileError::NotRegular: return QStringLiteral("%1: not a regular file").arg(path);
    case InputFileError::TooLarge:
        return QStringLiteral("%1: too large, a file of this kind has at most %2 bytes").arg(path).arg(maxBytes);
    case InputFileError::Unreadable: return QStringLiteral("%1: cannot be read").arg(path);
    }
    return {};
}

} // namespace rv
