#include "core/protocol/commands.h"

#include "core/base/bytes.h"
#include "core/base/checksum.h"

namespace rv {

QByteArray padBlock(QByteArray block)
{
    if (!block.isEmpty() && block.size() % 8 == 0)
        block.append('\0');
    return block;
}

QByteArray checkedBlock(QByteArrayView record)
{
    QByteArray block = record.toByteArray();
    block.append(le::bytes16(blockChecksum(record)));
    return padBlock(std::move(block));
}

namespace cmd {

Writes word(const char* text)
{
    return {QByteArray(text)};
}

Writes pollDevice(uint8_t monitorFlags)
{
    return {QByteArray("CONFIGD"), QByteArray(1, static_cast<char>(monitorFlags))};
}

Writes readExtended()
{
    return {QByteArray("CONFIGS"), QByteArray("0")};
}

namespace {
Writes recordWrite(QByteArrayView word, QByteArrayView prefix, QByteArrayView record)
{
    Writes w{word.toByteArray()};
    if (!prefix.isEmpty())
        w.append(prefix.toByteArray());
    w.append(le::bytes16(static_cast<uint16_t>(record.size())));
    w.append(checkedBlock(record));
    return w;
}
} // namespace

Writes writeConfig(QByteArrayView record) { return recordWrite("CONFIGW", {}, record); }
Writes writeInpOut(QByteArrayView record) { return recordWrite("CONFIGI", {}, record); }
Writes writeExtended(QByteArrayView record) { return recordWrite("CONFIGT", "0", record); }

Writes cameraShot1(int resolutionIndex)
{
    return {QByteArray("CONFIGJ"), QByteArray(1, static_cast<char>(resolutionIndex & 0x0F))};
}

Writes cameraShot2(int resolutionIndex)
{
    return {QByteArray("CONFIGH"), QByteArray(1, static_cast<char>(resolutionIndex & 0x0F))};
}

Writes password(uint16_t value)
{
    return {QByteArray("RV+PASS=") + QByteArray::number(value)};
}

Writes satelliteModem()
{
    return {QByteArray("CONFIGZ"), QByteArray("\x01\x01", 2)};
}

Writes memoryRequest(QByteArrayView request)
{
    return {QByteArray("CONFIGM"), request.toByteArray()};
}

Writes memoryRepeat(int dumpTypeIndex)
{
    QByteArray tail;
    tail.append('\x0A');
    tail.append(static_cast<char>(dumpTypeIndex));
    tail.append('\x01');
    return {QByteArray("CONFIGM"), tail};
}

} // namespace cmd
} // namespace rv
