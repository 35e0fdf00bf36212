#include "core/base/input_file.h"

#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace rv {

bool openRegularFile(QFile& file, const QString& path, QIODevice::OpenMode extra)
{
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return false;
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
}

} // namespace rv
