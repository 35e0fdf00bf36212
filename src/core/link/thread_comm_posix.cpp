// The serial component on POSIX termios. The port runs raw (no echo, no XON/XOFF, no CR rewriting), is
// opened exclusively (TIOCEXCL and an flock, since TIOCEXCL alone does not stop root) and non-blocking;
// the write time-out is kept with poll(), the read time-out on the event thread's input queue.

#include "core/link/thread_comm.h"

#include "core/link/link.h"

#include <QMetaObject>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace rv {

namespace {

using Clock = std::chrono::steady_clock;

int msLeft(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

speed_t speedOf(TBaudRate rate)
{
    switch (rate) {
    case br110: return B110;
    case br300: return B300;
    case br600: return B600;
    case br1200: return B1200;
    case br2400: return B2400;
    case br4800: return B4800;
    case br9600: return B9600;
    case br19200: return B19200;
    case br38400: return B38400;
    case br57600: return B57600;
    case br115200: return B115200;
    case br14400: case br56000: case br128000: case br256000: break; // no termios constant
    }
    return 0;
}

} // namespace

// Shared between the component and its event thread. The thread reads every byte as it arrives into
// `queue`, the port's input queue (what a driver's queue is elsewhere), so that it can sleep until the
// port has more: a tty stays "readable" for as long as bytes wait in it. `detached` is set by Close
// before the thread is stopped; a notification already queued for the owning thread checks it and is
// dropped.
struct TThreadComm::EventThreadState {
    std::thread thread;
    std::atomic<bool> stop{false};
    std::atomic<bool> detached{false};
    std::mutex mutex;                 // guards what follows, and each read of the port into the queue
    std::condition_variable arrived;  // the queue grew, or the line hung up
    QByteArray queue;
    uint64_t arrivals = 0;            // bytes ever put into the queue
    uint64_t notified = 0;            // arrivals when the owner last measured the queue for a notification
    bool posted = false;              // an rx notification is on its way to the owner or running there
    bool hungUp = false;
    int wakeRead = -1;
    int wakeWrite = -1;

    void wake() const
    {
        const char byte = 1;
        [[maybe_unused]] const ssize_t w = ::write(wakeWrite, &byte, 1);
    }
};

namespace {
// Bytes the event thread keeps for an owner that does not read them; beyond that they wait in the port.
constexpr qsizetype kQueueLimit = 1 << 20;
} // namespace

bool TThreadComm::CreateHandle()
{
    const QByteArray path = m_deviceName.toLocal8Bit();
    const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        m_lastOpenErrno = errno;
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode) || !::isatty(fd)) {
        m_lastOpenErrno = ENOTTY;
        ::close(fd);
        return false;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        m_lastOpenErrno = EBUSY;
        ::close(fd);
        return false;
    }
    ::ioctl(fd, TIOCEXCL);
    m_handle = fd;
    m_open = true;
    m_lastOpenErrno = 0;
    return true;
}

void TThreadComm::DestroyHandle()
{
    if (m_handle >= 0) {
        ::ioctl(m_handle, TIOCNXCL);
        ::flock(m_handle, LOCK_UN);
        ::close(m_handle);
    }
    m_handle = -1;
    m_open = false;
}

void TThreadComm::UpdateCommTimeouts()
{
    // The time-outs in use are fixed: a read returns when its count is there or after 1000 ms; a write
    // gets time in proportion to its length. Both are kept by poll() in Read and Write.
}

