#pragma once

// A voice archive file written to a unit that keeps its messages in one archive: "RV+VMS" asks for the
// room the unit has, "RV+VWP" carries the archive's header, "RV+VFS" the size of its data area, and
// "RV+VWF" one chunk of the data area after each "+VFS"/"+VWF" until all of it is out.

#include "core/protocol/commands.h"

#include <QFile>
#include <QObject>

#include <cstdint>

namespace rv {

class SessionController;

namespace voicecmd {
inline constexpr char kCapacity[] = "RV+VMS";
inline constexpr char kHeader[] = "RV+VWP";
inline constexpr char kSize[] = "RV+VFS";
inline constexpr char kChunk[] = "RV+VWF";
Writes capacity();
Writes header(QByteArrayView header512);         // the header and one 0x00
Writes size(uint32_t payloadSize);
// The data zero-filled to the chunk size (UnitProfile::voiceChunkBytes), and one 0x00.
Writes chunk(QByteArrayView data, int chunkSize);
} // namespace voicecmd

class VoiceArchiveTransfer : public QObject {
    Q_OBJECT
public:
    explicit VoiceArchiveTransfer(SessionController& session, QObject* parent = nullptr);
    ~VoiceArchiveTransfer() override;

    // Opens the archive and starts the exchange one step later. False (with a message) when the file
    // cannot be opened or is no archive.
    bool start(const QString& archivePath);
    bool active() const { return m_phase != Phase::None; }
    uint32_t payloadSize() const { return m_payload; }
    uint32_t bytesSent() const { return m_sent; }

    static inline const QString kLabel = QStringLiteral("Запись архива голосовых файлов...");
    static inline const QString kDone = QStringLiteral("Запись архива завершена");
    static inline const QString kTooLarge = QStringLiteral("Размер файла больше выделенной памяти");
    static inline const QString kDamaged = QStringLiteral("Файл архива поврежден");
    static inline const QString kReadError = QStringLiteral("Ошибка чтения файла архива");

signals:
    void capacityReported(quint32 capacity); // "+VMS": the gauge's new maximum
    void message(const QString& text);       // a message box of its own

private:
    enum class Phase { None, Capacity, Header, Size, Chunks };
    void onCapacity(QByteArrayView burst, qsizetype pos);
    void onHeaderTaken();
    void onNextWanted(Phase expected);
    void finish(const QString& text);
    void abandon();
    bool ours() const;

    SessionController& m_session;
    QFile m_file;
    QByteArray m_header;
    Phase m_phase = Phase::None;
    uint32_t m_payload = 0;
    uint32_t m_sent = 0;
};

} // namespace rv
