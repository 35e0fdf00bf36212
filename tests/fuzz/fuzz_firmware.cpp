// A firmware image of any bytes, and bootloader replies of any shape, through the whole programming run:
// the image's checks, the restart into the bootloader, the start packet and the blocks, answered by bursts
// and silences. Whatever happens, every block that goes out carries exactly the image's bytes at its offset
// (0xFF past the end) with a sum that holds, blocks follow each other from 0 after every start packet, and a
// run reported complete sent every block of the image.
// Input: [flags][image length, 2 bytes LE][image] then bursts, each [length][bytes].

#include "core/config/records.h"
#include "core/firmware/firmware_update.h"
#include "core/link/memory_link.h"
#include "core/monitor/monitor_blocks.h"
#include "core/base/checksum.h"
#include "core/protocol/device_session.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace rv;

namespace {

void require(bool holds)
{
    if (!holds)
        std::abort();
}

uint32_t le32(QByteArrayView b, qsizetype at)
{
    return uint8_t(b[at]) | uint8_t(b[at + 1]) << 8 | uint8_t(b[at + 2]) << 16 | uint32_t(uint8_t(b[at + 3])) << 24;
}

// Follows the packets the program writes: each block is checked against the image as it goes out.
struct Packets {
    QByteArrayView image;
    uint32_t size = 0;
    qsizetype seen = 0;
    int64_t next = -1; // the offset the next block carries; -1 before a start packet

    void check(const QList<QByteArray>& writes)
    {
        for (; seen < writes.size(); ++seen) {
            const QByteArray& w = writes[seen];
            if (w.startsWith("CONFIGB0")) {
                require(w.size() == kFirmwareStartPacketSize && le32(w, 8) == size);
                require(blockChecksum(QByteArrayView(w).sliced(8, 9)) == (uint8_t(w[17]) | uint8_t(w[18]) << 8));
                next = 0;
            } else if (w.startsWith("CONFIGB1")) {
                require(w.size() == kFirmwareBlockPacketSize);
                const uint32_t offset = le32(w, 8);
                // "BL_EP" has the last packet sent again: the block just sent, or the start packet.
                require(offset == next || offset + kFirmwareBlockSize == next);
                require(offset <= size);
                for (int i = 0; i < kFirmwareBlockSize; ++i)
                    require(w[12 + i] == (offset + i < quint64(image.size()) ? image[offset + i] : char(0xFF)));
                require(blockChecksum(QByteArrayView(w).sliced(8, 516)) == (uint8_t(w[524]) | uint8_t(w[525]) << 8));
                next = offset + kFirmwareBlockSize;
            }
        }
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3)
        return 0;
    const uint8_t flags = data[0];
    const size_t imageSize = std::min<size_t>(data[1] | data[2] << 8, size - 3);
    const QByteArray image(reinterpret_cast<const char*>(data + 3), qsizetype(imageSize));
    const uint8_t type = flags & 4 ? 3 : 2;

    MemoryLink link;
    ConfigRecords records;
    MonitorBlocks monitor;
    SessionController s(link, &records, &monitor);
    FirmwareUpdate fw(s);
    Packets packets{image};
    QObject::connect(&fw, &FirmwareUpdate::finished, [&](bool ok) {
        packets.check(link.writes());
        // Complete means that the block holding the image's last byte went out.
        require(!ok || packets.next > int64_t(packets.size));
    });
    s.setPortName(QStringLiteral("unit"));
    s.start(false);
    s.setEarlyFrames(flags & 1);
    for (int i = 0; i < 10; ++i)
        s.Find_deviceTimer();
    link.feed(flags & 2 ? QByteArray("BOOTLOADER") + char(11) + char(type)
                        : QByteArray("RV-TR") + char(type) + '\x01' + QByteArray(4, '\0'));
    for (int i = 0; i < 6; ++i)
        s.Receive_timerTimer();

    if (!fw.takeImage(image, type, flags & 8 ? flags >> 4 : -1))
        return 0;
    packets.size = fw.header().size;
    require(packets.size > 0 && packets.size <= quint64(image.size()));
    fw.program();

    size_t at = 3 + imageSize;
    while (at < size) {
        const size_t len = std::min<size_t>(data[at], size - at - 1);
        ++at;
        link.feed(QByteArrayView(reinterpret_cast<const char*>(data + at), qsizetype(len)));
        at += len;
        for (int tick = 0; tick < 6; ++tick)
            s.Receive_timerTimer();
        if (len % 3 == 0)
            for (int i = 0; i < 10; ++i)
                s.Find_deviceTimer(); // the restart request, the search that finds the bootloader
        if (len % 17 == 0 && fw.programming())
            fw.replyTimedOut(); // the silence timer runs out
        if (len % 23 == 0)
            fw.program(); // the user starts again, from block 0
        packets.check(link.writes());
        require(fw.progress() >= 0 && fw.progress() <= 1000);
    }
    return 0;
}
