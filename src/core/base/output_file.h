#pragma once

// Every file the program saves goes through this one door. The bytes go to a new file beside the target;
// every write is checked, the data are flushed and synced to the disk, the new file is renamed over the
// target and the folder is synced. Until that rename the target is never touched, so a save that fails
// (a full disk, an I/O error, no permission) leaves the old file exactly as it was, and the caller gets
// the file's name and the reason. The same header serves every platform; the system calls live in
// output_file_<platform>.cpp.

#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <memory>

namespace rv {

enum class OutputFileError : uint8_t {
    None,
    NoSpace,      // the disk (or the user's quota) is full
    NoPermission, // no right to write into the folder, or the file is write-protected
    ReadOnly,     // a read-only file system
    NoFolder,     // the folder does not exist
    NotRegular,   // the name is taken by a folder, a FIFO, a device ...
    Exists,       // OutputFileMode::NewOnly and the name is taken (by anything, a link included)
    NameTooLong,
    Changed,      // what the save was based on changed or went away while it ran
    Io,           // the device reported an input/output error
    Other,        // anything else: systemText holds the system's words
};

struct OutputFileResult {
    OutputFileError error = OutputFileError::None;
    QString path;       // the file that was to be saved
    QString systemText; // the system's own description, for Other (may be empty)
    bool ok() const { return error == OutputFileError::None; }
};

// For the user: "Не удалось сохранить <path>: нет места на диске"; empty on success.
QString outputFileMessage(const OutputFileResult& r);
// The same for rvctl: "cannot save <path>: no space left on device".
QString outputFileMessageEn(const OutputFileResult& r);
// The reason alone: "нет места на диске" / "no space left on device".
QString outputFileReason(const OutputFileResult& r);
QString outputFileReasonEn(const OutputFileResult& r);

enum class OutputFileMode : uint8_t {
    // An existing regular file is replaced as a whole (keeping its permission bits); a link at the name is
    // followed to the file it names. A folder, FIFO or device at the name is refused (NotRegular).
    Replace,
    // The name must be free: nothing that exists is ever replaced, and a link placed at the name in advance
    // (dangling or not) is never written through (Exists).
    NewOnly,
};

// A save in progress. Write in as many pieces as the format needs (the pieces are gathered in memory and
// written in large blocks), then commit(). Without a successful commit() the target is never touched:
// the destructor and cancel() remove the temporary file.
//
//     OutputFile out(path);
//     if (!out.open()) return out.result();
//     for (...) out.write(piece);   // a failed write is remembered; later writes do nothing
//     return out.commit();          // the first failure, or success
class OutputFile {
public:
    explicit OutputFile(const QString& path, OutputFileMode mode = OutputFileMode::Replace);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Checks the target and creates the temporary file beside it. False (result() says why) on failure.
    bool open();
    bool isOpen() const;
    // Appends `bytes` at the write position; false once anything has failed.
    bool write(QByteArrayView bytes);
    // Moves the write position (a format whose table of contents is written last). False on failure.
    bool seek(qint64 position);
    qint64 pos() const;
    // Writes what is gathered, syncs, renames over the target and syncs the folder. Returns the outcome of
    // the whole save: the first failure, or success. A failure of the folder's sync, the very last step, is
    // reported too, though the new file is then already in place (it may not survive a power cut).
    OutputFileResult commit();
    // Gives the save up: the temporary file goes, the target stays as it was.
    void cancel();

    bool failed() const;
    // The first failure so far (error None while all is well).
    const OutputFileResult& result() const;
    const QString& path() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// The whole of `bytes` as the file `path`, through an OutputFile.
OutputFileResult saveOutputFile(const QString& path, QByteArrayView bytes,
                                OutputFileMode mode = OutputFileMode::Replace);

// The test seam: a process-wide fault injector. The nth call of a step from now on (1: the very next)
// fails with `error` as if the system had said so; each injected fault fires once. A program started by
// a test takes one fault from its environment, RVCONF_SAVE_FAULT="step:n:error" (step create, write,
// sync, rename or foldersync; error nospace or io), read when the door is first used.
namespace output_file_faults {
enum class Step : uint8_t { Create, Write, Sync, Rename, FolderSync };
void inject(Step step, int nth, OutputFileError error);
void clear();
// How many injected faults have fired since the last clear() (a test sees that its feature used the door).
int fired();
} // namespace output_file_faults

} // namespace rv
