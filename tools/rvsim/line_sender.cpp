#include "line_sender.h"

#include <cerrno>
#include <chrono>
#include <poll.h>
#include <unistd.h>

namespace rvsim {

namespace {
using Clock = std::chrono::steady_clock;
constexpr int kPieceMin = 1, kPieceMax = 200;
constexpr int kGapMinUs = 100, kGapMaxUs = 3000;
constexpr qsizetype kPacedChunk = 32; // bytes handed on at a time on a paced line without split
constexpr int kStuckMs = 2000;        // a reader that takes nothing for this long is not there
} // namespace

LineSender::LineSender(int fd, LineShape shape)
    : m_fd(fd), m_shape(shape), m_rng(shape.splitSeed.value_or(1)), m_thread([this] { run(); })
{
}

LineSender::~LineSender()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void LineSender::send(QByteArray bytes)
{
    if (bytes.isEmpty())
        return;
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back(std::move(bytes));
    }
    m_wake.notify_all();
}

bool LineSender::writeAll(const char* data, qsizetype size)
{
    qsizetype done = 0;
    while (done < size) {
        const ssize_t n = ::write(m_fd, data + done, static_cast<size_t>(size - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN) {
            pollfd p{m_fd, POLLOUT, 0};
            if (::poll(&p, 1, kStuckMs) > 0 && !(p.revents & (POLLERR | POLLNVAL)))
                continue;
        }
        return false; // nobody listening: the rest of the reply is lost, as on a real line
    }
    return true;
}

void LineSender::run()
{
    auto lineFree = Clock::now();
    std::unique_lock lock(m_mutex);
    while (true) {
        m_wake.wait(lock, [this] { return m_stop || !m_queue.empty(); });
        if (m_stop)
            return;
        if (m_shape.lumpMs > 0) {
            // What comes within the window, several replies or bursts alike, goes on in one write.
            m_wake.wait_until(lock, Clock::now() + std::chrono::milliseconds(m_shape.lumpMs), [this] { return m_stop; });
            if (m_stop)
                return;
            QByteArray lump;
            for (; !m_queue.empty(); m_queue.pop_front())
                lump += m_queue.front();
            lock.unlock();
            writeAll(lump.constData(), lump.size());
            lock.lock();
            continue;
        }
        const QByteArray bytes = std::move(m_queue.front());
        m_queue.pop_front();
        lock.unlock();
        qsizetype at = 0;
        while (at < bytes.size()) {
            qsizetype len = bytes.size() - at;
            if (m_shape.splitSeed)
                len = std::min<qsizetype>(len, std::uniform_int_distribution<int>(kPieceMin, kPieceMax)(m_rng));
            else if (m_shape.baud > 0)
                len = std::min(len, kPacedChunk);
            if (!writeAll(bytes.constData() + at, len))
                break;
            at += len;
            if (at >= bytes.size() && m_shape.baud <= 0)
                break;
            if (m_shape.baud > 0) {
                // Ten bits a byte: the next piece leaves when this one has crossed the line. A wake-up a little
                // late does not slow the line (a UART's buffer keeps it busy): the schedule goes on from when
                // the line was due to be free, and only a line that was idle starts from now.
                const auto piece = std::chrono::microseconds(10'000'000LL * len / m_shape.baud);
                const auto now = Clock::now();
                lineFree = (now - lineFree < piece ? std::max(lineFree, now - piece) : now) + piece;
                std::this_thread::sleep_until(lineFree);
            } else {
                std::this_thread::sleep_for(
                    std::chrono::microseconds(std::uniform_int_distribution<int>(kGapMinUs, kGapMaxUs)(m_rng)));
            }
            std::lock_guard stopCheck(m_mutex);
            if (m_stop)
                return;
        }
        lock.lock();
    }
}

} // namespace rvsim
