#pragma once

// The unit's diagnostic event codes as Russian text lines, stamped with the PC's time.

#include "core/base/output_file.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QTime>

#include <cstdint>

namespace rv {

// The message of one code (without the time stamp); empty for code 0, which is no entry.
QString logMessage(uint8_t code);
// One log tail: a line "%2d:%02d:%02d - message" for every non-zero code, all with the same time.
QStringList Log_decode(QByteArrayView codes, QTime now);

} // namespace rv

namespace rv {
// The log window's text as a file: Windows-1251, lines separated by CR LF, nothing added at the end.
// Characters without a Windows-1251 byte become '?'. Written whole or not at all (the old file then stays).
OutputFileResult saveLogText(const QString& path, const QString& text);
QByteArray logTextBytes(const QString& text); // the bytes saveLogText writes
// A fetched log file's text (Windows-1251, CR LF or LF line ends) as lines.
QStringList logFileLines(QByteArrayView bytes);
} // namespace rv
