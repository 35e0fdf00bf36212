#include "core/protocol/burst_reader.h"

#include <algorithm>
#include <utility>

namespace rv {

void BurstReader::arrived(const QByteArray& bytes)
{
    if (m_buffer.isEmpty())
        m_burstStart = m_quietTicks >= timing::kQuietCountdown - 1;
    m_buffer += bytes;
    // Each arrival restarts the quiet-gap countdown.
    m_countdown = timing::kQuietCountdown;
    m_quietTicks = 0;
    // A claim is waiting for frames: each goes on the moment it is whole.
    if (m_claimDetect && m_earlyFrames) {
        takeClaimedFrames(m_buffer);
        if (m_buffer.isEmpty())
            m_countdown = 0; // nothing left to analyse
    }
    if (m_buffer.size() > kRunawayBytes)
        dropRunaway();
}

bool BurstReader::tick()
{
    if (m_countdown == 0)
        return false;
    --m_countdown;
    return m_countdown == 1;
}

void BurstReader::tickDone()
{
    if (m_quietTicks < 0xFF)
        ++m_quietTicks;
    if (m_claimEndsWithBurst && m_quietTicks >= timing::kQuietCountdown - 1)
        clearFrameClaim();
}

int BurstReader::ticksDue() const
{
    int due = 0;
    const auto sooner = [&due](int n) { due = due == 0 ? n : std::min(due, n); };
    // The countdown's last tick (1 to 0) does nothing: the analysis ran on the tick before it.
    if (m_countdown > 1)
        sooner(m_countdown - 1);
    if (m_claimEndsWithBurst)
        sooner(std::max(1, timing::kQuietCountdown - 1 - m_quietTicks));
    return due;
}

void BurstReader::pass(int n)
{
    // Counting only: the tick that does something is never passed over.
    m_countdown = static_cast<uint8_t>(std::max(0, m_countdown - n));
    m_quietTicks = static_cast<uint8_t>(std::min<int64_t>(0xFF, int64_t{m_quietTicks} + n));
}

QByteArray BurstReader::takeBurst()
{
    m_runawaySaid = false; // the line went quiet
    QByteArray burst = std::exchange(m_buffer, QByteArray());
    m_pendingClaimed = false;
    if (burst.isEmpty())
        return {};
    // A frame somebody claimed is data: its bytes are never searched for replies.
    takeClaimedFrames(burst);
    if (m_pendingClaimed) {
        m_buffer = burst + m_buffer; // the frame's rest is still to come
        return {};
    }
    return burst;
}

void BurstReader::putBack(const QByteArray& burst)
{
    m_buffer = burst + m_buffer;
    m_countdown = timing::kQuietCountdown;
}

void BurstReader::setFrameClaim(FrameDetector detect, FrameTaker take)
{
    m_claimDetect = std::move(detect);
    m_claimTake = std::move(take);
    m_claimEndsWithBurst = false;
}

void BurstReader::endFrameClaimWithBurst()
{
    m_claimDetect = [](QByteArrayView waiting) { return waiting.size(); };
    m_claimTake = [](QByteArrayView) {};
    m_claimEndsWithBurst = true;
}

void BurstReader::clearFrameClaim()
{
    m_claimDetect = nullptr;
    m_claimTake = nullptr;
    m_claimEndsWithBurst = false;
    dropClaimedStart();
}

void BurstReader::dropClaimedStart()
{
    if (std::exchange(m_pendingClaimed, false))
        m_buffer.clear();
}

void BurstReader::takeClaimedFrames(QByteArray& bytes)
{
    m_pendingClaimed = false;
    while (m_claimDetect && !bytes.isEmpty()) {
        const qsizetype n = m_claimDetect(bytes);
        if (n == kFrameIncomplete) {
            m_pendingClaimed = true;
            return;
        }
        if (n <= 0 || n > bytes.size())
            return;
        const QByteArray frame = bytes.left(n);
        bytes.remove(0, n);
        m_burstStart = false; // what follows a frame is the same burst
        // A copy: the taker may end or replace the claim while it runs.
        if (const FrameTaker take = m_claimTake)
            take(frame);
    }
}

void BurstReader::dropRunaway()
{
    // A line that never pauses and never forms a frame of a claim: its bytes are no reply anybody waits
    // for, and keeping them all would let it fill the memory.
    const qsizetype dropped = m_buffer.size();
    m_buffer.clear();
    m_pendingClaimed = false;
    const bool say = !std::exchange(m_runawaySaid, true);
    if (m_runaway)
        m_runaway(dropped, say);
}

} // namespace rv
