#pragma once

// Firmware images and the packets that carry them to the unit's bootloader.
//
// An image file is sent whole, header included. Its first 32 bytes (little-endian) hold the magic "QDFW",
// the hardware type, the firmware version, the image size, a check value the bootloader verifies (the
// program only passes it on) and the build number.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <optional>

namespace rv {

inline constexpr int kFirmwareHeaderSize = 32;
inline constexpr int kFirmwareBlockSize = 512;
inline constexpr int kFirmwareStartPacketSize = 19;
inline constexpr int kFirmwareBlockPacketSize = 526;
// No unit holds a program this large: a bigger file is refused before it is read.
inline constexpr qint64 kFirmwareMaxFileSize = 16 << 20;

struct FirmwareHeader {
    uint8_t hardware = 2;   // raised to 2 when the file says 0 or 1
    uint8_t version = 0;
    uint32_t size = 0;
    uint32_t check = 0;
    uint16_t build1 = 0;
    uint16_t build2 = 0;
    uint8_t build3 = 0;

    QString versionText() const;  // "Версия ПО: %d"
    QString hardwareText() const; // "Hard: %d"
    QString sizeText() const;     // "Размер: %d байт(а)"
    QString checkText() const;    // "CRC: 0x%.4X"
    QString buildText() const;    // "Сборка: %.4d.%.4d.%.2d"
};

// The header at the start of `bytes`; nothing when they are shorter than a header or lack the magic.
std::optional<FirmwareHeader> parseFirmwareHeader(QByteArrayView bytes);

namespace fwpacket {
// "CONFIGB0", size, check value, version, the 16-bit sum of the nine bytes after "CONFIGB0".
QByteArray start(const FirmwareHeader& header);
// "CONFIGB1", offset, the 512 image bytes from `offset` (0xFF past the end of `image`), the sum of the
// 516 bytes after "CONFIGB1".
QByteArray block(QByteArrayView image, uint32_t offset);
} // namespace fwpacket

} // namespace rv
