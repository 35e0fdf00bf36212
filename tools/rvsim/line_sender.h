#pragma once

// Sends the unit's bytes as a real line delivers them: optionally in random pieces a fraction of a
// millisecond to a few milliseconds apart (as USB serial adapters hand them on), and optionally paced
// at a baud rate (a pseudo-terminal has no speed of its own), or in lumps of whatever is due, as an
// adapter's latency timer hands bytes on. Runs on its own thread so that gaps below a millisecond are
// kept; replies go out whole and in order.

#include <QByteArray>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <random>
#include <thread>

namespace rvsim {

struct LineShape {
    int baud = 0;                       // 0: as fast as the pseudo-terminal takes it
    std::optional<uint32_t> splitSeed;  // set: every reply in random pieces of 1..200 bytes
    int lumpMs = 0;                     // > 0: all that is due goes in one write at most this often
};

class LineSender {
public:
    LineSender(int fd, LineShape shape);
    ~LineSender();
    LineSender(const LineSender&) = delete;
    LineSender& operator=(const LineSender&) = delete;

    void send(QByteArray bytes);

private:
    void run();
    bool writeAll(const char* data, qsizetype size);

    int m_fd;
    LineShape m_shape;
    std::mt19937 m_rng;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<QByteArray> m_queue;
    bool m_stop = false;
    std::thread m_thread;
};

} // namespace rvsim
