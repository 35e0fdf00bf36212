#include "core/base/input_file.h"

#include <QFile>
#include <QFileInfo>

#include <fcntl.h> // the C runtime's _O_RDONLY, _O_BINARY
#include <io.h>
#include <windows.h>

namespace rv {

// The handle is opened first and its type checked on the handle itself: a name that is a device (NUL, CON,
// COM1, also as "NUL.txt" in any folder on older Windows), a pipe or a folder is refused, and a path that is
// replaced between the look and the open cannot slip through.
bool openRegularFile(QFile& file, const QString& path, QIODevice::OpenMode extra)
{
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return false;
    const std::wstring native = QFileInfo(path).absoluteFilePath().replace(u'/', u'\\').toStdWString();
    const HANDLE h = ::CreateFileW(native.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileType(h) != FILE_TYPE_DISK || !::GetFileInformationByHandle(h, &info)
        || (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE))) {
        ::CloseHandle(h);
        return false;
    }
    // QFile takes a C runtime descriptor; from here on the descriptor owns the handle.
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(h), _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        ::CloseHandle(h);
        return false;
    }
    if (!file.open(fd, QIODevice::ReadOnly | extra, QFileDevice::AutoCloseHandle)) {
        ::_close(fd);
        return false;
    }
    return true;
}

} // namespace rv
