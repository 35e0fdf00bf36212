#pragma once

// The unit's track memory: navigation packets along the telemetry's route, numbered, each with its
// CRC-16/MODBUS (a few deliberately wrong), served to "CONFIGM" requests as "+MEM" replies: the undelivered
// packets of a server or a numbered range, announced by size, then one block per request.

#include <QByteArray>
#include <QByteArrayView>

#include <cstdint>
#include <optional>
#include <vector>

namespace rvsim {

struct TrackOptions {
    qsizetype size = 105 * 400;   // bytes of packets held (whole packets: rounded down)
    int block = 1000;             // data bytes per "+MEM" block (1..1017)
    int invalidEvery = 97;        // every Nth packet has a wrong check value (0: none)
    uint32_t firstNumber = 1;     // number of the oldest packet held
    int silentAt = -1;            // block N of a read is not sent (once): only its repeat brings it
    bool oversize = false;        // announce more than any memory holds (and send nothing)
    uint32_t shortBy = 0;         // announce this many bytes more than it sends, then say complete
    bool route = false;           // the packets follow a working day round a city block (see routeDay)
};

class TrackMemory {
public:
    explicit TrackMemory(TrackOptions options) : m_o(options) {}

    // A "CONFIGM" command at the start of `input`. Returns the bytes it takes (0: incomplete, -1: not a
    // memory command); `reply` is what the unit answers (may be empty), `name` what is counted.
    qsizetype command(QByteArrayView input, QByteArray& reply, QByteArray& name);

    // The packets held, generated at the first use.
    const QByteArray& packets();
    static QByteArray packet(uint32_t index, uint32_t number, bool broken);

    // One round of the route mode, over and over: standing at the depot for six minutes (a packet every
    // half minute), out along the access road, twice round a 600 m by 400 m block (on the first lap a halt
    // of 40 s at a traffic light and a delivery of four and a half minutes, on the second the fix lost for
    // two packets under a bridge), and back to the depot; a packet at every corner and every ten seconds
    // while driving. Each packet (CRC not yet set) and its time from the start of the round.
    struct RoutePacket {
        QByteArray bytes;
        uint32_t second = 0;
    };
    static std::vector<RoutePacket> routeDay(uint32_t& roundSeconds);

private:
    QByteArray start(qsizetype from, qsizetype count);
    QByteArray nextBlock();

    TrackOptions m_o;
    std::optional<QByteArray> m_packets;
    // The read in progress: what it serves and how far it has come.
    bool m_reading = false;
    QByteArray m_served;
    qsizetype m_at = 0;
    int m_blocks = 0;
    QByteArray m_last; // the last reply, for a repeat
};

} // namespace rvsim
