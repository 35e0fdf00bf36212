// "+MEM" replies of any shape fed to a running track memory read through the session's dispatcher and its
// early hand-on of complete blocks; whatever was read then goes through the five exports and the track window's
// sums (points, segments, stops, summary, flat map), once more with every packet's check value made right.
// Input: [mode] then bursts, each [length][bytes].

#include "core/config/records.h"
#include "core/link/memory_link.h"
#include "core/monitor/monitor_blocks.h"
#include "core/protocol/device_session.h"
#include "core/base/bytes.h"
#include "core/base/checksum.h"
#include "core/track/track_geometry.h"
#include "core/track/track_packet.h"
#include "core/track/track_read.h"

#include <array>
#include <cstddef>
#include <cstdint>

using namespace rv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    MemoryLink link;
    ConfigRecords records;
    MonitorBlocks monitor;
    SessionController s(link, &records, &monitor);
    TrackRead t(s);
    s.setPortName(QStringLiteral("unit"));
    s.start(false);
    for (int i = 0; i < 10; ++i)
        s.Find_deviceTimer();
    s.setEarlyFrames(data[0] & 8);
    t.DumpClick({data[0] & 1 ? TrackRead::Range : TrackRead::Undelivered, uint8_t(data[0] >> 7), 5, 10});
    for (int i = 0; i < 10; ++i)
        s.Find_deviceTimer();
    size_t at = 1;
    while (at < size) {
        const size_t len = std::min<size_t>(data[at], size - at - 1);
        ++at;
        QByteArray burst("+MEM");
        burst.append(reinterpret_cast<const char*>(data + at), static_cast<qsizetype>(len));
        link.feed(len % 5 == 0 ? burst.mid(4) : burst);
        at += len;
        for (int tick = 0; tick < 5; ++tick)
            s.Receive_timerTimer();
        if (len % 11 == 0)
            s.progress().Timer1Timer();
    }
    // The bytes themselves as a read buffer too: any packet content, any length. Every parameter of both
    // packet-structure versions is chosen (worked out once: it depends on these two words only).
    static const std::array<packet::PacketChoice, 2> choices = [] {
        std::array<packet::PacketChoice, 2> c;
        for (uint8_t version : {1, 2}) {
            ConfigBlock config;
            config.setNumber(u"Protocol", version);
            config.setNumber(u"PacketStruct", version == 1 ? 0xFFFF : 0xFFFFFFFF);
            c[version - 1] = packet::packetChoice(config);
        }
        return c;
    }();
    const QByteArray raw(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    // The same bytes with right check values: any packet content reaches the path's code.
    QByteArray checked = raw;
    for (qsizetype at = 0; at + track::kPacketSize <= checked.size(); at += track::kPacketSize)
        le::put16(checked, at + track::kCheckedBytes, crc16Modbus(QByteArrayView(checked).sliced(at, track::kCheckedBytes)));
    for (const QByteArray& buffer : {t.buffer(), raw, checked}) {
        for (const packet::PacketChoice& choice : choices)
            (void)track::exportWln(buffer, choice);
        (void)track::exportPlt(buffer);
        (void)track::exportGpx(buffer);
        (void)track::exportKml(buffer);
        const track::TrackOverview o = track::overviewOf(buffer);
        (void)track::summaryText(o.summary);
        const track::MapFit fit = track::fitTo(o.boundsKm, QSizeF(800, 600), 30);
        (void)track::scaleBarText(track::scaleBarKm(fit.pxPerKm, 200));
    }
    return 0;
}
