#include "core/base/file_identity.h"

#include <QFile>
#include <QFileInfo>
#include <QString>

// Without a file number from the system here, a file is told by its size and its times. A file replaced
// under the same name or rewritten since has another modification (or creation) time.

namespace rv {

namespace {
FileIdentity fromInfo(const QFileInfo& info)
{
    if (!info.exists())
        return {};
    FileIdentity id;
    id.size = info.size();
    id.modifiedNs = info.lastModified().toMSecsSinceEpoch() * 1'000'000;
    id.file = static_cast<quint64>(info.birthTime().toMSecsSinceEpoch());
    return id;
}
} // namespace

FileIdentity fileIdentity(const QFile& file)
{
    return file.fileName().isEmpty() ? FileIdentity{} : fromInfo(QFileInfo(file.fileName()));
}

FileIdentity fileIdentity(const QString& path)
{
    return path.isEmpty() ? FileIdentity{} : fromInfo(QFileInfo(path));
}

} // namespace rv
