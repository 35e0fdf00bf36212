// The input-file door: what every read of a user's file goes through. The platform's part, opening a path
// only when it is a regular file, is in input_file_posix.cpp and input_file_win32.cpp.

#include "core/base/input_file.h"

#include <QFile>
#include <QFileInfo>

#include <limits>

namespace rv {

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
