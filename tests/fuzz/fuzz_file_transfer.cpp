// "FLRW" replies and chunks of any shape fed to a running file transfer (read, write and existence
// check) through the session's dispatcher and its early hand-on of complete chunks.
// Input: [mode] then bursts, each [length][bytes].

#include "core/config/records.h"
#include "core/devicefiles/file_transfer.h"
#include "core/link/memory_link.h"
#include "core/monitor/monitor_blocks.h"
#include "core/protocol/device_session.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

using namespace rv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir home;
    static const bool homeSet = [] {
        qputenv("RVCONF_HOME", home.path().toLocal8Bit());
        QFile route(home.filePath(QStringLiteral("Marshrut.fai")));
        if (route.open(QIODevice::WriteOnly))
            route.write(QByteArray(1300, 'r'));
        return true;
    }();
    (void)homeSet;
    if (size < 1)
        return 0;
    MemoryLink link;
    ConfigRecords records;
    MonitorBlocks monitor;
    SessionController s(link, &records, &monitor);
    FileTransfer t(s);
    s.setPortName(QStringLiteral("unit"));
    s.start(false);
    for (int i = 0; i < 10; ++i)
        s.Find_deviceTimer();
    s.setEarlyFrames(data[0] & 8);
    switch (data[0] % 4) {
    case 0: t.Read_log_fileClick(QStringLiteral("2026-12-09")); break;
    case 1: t.startRouteRead(); break;
    case 2: t.startRouteWrite(FileTransfer::routeFilePath()); break;
    default: t.beginExistenceCheck(); break;
    }
    for (int i = 0; i < 10; ++i)
        s.Find_deviceTimer();
    size_t at = 1;
    while (at < size) {
        const size_t len = std::min<size_t>(data[at], size - at - 1);
        ++at;
        QByteArray burst("FLRW");
        burst.append(reinterpret_cast<const char*>(data + at), static_cast<qsizetype>(len));
        link.feed(len % 5 == 0 ? burst.mid(4) : burst);
        at += len;
        for (int tick = 0; tick < 5; ++tick)
            s.Receive_timerTimer();
        if (len % 11 == 0)
            s.progress().Timer1Timer();
    }
    return 0;
}
