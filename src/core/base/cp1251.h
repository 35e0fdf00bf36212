#pragma once

// Windows-1251, the encoding of every text the unit stores. One table of our own for 0x80..0xFF (0x00..0x7F
// are ASCII); the unassigned byte 0x98 maps to U+0098 so that every byte decodes and encodes back to itself.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

namespace rv::cp1251 {

QString decode(QByteArrayView bytes);

// The bytes of text, or nothing when a character has no Windows-1251 byte.
std::optional<QByteArray> encode(QStringView text);

// A NUL-terminated text inside a fixed width: at most `width` bytes are read, up to the first NUL.
QString readFixed(QByteArrayView field);

enum class FixedError { None, TooLong, NotEncodable };

// Writes text + NUL at the start of `field` (at most width - 1 bytes of text); bytes after the NUL keep
// theirs. On an error nothing is written.
FixedError writeFixed(QByteArray& record, qsizetype at, qsizetype width, QStringView text);

} // namespace rv::cp1251