void TThreadComm::UpdateDataControlBlock()
{
    if (!m_open)
        return;
    termios tio {};
    if (::tcgetattr(m_handle, &tio) != 0) {
        raise("Error updating DataControlBlock (Error: %d)", errno);
        return;
    }
    const speed_t speed = speedOf(m_baudRate);
    if (speed == 0 || m_dataBits == da4) {
        raise("Error updating DataControlBlock (Error: %d)", EINVAL);
        return;
    }
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    ::cfsetispeed(&tio, speed);
    ::cfsetospeed(&tio, speed);

    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE);
    static constexpr tcflag_t sizes[] = {CS5, CS5, CS6, CS7, CS8};
    tio.c_cflag |= sizes[m_dataBits];

    // POSIX has no 1.5 stop bits; it means two, as on most UARTs with 6 or more data bits.
    if (m_stopBits == sb10)
        tio.c_cflag &= ~static_cast<tcflag_t>(CSTOPB);
    else
        tio.c_cflag |= CSTOPB;

    tio.c_cflag &= ~static_cast<tcflag_t>(PARENB | PARODD | CMSPAR);
    switch (m_parity) {
    case paNone: break;
    case paOdd: tio.c_cflag |= PARENB | PARODD; break;
    case paEven: tio.c_cflag |= PARENB; break;
    case paMark: tio.c_cflag |= PARENB | PARODD | CMSPAR; break;
    case paSpace: tio.c_cflag |= PARENB | CMSPAR; break;
    }
    if (m_options.contains(coParityCheck))
        tio.c_iflag |= INPCK;
    // coErrorChar has no effect: PARMRK would double every 0xFF byte of valid data.
    tio.c_iflag &= ~static_cast<tcflag_t>(PARMRK);
    tio.c_cc[VSTART] = static_cast<cc_t>(m_eventChars.XOnChar());
    tio.c_cc[VSTOP] = static_cast<cc_t>(m_eventChars.XOffChar());
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (::tcsetattr(m_handle, TCSANOW, &tio) != 0)
        raise("Error updating DataControlBlock (Error: %d)", errno);
}

int TThreadComm::Write(const char* buffer, int count)
{
    if (!m_open)
        return -1;
    std::lock_guard guard(m_lock);
    if (count <= 0)
        return 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(writeTimeoutMs(count));
    int total = 0;
    while (total < count) {
        const ssize_t n = ::write(m_handle, buffer + total, static_cast<size_t>(count - total));
        if (n > 0) {
            total += static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd p{static_cast<int>(m_handle), POLLOUT, 0};
            const int left = msLeft(deadline);
            if (left == 0 || ::poll(&p, 1, left) <= 0 || (p.revents & (POLLERR | POLLHUP | POLLNVAL)))
                break;
            continue;
        }
        break; // EIO and the like: the adapter is gone
    }
    return total;
}

int TThreadComm::Read(char* buffer, int count)
{
    if (!m_open)
        return -1;
    std::lock_guard guard(m_lock);
    if (count <= 0 || !m_thread)
        return 0;
    // The event thread puts the bytes into the queue as they arrive: take from there first, then what is
    // still in the port (under the queue's lock, as the thread reads, so the order holds), and wait up to
    // the time-out for the rest. Bytes already waiting are never waited for. A hung-up line brings
    // nothing more, so its read returns at once.
    EventThreadState& state = *m_thread;
    const auto deadline = Clock::now() + std::chrono::milliseconds(1000);
    int total = 0;
    std::unique_lock lock(state.mutex);
    while (true) {
        const int n = static_cast<int>(std::min<qsizetype>(count - total, state.queue.size()));
        if (n > 0) {
            const bool wasFull = state.queue.size() >= kQueueLimit;
            std::memcpy(buffer + total, state.queue.constData(), static_cast<size_t>(n));
            state.queue.remove(0, n);
            total += n;
            if (wasFull)
                state.wake(); // room again: the thread takes what waits in the port
        }
        while (total < count && state.queue.isEmpty() && !state.hungUp) {
            const ssize_t got = ::read(m_handle, buffer + total, static_cast<size_t>(count - total));
            if (got > 0)
                total += static_cast<int>(got);
            else if (!(got < 0 && errno == EINTR))
                break;
        }
        if (total == count || state.hungUp)
            break;
        if (!state.arrived.wait_until(lock, deadline, [&] { return !state.queue.isEmpty() || state.hungUp; }))
            break;
    }
    return total;
}

