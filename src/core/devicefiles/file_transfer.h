#pragma once

// Whole files between the PC and the unit's storage medium: "CONFIGF" requests out, "FLRW" replies in,
// one chunk in flight. Reads land in a temporary file that replaces the local file only when the whole
// announced size has arrived; writes answer every request of the unit with the next chunk.

#include "core/base/output_file.h"
#include "core/protocol/commands.h"

#include <QFile>
#include <QObject>

#include <cstdint>
#include <memory>

namespace rv {

class SessionController;

namespace filecmd {
inline constexpr uint8_t kAreaLog = 1;
inline constexpr uint8_t kAreaVoice = 3;
inline constexpr uint8_t kAreaRoute = 4;
inline constexpr int kChunkMax = 512; // file data bytes in one chunk from the PC

// Voice names are padded with one 0x00 when their length is a multiple of 8; other names never.
Writes openRead(uint8_t area, QByteArrayView name, bool voiceName = false);
Writes openWrite(uint8_t area, uint32_t size, QByteArrayView name, bool voiceName = false);
Writes dataChunk(QByteArrayView data); // 0x03, n, data as one write, padded
Writes nextChunk();
Writes stop();
} // namespace filecmd

// An "FLRW" reply: the code and, for a chunk (3), its data; for a size (6), the size.
struct FileReply {
    uint8_t code = 0;
    uint32_t size = 0;
    QByteArray data;
    bool complete = true; // false: a chunk or size reply cut short
};
FileReply parseFileReply(QByteArrayView burst, qsizetype markerPos);
// Length of a complete "FLRW" chunk (code 3) at the start of `bytes`; kFrameIncomplete while one has
// begun and is not whole yet; 0 when the bytes start with anything else.
qsizetype completeChunkLength(QByteArrayView bytes);

class FileTransfer : public QObject {
    Q_OBJECT
public:
    // No medium holds files this large: an announced size above it is refused before any chunk.
    static constexpr uint32_t kMaxFileSize = 64u << 20;

    explicit FileTransfer(SessionController& session, QObject* parent = nullptr);
    ~FileTransfer() override;

    // The log of a day ("yyyy-mm-dd"): "Задайте дату!" when empty.
    void Read_log_fileClick(const QString& dateText);
    void startRouteRead();
    // The route file must already be saved locally; "Ошибка чтения временного файла" when it cannot be read.
    bool startRouteWrite(const QString& localPath);

    // For the voice files: a write whose open request the caller sends, and the existence check.
    bool beginWrite(const QString& localPath, uint8_t state, const QString& label);
    void beginExistenceCheck();

    bool active() const { return m_mode != Mode::None; }
    uint32_t announcedSize() const { return m_announced; }
    uint32_t bytesDone() const { return m_done; }
    static QString logFilePath();
    static QString routeFilePath();

signals:
    void message(const QString& text);          // a message box of its own (not the progress window's)
    void logReadStarted(const QString& dateText); // the log window is cleared and retitled
    void logFileRead(const QString& path);       // "Log_file.log" is complete: show it
    void routeFileRead(const QString& path);
    void routeFileWritten();
    void voiceFileWritten();                     // code 9 while writing voice files
    void voiceWriteFailed();                     // code 5 while writing voice files
    void voiceFilePresent(bool present);         // existence check: code 6 or 7

private:
    enum class Mode { None, Read, Write, Check };
    void onReply(QByteArrayView burst, qsizetype markerPos);
    void handle(const FileReply& r);
    void onChunk(const FileReply& r);
    void onSize(uint32_t size);
    void onNextWanted();
    void onWritten();
    void startRead(uint8_t state, const QString& label, int maximum);
    void finish(const QString& text, bool sendStop = false);
    void abandon();
    void claimChunks(bool on);
    int send(const Writes& writes);

    SessionController& m_session;
    Mode m_mode = Mode::None;
    std::unique_ptr<OutputFile> m_temp; // read direction
    QFile m_local;                     // write direction
    QString m_logDate;
    uint32_t m_announced = 0;
    uint32_t m_done = 0;
};

} // namespace rv
