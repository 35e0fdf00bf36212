#pragma once

// The unit's track memory: navigation packets along the telemetry's route, numbered, each with its
// CRC-16/MODBUS (a few deliberately wrong), served to "CONFIGM" requests as "+MEM" replies: the undelivered
// packets of a server or a numbered range, announced by size, then one block per request.

#include <QByteArray>
#include <QByteArrayView>

#include <cstdint>
#include <optional>

namespace rvsim {

struct TrackOptions {
    qsizetype size = 105 * 400;   // bytes of packets held (whole packets: rounded down)
    int block = 1000;             // data bytes per "+MEM" block (1..1017)
    int invalidEvery = 97;        // every Nth packet has a wrong check value (0: none)
    uint32_t firstNumber = 1;     // number of the oldest packet held
    int silentAt = -1;            // block N of a read is not sent (once): only its repeat brings it
    bool oversize = false;        // announce more than any memory holds (and send nothing)
    uint32_t shortBy = 0;         // announce this many bytes more than it sends, then say complete
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
