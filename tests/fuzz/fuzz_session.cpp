// The session controller's dispatcher fed arbitrary bursts in arbitrary operation states over the
// in-memory link, with steps and ticks in between, as a chattering or hostile line would drive it.
// Input: [state][flags] then bursts, each [length][bytes].

#include "core/config/records.h"
#include "core/link/memory_link.h"
#include "core/monitor/monitor_blocks.h"
#include "core/protocol/device_session.h"

#include <cstddef>
#include <cstdint>

using namespace rv;

namespace {
constexpr uint8_t kStates[] = {osIdle, osReadConfig, osWriteConfig, osWriteInOut, osReadInOut, osCameraShot1,
                               osReset, osBootloader, osReadLog, osWriteVoice, osReadRoute, osWriteRoute,
                               osListVoice, osCameraShot2, osWriteVoiceArchive, osReadExtended, osWriteExtended,
                               osReadMemory, osEraseTrack, osSendPassword, osSearch};
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    MemoryLink link;
    ConfigRecords records;
    MonitorBlocks monitor;
    SessionController s(link, &records, &monitor);
    s.setPortName(QStringLiteral("unit"));
    s.start(false);
    for (int i = 0; i < 10; ++i)
        s.Find_deviceTimer(); // the port opens
    DeviceSession& d = s.session();
    d.OperationState = kStates[data[0] % std::size(kStates)];
    d.connected = data[1] & 1;
    d.firmwareProgramming = data[1] & 2;
    d.cameraTransfer = data[1] & 4;
    d.autoReadPending = data[1] & 8;
    d.writeAckAwaited = data[1] & 16;
    if (data[1] & 32)
        s.Download_deviceClick();
    if (data[1] & 64)
        s.Upload_deviceClick();

    size_t at = 2;
    while (at < size) {
        const size_t len = std::min<size_t>(data[at], size - at - 1);
        ++at;
        link.feed(QByteArrayView(reinterpret_cast<const char*>(data + at), static_cast<qsizetype>(len)));
        at += len;
        for (int t = 0; t < 5; ++t)
            s.Receive_timerTimer();
        if (len % 3 == 0)
            for (int t = 0; t < 10; ++t)
                s.Find_deviceTimer();
        if (len % 7 == 0)
            s.progress().Timer1Timer();
    }
    return 0;
}
