// The diagnostic log: a fetched log file of any bytes (Windows-1251, CR LF or LF) read into lines and saved
// again, any text saved, and any event codes decoded. Saving what was read and reading it again gives the
// same lines, byte for byte in Windows-1251; a saved file has only CR LF line ends.
// Input: the file's bytes; they are also read as UTF-16 text for the save, and as event codes.

#include "core/monitor/log_decoder.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

using namespace rv;

namespace {

void require(bool holds)
{
    if (!holds)
        std::abort();
}

void requireCrBeforeEveryLf(const QByteArray& saved)
{
    for (qsizetype i = saved.indexOf('\n'); i >= 0; i = saved.indexOf('\n', i + 1))
        require(i > 0 && saved[i - 1] == '\r');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));

    const QStringList lines = logFileLines(bytes);
    // Only line ends may read differently: a CR just before one reads as part of it, and an empty last line
    // is saved as the line end of the one before.
    bool lineEndsOnly = !lines.isEmpty() && lines.last().isEmpty();
    for (const QString& line : lines) {
        require(!line.contains(u'\n'));
        lineEndsOnly = lineEndsOnly || line.endsWith(u'\r');
    }
    const QByteArray saved = logTextBytes(lines.join(u'\n'));
    requireCrBeforeEveryLf(saved);
    require(!saved.endsWith("\r\n") || lineEndsOnly); // nothing added at the end
    require(saved.count('?') == bytes.count('?'));      // every character read has its Windows-1251 byte
    if (!lineEndsOnly)
        require(logFileLines(saved) == lines);

    // Any text: one byte per character, two for a line end, '?' for what Windows-1251 cannot hold.
    QString text(qsizetype(size / 2), Qt::Uninitialized);
    std::memcpy(text.data(), data, size / 2 * 2);
    const QByteArray any = logTextBytes(text);
    requireCrBeforeEveryLf(any);
    QString lf = text;
    lf.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    require(any.size() == lf.size() + lf.count(u'\n'));

    const QByteArrayView codes = bytes.first(std::min<qsizetype>(bytes.size(), 64)); // a log tail is short
    const QStringList events = Log_decode(codes, QTime(23, 59, 59));
    require(events.size() == codes.size() - codes.count('\0'));
    for (const QString& e : events)
        require(e.startsWith(QStringLiteral("23:59:59 - ")) && e.size() > 11);
    return 0;
}
