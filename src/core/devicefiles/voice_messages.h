#pragma once

// The voice table behind the page "Голосовые  сообщения": for each of the 45 messages the file assigned
// to it (column 1) and its size text (column 2), the memory gauge, and what the buttons do. A type 2 unit
// takes its messages as separate files through the file transfer (area 3); types 3 and 4 take one archive.

#include "core/devicefiles/voice_archive_transfer.h"
#include "core/devicefiles/voice_format.h"

#include <QObject>
#include <QString>

#include <array>
#include <cstdint>

namespace rv {

class FileTransfer;
class SessionController;

class VoiceMessages : public QObject {
    Q_OBJECT
public:
    static constexpr int kRows = voice::kMessages;
    static constexpr uint32_t kDefaultCapacity = 2097152;
    static constexpr int kListingWatchdogTicks = 50;
    static constexpr uint8_t kListingFirmware = 14; // older firmware does not answer the listing

    static inline const QString kUnavailable = QStringLiteral("файл не доступен");
    static inline const QString kNoFiles = QStringLiteral("Нет файлов для записи");
    static inline const QString kCopied = QStringLiteral("Копирование файлов завершено");
    static inline const QString kListed = QStringLiteral("Список построен");
    static inline const QString kListing = QStringLiteral("Постоение списка...");
    static inline const QString kNotSaved = QStringLiteral("Не удалось сохранить");
    static inline const QString kUnsupported = QStringLiteral("Команда не поддерживается");

    VoiceMessages(SessionController& session, FileTransfer& transfer, QObject* parent = nullptr);
    ~VoiceMessages() override;

    // Column 1 and column 2 of a row (0..44).
    QString fileText(int row) const { return valid(row) ? m_rows[row].file : QString(); }
    QString sizeText(int row) const { return valid(row) ? m_rows[row].size : QString(); }
    // The user edits a cell.
    void setFileText(int row, const QString& text);
    void setSizeText(int row, const QString& text);

    // The memory gauge: the sizes of the rows that hold a file, against the unit's room.
    uint64_t usedBytes() const;
    uint32_t gaugeMaximum() const { return m_capacity; }
    int gaugePercent() const;
    QString gaugeText() const { return QString::number(gaugePercent()) + QStringLiteral(" %"); }

    // The file chosen for a row: taken when it is an accepted WAV, the format message otherwise; a
    // file that cannot be opened is ignored.
    void assignFile(int row, const QString& path);

    // Type 2.
    void writeFiles();   // SaveToSD: each assigned file to its name on the unit
    void listFiles();    // List_voice_files: which of the names the unit has
    void clearFiles();   // Clear_voice_table: column 1 of every row emptied
    // Types 3 and 4.
    void openArchive(const QString& path);  // "Открыть"
    void saveArchive(const QString& path);  // "Сохранить в файл"
    bool writeArchive(const QString& path); // SaveToSD

    int currentRow() const { return m_current; }
    VoiceArchiveTransfer& archive() { return m_archive; }

signals:
    void rowChanged(int row);
    void gaugeChanged();
    void message(const QString& text);                 // a message box
    void statusText(int panel, const QString& text);

private:
    struct Row {
        QString file;
        QString size;
    };
    static bool valid(int row) { return row >= 0 && row < kRows; }
    void setRow(int row, const QString& file, const QString& size);
    void setFile(int row, const QString& file);
    bool sendable(int row) const;
    void Write_voice_message();
    void List_voice_message();
    void stopSequences();

    SessionController& m_session;
    FileTransfer& m_transfer;
    VoiceArchiveTransfer m_archive;
    std::array<Row, kRows> m_rows;
    uint32_t m_capacity = kDefaultCapacity;
    int m_current = 0;
    int m_written = 0;
};

} // namespace rv
