#pragma once

// The system calls behind OutputFile, one implementation per platform (output_file_posix.cpp, ...).
// Only output_file.cpp uses them.

#include "core/base/output_file.h"

#include <cstdint>

namespace rv::output_file_platform {

using Handle = std::intptr_t; // a descriptor or a HANDLE
inline constexpr Handle kNoHandle = -1;

struct Status {
    OutputFileError error = OutputFileError::None;
    QString systemText;
    bool ok() const { return error == OutputFileError::None; }
};

// What is at the name now, for `mode`: the path to rename over (Replace follows a link to the file it
// names) and the permissions the new file takes over. Refuses what may not be replaced.
struct Target {
    QString path;
    bool exists = false;
    uint32_t permissions = 0; // valid when `exists`
};
Status inspect(const QString& path, OutputFileMode mode, Target& target);

// A new, empty file in the target's folder under a hidden name of its own, created exclusively; it takes
// the old file's permissions (a new file: the usual ones for the user).
Status createTemporary(const Target& target, Handle& handle, QString& temporaryPath);
// Writes all of `size` bytes (partial writes are continued, interrupted ones repeated).
Status writeAll(Handle handle, const char* data, qint64 size);
Status seek(Handle handle, qint64 position);
// The file's data on the disk.
Status sync(Handle handle);
Status close(Handle& handle);
// Renames `from` over `to`; NewOnly never replaces anything at `to`.
Status rename(const QString& from, const QString& to, OutputFileMode mode);
// The folder holding `path` on the disk (the rename itself).
Status syncFolder(const QString& path);
void remove(const QString& path);

} // namespace rv::output_file_platform
