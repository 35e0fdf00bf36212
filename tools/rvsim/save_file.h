#pragma once

#include <QByteArray>
#include <QString>

namespace rvsim {

// Replaces `path` as a whole with `data` (a new file renamed over the old, so a reader never sees it half
// written); the old file stays when any byte cannot be written. False on failure.
bool replaceFile(const QString& path, const QByteArray& data);

} // namespace rvsim
