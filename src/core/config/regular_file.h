#pragma once

#include <QString>

class QFile;

namespace rv {

// Opens `path` for reading only when it is a regular file (after following links). A FIFO would block
// the open until a writer comes and a terminal could become the program's controlling terminal, so the
// type is checked before the open, the open itself never blocks, and the type is checked again on the
// opened descriptor in case the path was replaced in between. On success `file` is open, read-only.
bool openRegularFile(QFile& file, const QString& path);

// Whether `path` is a regular file that can be opened for reading.
bool isReadableRegularFile(const QString& path);

} // namespace rv
