// Camera replies and picture bytes of any shape fed to a running snapshot through the session's
// dispatcher and its claim of the picture's bytes; the reply parser on the raw input as well.
// Input: [flags] then bursts, each [length][bytes]; a length with bit 0 set follows a quiet line.

#include "core/config/records.h"
#include "core/devicefiles/camera_snapshot.h"
#include "core/link/memory_link.h"
#include "core/monitor/monitor_blocks.h"
#include "core/protocol/device_session.h"

#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

using namespace rv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir home;
    static const bool homeSet = [] {
        qputenv("RVCONF_HOME", home.path().toLocal8Bit());
        return true;
    }();
    (void)homeSet;
    if (size < 1)
        return 0;
    const camera::Reply r = camera::parseReply(QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)));
    if (r.length > qsizetype(size) || (r.kind == camera::Reply::Kind::Header && r.size > 0xFFFFFF))
        __builtin_trap();

    MemoryLink link;
    ConfigRecords records;
    MonitorBlocks monitor;
    SessionController s(link, &records, &monitor);
    CameraSnapshot cam(s);
    s.setPortName(QStringLiteral("unit"));
    s.start(false);
    for (int i = 0; i < 10; ++i)
        s.Find_deviceTimer();
    s.setEarlyFrames(data[0] & 1);
    cam.setResolution(1, data[0] >> 4);
    cam.View_imageClick(data[0] & 2 ? 2 : 1);
    for (int i = 0; i < 10; ++i)
        s.Find_deviceTimer();
    size_t at = 1;
    while (at < size) {
        const size_t len = std::min<size_t>(data[at], size - at - 1);
        const bool quiet = data[at] & 1;
        ++at;
        link.feed(QByteArrayView(reinterpret_cast<const char*>(data + at), qsizetype(len)));
        at += len;
        for (int tick = 0; tick < (quiet ? 6 : 1); ++tick)
            s.Receive_timerTimer();
        if (len % 13 == 0)
            s.progress().Timer1Timer();
        if (cam.bytesReceived() > cam.announcedSize())
            __builtin_trap();
    }
    return 0;
}
