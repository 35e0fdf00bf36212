#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>

class QFile;

namespace rv {

// Opens `path` for reading only when it is a regular file (after following links). A FIFO would block
// the open until a writer comes and a terminal could become the program's controlling terminal, so the
// type is checked before the open, the open itself never blocks, and the type is checked again on the
// opened descriptor in case the path was replaced in between. On success `file` is open, read-only
// (`extra` may add Unbuffered).
bool openRegularFile(QFile& file, const QString& path, QIODevice::OpenMode extra = {});

// Whether `path` is a regular file that can be opened for reading.
bool isReadableRegularFile(const QString& path);

// ---- input files: every file the program reads is opened here ----

enum class InputFileError : uint8_t {
    None,
    Missing,    // no such file
    NotRegular, // a folder, a FIFO, a device ...
    TooLarge,   // larger than a file of its format can be
    Unreadable, // no permission, or a read error
};

// Not a file of the kind asked for at all (as against one that is missing or cannot be read).
inline bool refusedInputFile(InputFileError e)
{
    return e == InputFileError::NotRegular || e == InputFileError::TooLarge;
}

// Opens `path` for reading when it is a regular file of at most `maxBytes`; `file` is open only on None.
InputFileError openInputFile(QFile& file, const QString& path, qint64 maxBytes, QIODevice::OpenMode extra = {});

struct InputFileBytes {
    InputFileError error = InputFileError::None;
    QByteArray bytes; // the whole file, on None
    bool ok() const { return error == InputFileError::None; }
};
// The whole of a regular file of at most `maxBytes` (never more is read, even from a file that grows).
InputFileBytes readInputFile(const QString& path, qint64 maxBytes);

// What went wrong, for the user: Russian for the window, English for rvctl. Empty for None.
QString inputFileMessage(const QString& path, InputFileError error, qint64 maxBytes);
QString inputFileMessageEn(const QString& path, InputFileError error, qint64 maxBytes);

} // namespace rv
