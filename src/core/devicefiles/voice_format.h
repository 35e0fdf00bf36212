#pragma once

// The 45 voice messages of a unit, the WAV files it can play, and the voice archive (.vfa) that carries
// them all to units that keep their messages in one archive.
//
// Archive layout (what the units read, kept exactly): 45 entries of 8 bytes at offset 0 (offset counted
// from byte 512, size; size 0 = no message), 152 reserved zero bytes, then the WAV data from byte 512. An
// entry's size is the file's RIFF chunk size, i.e. 8 less than the file, and each file is written at the
// position where the one before it ends by that size: the next file starts over the last 8 bytes of the
// one before, and the archive ends with the complete last file.

#include "core/base/output_file.h"

#include "core/base/input_file.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <optional>

namespace rv::voice {

inline constexpr int kMessages = 45;

struct Message {
    QString caption;    // column 0 of the voice table
    QByteArray fileName; // its name on the unit's medium
};
const std::array<Message, kMessages>& messages();

// ---- WAV files ----

inline constexpr qsizetype kWavHeaderSize = 44; // RIFF, WAVE, the 16-byte "fmt " chunk, the data chunk header
inline constexpr uint32_t kMinRate = 11000;
inline constexpr uint32_t kMaxRate = 12000;
// No voice message comes near this; a larger "WAV" is not one of them.
inline constexpr qint64 kMaxWavSize = 16 << 20;

enum class WavProblem { None, Short, NotRiff, SizeMismatch, NotPcm, NotMono, NotEightBit, Rate };
struct WavCheck {
    WavProblem problem = WavProblem::Short;
    uint32_t riffSize = 0; // the value at offset 4: the file length − 8 when accepted
    bool ok() const { return problem == WavProblem::None; }
};
// `head` holds the first bytes of a file of `fileLength` bytes (at least kWavHeaderSize of them for a
// verdict). Accepted: "RIFF" and "WAVE" with a "fmt " chunk at 12, PCM samples (format 1: μ-law and the
// like play as noise on the unit), one channel, 8 bits per sample, a
// sample rate of 11000..12000 Hz, and a RIFF size that is exactly the file length − 8.
WavCheck checkWav(QByteArrayView head, qint64 fileLength);
// Reads the header of a file; nullopt when it cannot be opened (`error`, when given, says why: it may be
// no regular file or larger than any voice message).
std::optional<WavCheck> checkWavFile(const QString& path, InputFileError* error = nullptr);

inline const QString kWrongFormat =
    QStringLiteral("Не правильный формат файла\nВыберите файл с параметрами\n(12(11,025) кГц, 8 бит, моно)");

// ---- the archive ----

inline constexpr qsizetype kArchiveHeaderSize = 512;
inline constexpr qsizetype kEntriesSize = kMessages * 8; // 360; the reserved rest of the header is zero
inline constexpr char kArchiveName[] = "RV_voice_files.vfa";
// The header and 45 messages of the largest size: no archive is larger.
inline constexpr qint64 kMaxArchiveSize = kArchiveHeaderSize + kMessages * kMaxWavSize;

struct Entry {
    uint32_t offset = 0; // from byte 512 of the file
    uint32_t size = 0;   // RIFF chunk size; 0 = no message
    friend bool operator==(const Entry&, const Entry&) = default;
};
using Entries = std::array<Entry, kMessages>;

// Where each file goes: `riffSizes[r]` 0 for a row without a file. Returns the entries and the length of
// the data area (the last file complete).
struct Layout {
    Entries entries{};
    uint64_t payloadSize = 0;
};
Layout layoutArchive(const std::array<uint32_t, kMessages>& riffSizes);
QByteArray headerBytes(const Entries& entries);

enum class ArchiveProblem { None, Short, OutOfFile, TooLarge };
struct ArchiveHeader {
    ArchiveProblem problem = ArchiveProblem::Short;
    Entries entries{};
    uint32_t payloadSize = 0; // the file length − 512
    bool ok() const { return problem == ArchiveProblem::None; }
};
// The first bytes of an archive file of `fileLength` bytes. Refused: a file shorter than its header, one
// whose data area does not fit 32 bits, and one with an entry whose file (size + 8 bytes) lies outside
// the data area.
ArchiveHeader parseArchiveHeader(QByteArrayView head, qint64 fileLength);

// An archive built in memory from the rows' WAV files (an empty array: no file). Files that are not
// accepted WAVs are left out like missing ones.
QByteArray buildArchive(const std::array<QByteArray, kMessages>& files);

// Write_voice_file_archive: the archive of the rows' local files, written whole or not at all.
enum class SaveStatus { Saved, NoFiles, CannotCreate, ReadFailed };
struct SaveResult {
    SaveStatus status = SaveStatus::NoFiles;
    QList<int> stored;  // rows whose file is in the archive
    QList<int> skipped; // rows with a text that is no readable, accepted WAV file
    OutputFileResult file; // CannotCreate: why the archive file could not be saved
};
SaveResult Write_voice_file_archive(const QString& archivePath, const QStringList& rowFiles);

// Read_voice_file_archive: the header of an archive file.
enum class OpenStatus { Opened, CannotOpen, Damaged };
struct OpenResult {
    OpenStatus status = OpenStatus::CannotOpen;
    InputFileError fileError = InputFileError::None; // why, for CannotOpen
    ArchiveHeader header;
};
OpenResult Read_voice_file_archive(const QString& archivePath);

} // namespace rv::voice
