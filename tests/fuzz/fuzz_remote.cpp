// The network side fed arbitrary bytes: the frame reassembler cuts them in arbitrary pieces and times,
// New_protocol takes every frame, in arbitrary operation states, with poll ticks in between.
// Input: [flags] then pieces, each [length][delay][bytes]; also each piece straight to New_protocol.

#include "core/config/records.h"
#include "core/link/memory_link.h"
#include "core/monitor/monitor_blocks.h"
#include "core/protocol/device_session.h"
#include "core/protocol/remote_session.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace rv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    MemoryLink link;
    ConfigRecords records;
    MonitorBlocks monitor;
    SessionController s(link, &records, &monitor);
    RemoteSession remote(s);
    qint64 now = 0;
    qsizetype sent = 0;
    remote.setSender([&sent](const QByteArray& f) { sent += f.size(); });
    remote.setClock([&now] { return now; });
    s.setPortName(QStringLiteral("TCP/IP"));
    s.start(false);
    if (data[0] & 1) // a unit greets and is attached
        remote.receive(QByteArray::fromHex("1200d2043836313233343536373839303132331c5201"));
    if (data[0] & 2)
        s.Download_deviceClick();
    if (data[0] & 4)
        s.Upload_deviceClick();
    if (data[0] & 8)
        s.eraseTrackConfirmed();

    size_t at = 1;
    while (at + 2 <= size) {
        const size_t len = std::min<size_t>(data[at], size - at - 2);
        now += data[at + 1] * 100;
        at += 2;
        const QByteArrayView piece(reinterpret_cast<const char*>(data + at), static_cast<qsizetype>(len));
        remote.receive(piece);
        if (len % 4 == 0)
            remote.New_protocol(piece);
        if (len % 5 == 0)
            remote.expireInput();
        for (int t = 0; t < static_cast<int>(len % 7); ++t)
            s.Receive_timerTimer();
        if (remote.pendingInput() >= remote::kMaxFrameSize)
            std::abort(); // the reassembler never holds more than one frame
        at += len;
    }
    return 0;
}
