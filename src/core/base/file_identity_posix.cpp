#include "core/base/file_identity.h"

#include <QFile>
#include <QString>

#include <sys/stat.h>

namespace rv {

namespace {
FileIdentity fromStat(const struct stat& st)
{
    FileIdentity id;
    id.device = static_cast<quint64>(st.st_dev);
    id.file = static_cast<quint64>(st.st_ino);
    id.size = static_cast<qint64>(st.st_size);
    id.modifiedNs = static_cast<qint64>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
    return id;
}
} // namespace

FileIdentity fileIdentity(const QFile& file)
{
    struct stat st {};
    const int fd = file.handle();
    if (fd < 0 || ::fstat(fd, &st) != 0)
        return {};
    return fromStat(st);
}

FileIdentity fileIdentity(const QString& path)
{
    struct stat st {};
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    return fromStat(st);
}

} // namespace rv
