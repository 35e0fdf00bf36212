#pragma once

// Replacing the unit's program through its bootloader: the unit is restarted into the bootloader
// ("CONFIGB") unless it is there already, then a start packet goes out and, one per "BL_OK", the image
// in 512-byte blocks. Every block is built from its own offset of the image, so a run started again
// after an error or a silence begins cleanly at block 0.

#include "core/firmware/firmware_image.h"

#include <QObject>
#include <QTimer>

namespace rv {

class SessionController;

class FirmwareUpdate : public QObject {
    Q_OBJECT
public:
    // Silence of the bootloader after a packet, and of the unit after the restart request, that ends a run.
    static constexpr int kReplyTimeoutMs = 10'000;
    static constexpr int kRestartTimeoutMs = 30'000;

    explicit FirmwareUpdate(SessionController& session, QObject* parent = nullptr);
    ~FirmwareUpdate() override;

    // Reads and checks an image for a unit of `deviceType` whose program has `unitVersion` (a negative
    // value: not known). False, with a message, when the file cannot be used; the previous image is
    // dropped in any case, so nothing stale can be programmed.
    bool openImage(const QString& path, uint8_t deviceType, int unitVersion = -1);
    // The same checks on the bytes of an image already read.
    bool takeImage(QByteArray image, uint8_t deviceType, int unitVersion = -1);
    void closeImage();
    bool hasImage() const { return m_header.has_value(); }
    // The open image is an earlier version than the program the unit runs.
    bool olderThanUnit() const { return m_older; }
    const FirmwareHeader& header() const { return *m_header; }

    // Starts (or starts again, from block 0) programming the open image.
    void program();
    // Stops a run cleanly: no further packet goes out; a unit in its bootloader stays there.
    void stop();
    bool programming() const;
    bool inBootloader() const { return m_bootloader; }
    uint32_t bytesSent() const { return m_sent; }
    int progress() const; // 0..1000

    // The bootloader's replies and the silence timer (public for the tests and the reply hooks).
    void Flash_program(int mode); // 1 start packet, 0 next block ("BL_OK"), 2 the last packet again ("BL_EP")
    void Flash_program_disable(bool refused = false);
    void replyTimedOut();
    bool waitingForReply() const { return m_silence.isActive(); }

signals:
    void message(const QString& text);
    void progressChanged(int permille);
    void readyChanged(bool canProgram); // Program_flash
    void finished(bool ok);

private:
    void sendPacket(const QByteArray& packet);
    void onBootloader();
    void setClaim(bool on);
    void halt();

    SessionController& m_session;
    QByteArray m_image;
    std::optional<FirmwareHeader> m_header;
    QByteArray m_lastPacket;
    uint32_t m_sent = 0;
    bool m_bootloader = false;
    bool m_older = false;
    QTimer m_silence;
};

// Length of a complete bootloader reply ("BL_OK" ...) at the start of `bytes`, kFrameIncomplete while
// one has begun, 0 for anything else.
qsizetype bootloaderReplyLength(QByteArrayView bytes);

} // namespace rv
