// What programming costs beyond the line and the unit: the virtual unit's bootloader takes a fixed time to
// program each 512-byte block and paces its answers at 115200 baud; the configurator flashes a 64 KB image
// through the real serial port, once taking each complete "BL_OK" as soon as it is there and once waiting
// for the quiet gap. Prints the time per block and its overhead over the floor (the unit's programming
// time plus the answer's wire time). A pseudo-terminal carries the 526-byte packets to the unit at once,
// so their own wire time (45.7 ms at 115200 baud) is printed beside it for scale.

#include "core/config/records.h"
#include "core/firmware/firmware_update.h"
#include "core/link/serial_link.h"
#include "core/monitor/monitor_blocks.h"
#include "core/protocol/device_session.h"
#include "paced_unit.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

using namespace rv;
using rvbench::startUnit;
using rvbench::waitFor;

namespace {

constexpr int kBaud = 115200;
constexpr int kImageBytes = 64 * 1024;
constexpr int kProgramMs = 5;

QByteArray image()
{
    QByteArray img(kImageBytes, '\0');
    for (int i = 32; i < kImageBytes; ++i)
        img[i] = char(i * 31 + 7);
    img.replace(0, 4, "QDFW");
    img[4] = 2;
    img[5] = 1;
    for (int i = 0; i < 4; ++i)
        img[8 + i] = char(uint32_t(kImageBytes) >> (8 * i));
    return img;
}

// Seconds from the start packet to "Программирование завершено", or a negative number on failure.
double flashOnce(bool early, int* blocks)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("fw.bin"));
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(image()) != kImageBytes)
            return -1;
    }
    QProcess unit;
    const QString pty = startUnit(unit, {QStringLiteral("--bootloader"), QStringLiteral("--baud"), QString::number(kBaud),
                                            QStringLiteral("--program-ms"), QString::number(kProgramMs),
                                            QStringLiteral("--lifetime"), QStringLiteral("120")});
    if (pty.isEmpty())
        return -1;

    SerialLink link;
    ConfigRecords records;
    MonitorBlocks monitor;
    SessionController session(link, &records, &monitor);
    FirmwareUpdate update(session);
    session.setEarlyFrames(early);
    session.setPortName(pty);
    bool inBootloader = false, done = false, ok = false;
    QObject::connect(&session, &SessionController::bootloaderMode, [&] { inBootloader = true; });
    QObject::connect(&update, &FirmwareUpdate::finished, [&](bool result) { done = true; ok = result; });
    session.start();
    if (!waitFor([&] { return inBootloader; }, 5000) || !update.openImage(path, 2))
        return -1;
    QElapsedTimer clock;
    clock.start();
    update.program();
    waitFor([&] { return done; }, 120000);
    const double seconds = clock.nsecsElapsed() / 1e9;
    *blocks = int(update.header().size / kFirmwareBlockSize) + 1;
    session.shutdown();
    unit.terminate();
    unit.waitForFinished();
    return ok ? seconds : -1;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const double replyWireMs = 5 * 10 * 1000.0 / kBaud;
    const double packetWireMs = kFirmwareBlockPacketSize * 10 * 1000.0 / kBaud;
    const double floorMs = kProgramMs + replyWireMs;
    std::printf("firmware image of %d bytes, bootloader programs a block in %d ms, answers at %d baud\n", kImageBytes,
                kProgramMs, kBaud);
    std::printf("  floor per block: %.2f ms (programming + answer on the wire); a packet's own wire time: %.1f ms\n",
                floorMs, packetWireMs);
    for (bool early : {true, false}) {
        int blocks = 0;
        const double s = flashOnce(early, &blocks);
        const char* how = early ? "complete answers at once:" : "after the quiet gap:";
        if (s <= 0) {
            std::printf("  %-26s failed\n", how);
            continue;
        }
        const double perBlock = s * 1000.0 / (blocks + 1); // the start packet is answered too
        std::printf("  %-26s %6.2f s, %6.2f ms a block, overhead %5.2f ms a block (%4.1f %% of a real line's block time)\n",
                    how, s, perBlock, perBlock - floorMs, 100.0 * (perBlock - floorMs) / (packetWireMs + floorMs));
    }
    return 0;
}
