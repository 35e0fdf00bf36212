#include "console_text.h"

#include <io.h>
#include <windows.h>

// A console's code page is rarely Windows-1251 (it is 866 on a Russian Windows): the console gets UTF-16.
void writeText(std::FILE* stream, const QString& text)
{
    const HANDLE h = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream)));
    DWORD mode = 0;
    if (h != INVALID_HANDLE_VALUE && ::GetConsoleMode(h, &mode)) {
        std::fflush(stream);
        const std::wstring w = text.toStdWString();
        DWORD written = 0;
        ::WriteConsoleW(h, w.data(), static_cast<DWORD>(w.size()), &written, nullptr);
        return;
    }
    std::fputs(text.toUtf8().constData(), stream);
}