void TThreadComm::PurgeIn()
{
    if (!m_open)
        return;
    std::lock_guard guard(m_lock);
    if (!m_thread) {
        ::tcflush(m_handle, TCIFLUSH);
        return;
    }
    // Under the queue's lock, which the thread holds while it reads the port: no byte read before the
    // purge survives it.
    std::lock_guard lock(m_thread->mutex);
    const bool wasFull = m_thread->queue.size() >= kQueueLimit;
    m_thread->queue.clear();
    ::tcflush(m_handle, TCIFLUSH);
    if (wasFull)
        m_thread->wake();
}

void TThreadComm::PurgeOut()
{
    if (m_open)
        ::tcflush(m_handle, TCOFLUSH);
}

int TThreadComm::InQueCount()
{
    if (!m_open)
        return -1;
    // Both parts under the queue's lock: a byte the thread moves meanwhile must not be counted twice (a
    // read of that many would then wait for a byte that never comes).
    std::unique_lock<std::mutex> lock;
    if (m_thread)
        lock = std::unique_lock(m_thread->mutex);
    int n = 0;
    if (::ioctl(m_handle, FIONREAD, &n) != 0)
        return -1;
    return n + (m_thread ? static_cast<int>(m_thread->queue.size()) : 0);
}

int TThreadComm::OutQueCount()
{
    int n = 0;
    if (!m_open || ::ioctl(m_handle, TIOCOUTQ, &n) != 0)
        return -1;
    return n;
}

bool TThreadComm::GetModemState(int line)
{
    int bits = 0;
    if (!m_open || ::ioctl(m_handle, TIOCMGET, &bits) != 0)
        return false;
    switch (line) {
    case 1: return bits & TIOCM_CTS;
    case 2: return bits & TIOCM_DSR;
    case 3: return bits & TIOCM_RNG;
    case 4: return bits & TIOCM_CAR;
    default: return false;
    }
}

bool TThreadComm::GetComState(uint32_t flag)
{
    // The hold flags of the status record (waiting for CTS, DSR, RLSD, XOFF ...) are not reported by
    // termios; none is ever set.
    Q_UNUSED(flag);
    return false;
}

void TThreadComm::EscapeComm(CommEscape function)
{
    if (!m_open) {
        raise("Port not open (Error: %d)", -1);
        return;
    }
    std::lock_guard guard(m_lock);
    int rc = 0;
    int bit = 0;
    switch (function) {
    case CommEscape::SetXOff: rc = ::tcflow(m_handle, TCOOFF); break;
    case CommEscape::SetXOn: rc = ::tcflow(m_handle, TCOON); break;
    case CommEscape::SetRts: bit = TIOCM_RTS; rc = ::ioctl(m_handle, TIOCMBIS, &bit); break;
    case CommEscape::ClrRts: bit = TIOCM_RTS; rc = ::ioctl(m_handle, TIOCMBIC, &bit); break;
    case CommEscape::SetDtr: bit = TIOCM_DTR; rc = ::ioctl(m_handle, TIOCMBIS, &bit); break;
    case CommEscape::ClrDtr: bit = TIOCM_DTR; rc = ::ioctl(m_handle, TIOCMBIC, &bit); break;
    case CommEscape::SetBreak: rc = ::ioctl(m_handle, TIOCSBRK); break;
    case CommEscape::ClrBreak: rc = ::ioctl(m_handle, TIOCCBRK); break;
    }
    if (rc != 0)
        raise("EscapeCommFunction failure (Error: %d)", errno);
}

void TThreadComm::SetBREAKState(bool on)
{
    EscapeComm(on ? CommEscape::SetBreak : CommEscape::ClrBreak);
    if (m_open) {
        std::lock_guard guard(m_lock);
        PurgeIn();
        ::tcflush(m_handle, TCOFLUSH);
    }
}

