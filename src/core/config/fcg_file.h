#pragma once

// Configuration files (.fcg): the three records at fixed offsets, zero bytes between them, 1126 bytes in
// all, no header. Opening takes a file of exactly that size and nothing else; saving is atomic.

#include "core/base/output_file.h"
#include "core/config/records.h"

#include <QString>

namespace rv {

inline constexpr qsizetype kFcgSize = 1126;
inline constexpr qsizetype kFcgConfigOffset = 0;
inline constexpr qsizetype kFcgInpOutOffset = 550;
inline constexpr qsizetype kFcgConfSeOffset = 1100;

enum class FcgStatus : uint8_t {
    Ok,
    OpenFailed,  // missing, unreadable, not a regular file, or a read error
    Empty,       // the file holds no byte of any record
    SaveFailed,
    WrongSize,   // not 1126 bytes: not a configuration file, nothing of it is applied
};

struct FcgOpenResult
{
    FcgStatus status = FcgStatus::Ok;
    qsizetype fileSize = 0;
    // Bytes replaced in each record; less than the record's size when applied bytes end early.
    qsizetype configBytes = 0;
    qsizetype inpOutBytes = 0;
    qsizetype confSeBytes = 0;
    bool ok() const { return status == FcgStatus::Ok; }
};

// The status bar text of a failure: "Не удалось открыть" / "Не удалось сохранить"; empty for Ok.
QString fcgStatusMessage(FcgStatus s);
// The text of a failed open, naming the file's size when that was the reason.
QString fcgOpenMessage(const FcgOpenResult& r);

// The 1126 file bytes of a record set.
QByteArray fcgBytes(const ConfigRecords& records);

// Applies file bytes to the records: up to 512 bytes at 0, 513 at 550 and 26 at 1100; whatever lies beyond
// the end of the file keeps its value, bytes past 1126 are ignored.
FcgOpenResult applyFcgBytes(ConfigRecords& records, QByteArrayView file);

// The one rule for every caller (the window, the start-up load, the comparison, rvctl): a file of any size
// but 1126 bytes is refused (WrongSize, with its size) and changes no record. A text file or an older file
// without the extended record would otherwise leave the records half replaced, and the next write would send
// that to a unit. The whole file is read first, so a failed read changes no record either.
FcgOpenResult openFcg(const QString& path, ConfigRecords& records);
// The same rule for bytes already read from an open file: `head` is its first bytes (at most 1127 of
// them), `fileSize` its size.
FcgOpenResult fcgFromFile(ConfigRecords& records, QByteArrayView head, qint64 fileSize);

// Saves through the output-file door: a failure leaves any existing file as it was, and `result` (when
// given) names the file and the reason.
FcgStatus saveFcg(const QString& path, const ConfigRecords& records, OutputFileResult* result = nullptr);

// Puts the three records into an existing file of at least 1126 bytes and keeps every other byte of it:
// what lies between the records and whatever follows them. Through the output-file door, like saveFcg;
// a file that is missing, not a regular file or shorter than 1126 bytes is left alone (SaveFailed, with
// the error Changed: the caller opened it whole before).
FcgStatus rewriteFcgRecords(const QString& path, const ConfigRecords& records, OutputFileResult* result = nullptr);

} // namespace rv
