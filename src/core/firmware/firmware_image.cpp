#include "core/firmware/firmware_image.h"

#include "core/base/checksum.h"

#include <QtEndian>

namespace rv {

namespace {

void putLe32(QByteArray& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.append(char((v >> (8 * i)) & 0xFF));
}

void putSum(QByteArray& out, qsizetype from)
{
    const uint16_t sum = blockChecksum(QByteArrayView(out).sliced(from));
    out.append(char(sum & 0xFF));
    out.append(char(sum >> 8));
}

} // namespace

QString FirmwareHeader::versionText() const { return QStringLiteral("Версия ПО: %1").arg(version); }
QString FirmwareHeader::hardwareText() const { return QStringLiteral("Hard: %1").arg(hardware); }
QString FirmwareHeader::sizeText() const { return QStringLiteral("Размер: %1 байт(а)").arg(size); }

QString FirmwareHeader::checkText() const
{
    return QString::asprintf("CRC: 0x%.4X", unsigned(check));
}

QString FirmwareHeader::buildText() const
{
    return QStringLiteral("Сборка: %1.%2.%3")
        .arg(build1, 4, 10, QLatin1Char('0'))
        .arg(build2, 4, 10, QLatin1Char('0'))
        .arg(build3, 2, 10, QLatin1Char('0'));
}

std::optional<FirmwareHeader> parseFirmwareHeader(QByteArrayView bytes)
{
    if (bytes.size() < kFirmwareHeaderSize || !bytes.startsWith("QDFW"))
        return std::nullopt;
    const auto* p = reinterpret_cast<const uchar*>(bytes.data());
    FirmwareHeader h;
    h.hardware = p[4] < 2 ? 2 : p[4];
    h.version = p[5];
    h.size = qFromLittleEndian<quint32>(p + 8);
    h.check = qFromLittleEndian<quint32>(p + 12);
    h.build1 = qFromLittleEndian<quint16>(p + 20);
    h.build2 = qFromLittleEndian<quint16>(p + 22);
    h.build3 = p[24];
    return h;
}

namespace fwpacket {

QByteArray start(const FirmwareHeader& header)
{
    QByteArray out("CONFIGB0");
    putLe32(out, header.size);
    putLe32(out, header.check);
    out.append(char(header.version));
    putSum(out, 8);
    return out;
}

QByteArray block(QByteArrayView image, uint32_t offset)
{
    QByteArray out("CONFIGB1");
    out.reserve(kFirmwareBlockPacketSize);
    putLe32(out, offset);
    QByteArray data(kFirmwareBlockSize, char(0xFF));
    if (offset < quint64(image.size())) {
        const qsizetype n = std::min<qsizetype>(kFirmwareBlockSize, image.size() - qsizetype(offset));
        std::copy_n(image.data() + offset, n, data.data());
    }
    out += data;
    putSum(out, 8);
    return out;
}

} // namespace fwpacket

} // namespace rv