// The event thread sleeps until the port has bytes (or hangs up), moves them into the queue and tells the
// owning thread. At most one rx notification is out at a time: when it has been handled and more bytes
// came meanwhile, the next one goes out. The thread wakes only for the port and for its wake pipe (the
// owner's handler is done, room in a full queue, or stop): never on a timer.
void TThreadComm::startEventThread()
{
    auto state = std::make_shared<EventThreadState>();
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) {
        DestroyHandle(); // no thread, no port
        return;
    }
    state->wakeRead = pipeFds[0];
    state->wakeWrite = pipeFds[1];
    const int fd = m_handle;
    const TCommEventTypes mask = m_monitorEvents;

    const auto postRx = [this, state] {
        QMetaObject::invokeMethod(this, [this, state] {
            // Detached: the port is closed and the wake pipe with it.
            if (state->detached)
                return;
            {
                std::lock_guard lock(state->mutex);
                state->notified = state->arrivals;
            }
            HandleCommEvent(1u << evRxChar);
            if (state->detached)
                return; // the handler closed the port
            std::lock_guard lock(state->mutex);
            state->posted = false;
            if (state->arrivals > state->notified)
                state->wake(); // bytes came while the handler ran
        }, Qt::QueuedConnection);
    };
    const auto postError = [this, state] {
        QMetaObject::invokeMethod(this, [this, state] {
            if (!state->detached)
                HandleCommEvent(1u << evError);
        }, Qt::QueuedConnection);
    };

    try {
        state->thread = std::thread([state, fd, mask, postRx, postError] {
            char buf[4096];
            while (!state->stop) {
                bool watchPort = false;
                {
                    std::lock_guard lock(state->mutex);
                    if (!state->posted && state->arrivals > state->notified && mask.contains(evRxChar)) {
                        state->posted = true;
                        postRx();
                    }
                    watchPort = !state->hungUp && state->queue.size() < kQueueLimit;
                }
                pollfd p[2] = {{state->wakeRead, POLLIN, 0}, {fd, POLLIN, 0}};
                if (::poll(p, watchPort ? 2 : 1, -1) < 0) {
                    if (errno == EINTR)
                        continue;
                    break;
                }
                if (state->stop)
                    break;
                if (p[0].revents & POLLIN) {
                    char drain[64];
                    while (::read(state->wakeRead, drain, sizeof drain) > 0) {}
                }
                if (!watchPort || !(p[1].revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)))
                    continue;
                bool hungUp = false;
                {
                    std::lock_guard lock(state->mutex);
                    const size_t room = static_cast<size_t>(std::min<qsizetype>(sizeof buf, kQueueLimit - state->queue.size()));
                    const ssize_t got = ::read(fd, buf, room);
                    if (got > 0) {
                        state->queue.append(buf, got);
                        state->arrivals += static_cast<uint64_t>(got);
                    } else if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
                        continue;
                    } else if (got == 0 && !(p[1].revents & (POLLHUP | POLLERR | POLLNVAL))) {
                        continue; // the owner's read took the bytes first
                    } else {
                        // "Readable" and nothing to read: the adapter is gone (or the far end of a
                        // pseudo-terminal closed). Said once; then the thread only waits to be stopped, and
                        // the next write tells the session the link is lost.
                        state->hungUp = hungUp = true;
                    }
                }
                state->arrived.notify_all();
                if (hungUp && mask.contains(evError))
                    postError();
            }
        });
    } catch (const std::system_error&) {
        ::close(state->wakeRead);
        ::close(state->wakeWrite);
        DestroyHandle();
        return;
    }
    m_thread = std::move(state);
}

