#pragma once

// Which file a name held when it was looked at: enough to tell later whether the name still holds the
// same file, unchanged (a file replaced under the same name, or rewritten in place, is another file).

#include <QtGlobal>

class QFile;
class QString;

namespace rv {

struct FileIdentity {
    quint64 device = 0;
    quint64 file = 0;       // the file's number on its device
    qint64 size = -1;       // -1: no file
    qint64 modifiedNs = 0;  // last modification
    bool valid() const { return size >= 0; }
    bool operator==(const FileIdentity&) const = default;
};

// The file open in `file` (the descriptor it holds, not whatever its name holds now); invalid when unknown.
FileIdentity fileIdentity(const QFile& file);
// The file at `path` now, a link followed; invalid when there is none.
FileIdentity fileIdentity(const QString& path);

} // namespace rv
