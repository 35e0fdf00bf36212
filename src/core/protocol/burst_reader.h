#pragma once

// The receive side of the serial session: every byte that arrives is kept, in order, until an analysis has
// seen it; an analysis is due once the line has been quiet for the gap (a burst ends); a subsystem that
// expects length-framed data claims its frames, each taken the moment it is whole.

#include <QByteArray>
#include <QByteArrayView>

#include <cstdint>
#include <functional>

namespace rv {

namespace timing {
inline constexpr int kReceiveTickMs = 10;
inline constexpr uint8_t kQuietCountdown = 5; // analysis runs when the countdown reaches 1: ~40 ms
} // namespace timing

// The unit's own receive buffer is 1024 bytes, but the PC keeps every byte that arrives until an analysis
// has seen it, however many bursts come together. Only a line that runs on without a quiet gap and without
// forming anything a claim takes is cut at this size, and the user is told.
inline constexpr qsizetype kRunawayBytes = 1 << 20;

inline constexpr qsizetype kFrameIncomplete = -1;

class BurstReader {
public:
    // `detect` returns the length of a complete frame at the start of the waiting bytes, kFrameIncomplete
    // while a frame has begun but is not whole, 0 for anything else.
    using FrameDetector = std::function<qsizetype(QByteArrayView waiting)>;
    using FrameTaker = std::function<void(QByteArrayView frame)>;

    // `runaway` hears of bytes dropped from a line that never pauses; `say` only for the first drop until the
    // line goes quiet.
    explicit BurstReader(std::function<void(qsizetype dropped, bool say)> runaway) : m_runaway(std::move(runaway)) {}

    // Bytes that arrived: the quiet gap starts again, and frames a claim waits for go on at once.
    void arrived(const QByteArray& bytes);
    // One receive tick: true when it ends the quiet gap, so that the waiting bytes are due for an analysis.
    bool tick();
    // The rest of the tick, after any analysis: the quiet time grows, and a claim that ends with its burst
    // lifts once the line is quiet.
    void tickDone();
    // Ticks from now to the next one that does something (0: none), and ticks passed over that did nothing.
    int ticksDue() const;
    void pass(int n);

    // The bytes of the analysis now due, claimed frames taken out: empty when nothing is left to analyse
    // (also while a claimed frame waits for its rest). The analysis owns them.
    QByteArray takeBurst();
    // A reply still waiting for its tail: its bytes go back before any that came since, and the quiet gap
    // starts again.
    void putBack(const QByteArray& burst);
    const QByteArray& waiting() const { return m_buffer; }

    void setFrameClaim(FrameDetector detect, FrameTaker take);
    void clearFrameClaim();
    void endFrameClaimWithBurst();
    void setEarlyFrames(bool on) { m_earlyFrames = on; }
    bool atBurstStart() const { return m_burstStart; }
    // The start of a claimed frame nobody waits for any more is dropped, so that it leads no later reply.
    void dropClaimedStart();

private:
    void takeClaimedFrames(QByteArray& bytes);
    void dropRunaway();

    std::function<void(qsizetype, bool)> m_runaway;
    QByteArray m_buffer;              // every byte received and not yet analysed, in order
    uint8_t m_countdown = 0;          // ticks of quiet left before the analysis
    uint8_t m_quietTicks = 0xFF;      // receive ticks since bytes last arrived (saturating)
    bool m_burstStart = true;         // the waiting bytes began after a quiet line
    FrameDetector m_claimDetect;
    FrameTaker m_claimTake;
    bool m_pendingClaimed = false;    // the waiting bytes begin a frame the claim waits to be whole
    bool m_runawaySaid = false;       // the runaway line was said; again only after it went quiet
    bool m_earlyFrames = true;
    bool m_claimEndsWithBurst = false;
};

} // namespace rv