void TThreadComm::stopEventThread()
{
    if (!m_thread)
        return;
    auto state = std::move(m_thread);
    state->detached = true;
    state->stop = true;
    state->wake();
    if (state->thread.joinable())
        state->thread.join();
    ::close(state->wakeRead);
    ::close(state->wakeWrite);
    // Only what came in is dropped. What the program wrote last ("CONFIGC" before a close) must still reach
    // the unit: flushing the output here discarded it whenever the line had not taken it yet (on a
    // pseudo-terminal, the far end's unread input is flushed with it).
    if (m_handle >= 0)
        ::tcflush(m_handle, TCIFLUSH);
}

int TThreadComm::HandleCommEvent(uint32_t events)
{
    if (!m_open)
        return 0;
    TComStat stat;
    stat.inQue = static_cast<uint32_t>(std::max(0, InQueCount()));
    int n = 0;
    if (OnComStatEvent && ::ioctl(m_handle, TIOCOUTQ, &n) == 0 && n > 0)
        stat.outQue = static_cast<uint32_t>(n);
    const auto has = [events](TCommEventType e) { return (events & (1u << e)) != 0; };
    if (has(evBreak) && OnBreak) OnBreak(this);
    if (has(evCts) && OnCts) OnCts(this);
    if (has(evDsr) && OnDsr) OnDsr(this);
    if (has(evError) && OnError) OnError(this, 0);
    if (has(evRing) && OnRing) OnRing(this);
    if (has(evRlsd) && OnRlsd) OnRlsd(this);
    if (has(evRxChar) && OnRxChar && stat.inQue > 0) OnRxChar(this, stat.inQue);
    if (has(evRxFlag) && OnRxFlag) OnRxFlag(this);
    if (has(evTxEmpty) && OnTxEmpty) OnTxEmpty(this);
    if (OnComStatEvent && m_open) OnComStatEvent(this, events, stat);
    return static_cast<int>(stat.inQue);
}

OpenFailure openFailureOf(int error)
{
    switch (error) {
    case 0: return OpenFailure::None;
    case EACCES: case EPERM: return OpenFailure::Denied;
    case ENOENT: case ENXIO: case ENODEV: return OpenFailure::Missing;
    case EBUSY: case EWOULDBLOCK: return OpenFailure::Busy;
    case ENOTTY: return OpenFailure::NotSerial;
    default: return OpenFailure::Other;
    }
}

QString portOpenFailureText(const QString& device, int error)
{
    switch (error) {
    case EACCES:
    case EPERM: {
        // Joining the port's group helps only when the group may read and write it: for a 0600 root:root
        // device, "join root" would be wrong advice.
        QString group;
        struct stat st {};
        constexpr mode_t groupReadWrite = S_IRGRP | S_IWGRP;
        if (::stat(device.toLocal8Bit().constData(), &st) == 0 && (st.st_mode & groupReadWrite) == groupReadWrite) {
            const struct group* g = ::getgrgid(st.st_gid);
            group = g ? QString::fromLocal8Bit(g->gr_name) : QString::number(st.st_gid);
        }
        if (group.isEmpty())
            return QStringLiteral("Нет доступа к порту %1: права на устройство не позволяют пользователю читать и "
                                  "писать в него.\nПопросите администратора открыть доступ к порту (например, "
                                  "правилом udev).")
                .arg(device);
        return QStringLiteral("Нет доступа к порту %1: он принадлежит группе «%2», а пользователь в неё не входит.\n"
                              "Добавьте пользователя в группу (sudo usermod -aG %2 $USER) и войдите в систему заново.")
            .arg(device, group);
    }
    case ENOENT:
    case ENXIO:
    case ENODEV:
        return QStringLiteral("Порт %1 не найден").arg(device);
    case EBUSY:
    case EWOULDBLOCK:
        return QStringLiteral("Порт %1 занят другой программой").arg(device);
    case ENOTTY:
        return QStringLiteral("%1 не является последовательным портом").arg(device);
    default:
        return QStringLiteral("Не удалось открыть порт %1: %2").arg(device, QString::fromLocal8Bit(std::strerror(error)));
    }
}

} // namespace rv
