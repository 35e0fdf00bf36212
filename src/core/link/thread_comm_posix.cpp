// The serial component on POSIX termios. The port runs raw (no echo, no XON/XOFF, no CR rewriting), is
// opened exclusively (TIOCEXCL and an flock, since TIOCEXCL alone does not stop root) and non-blocking;
// the read and write time-outs are kept with poll().

#include "core/link/thread_comm.h"

#include "core/link/link.h"

#include <QMetaObject>
#include <QSemaphore>

#include <cerrno>
#include <chrono>
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

// Shared between the component and its event thread. `detached` is set by Close before the thread is
// stopped; a notification already queued for the owning thread checks it and is dropped.
struct TThreadComm::EventThreadState {
    std::thread thread;
    std::atomic<bool> stop{false};
    std::atomic<bool> detached{false};
    // What the owner took from the input queue since the thread last looked, so that bytes arriving
    // right after a read or a purge count as new even when the queue did not visibly shrink.
    std::atomic<int> consumed{0};
    std::atomic<bool> purged{false};
    // The queue size the owner's handler reported in the last rx notification (-1: none). The thread
    // takes it as "reported" rather than looking again after the handler returned, so that bytes
    // arriving while the handler ran are never taken for bytes already notified.
    std::atomic<int> reported{-1};
    int wakeRead = -1;
    int wakeWrite = -1;
};

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
            pollfd p{m_handle, POLLOUT, 0};
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
    if (count <= 0)
        return 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(1000);
    int total = 0;
    while (total < count) {
        const ssize_t n = ::read(m_handle, buffer + total, static_cast<size_t>(count - total));
        if (n > 0) {
            total += static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        // A raw non-blocking tty answers 0 or EAGAIN when nothing waits: wait for more until the deadline.
        if (n == 0 || errno == EAGAIN || errno == EWOULDBLOCK) {
            pollfd p{m_handle, POLLIN, 0};
            const int left = msLeft(deadline);
            if (left == 0 || ::poll(&p, 1, left) <= 0 || !(p.revents & POLLIN))
                break;
            // A hung-up line stays "readable" and reads nothing: return what came instead of spinning
            // until the deadline.
            if (p.revents & (POLLHUP | POLLERR | POLLNVAL))
                break;
            continue;
        }
        break; // an error (the adapter is gone): return what arrived
    }
    if (m_thread)
        m_thread->consumed += total;
    return total;
}

void TThreadComm::PurgeIn()
{
    if (!m_open)
        return;
    std::lock_guard guard(m_lock);
    ::tcflush(m_handle, TCIFLUSH);
    if (m_thread)
        m_thread->purged = true;
}

void TThreadComm::PurgeOut()
{
    if (m_open)
        ::tcflush(m_handle, TCOFLUSH);
}

int TThreadComm::InQueCount()
{
    int n = 0;
    if (!m_open || ::ioctl(m_handle, FIONREAD, &n) != 0)
        return -1;
    return n;
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
        ::tcflush(m_handle, TCIOFLUSH);
    }
}

// The event thread waits for bytes (or a hang-up) and hands each event to the owning thread, waiting
// until the handler has returned. Termios reports "readable" for as long as bytes wait, so an rx event is
// raised only when the input queue has grown since the last one, like a byte-received event.
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

    auto deliver = [this, state](uint32_t events) {
        auto done = std::make_shared<QSemaphore>();
        QMetaObject::invokeMethod(this, [this, state, events, done] {
            if (!state->detached) {
                // Reads and purges run on this thread too: what they did before the handler measured the
                // queue is already in its measurement.
                state->consumed = 0;
                state->purged = false;
                state->reported = HandleCommEvent(events);
            }
            done->release();
        }, Qt::QueuedConnection);
        while (!done->tryAcquire(1, 20)) {
            if (state->stop)
                return false;
        }
        return true;
    };

    try {
        state->thread = std::thread([state, fd, mask, deliver] {
            const auto inQueue = [fd] {
                int n = 0;
                return ::ioctl(fd, FIONREAD, &n) == 0 ? n : 0;
            };
            int lastQueued = 0;
            bool hungUp = false;
            while (!state->stop) {
                int queued = inQueue();
                if (state->purged.exchange(false))
                    lastQueued = 0;
                lastQueued = std::max(0, lastQueued - state->consumed.exchange(0));
                if (queued < lastQueued || !mask.contains(evRxChar))
                    lastQueued = queued; // read or discarded meanwhile
                if (!hungUp && queued > lastQueued) {
                    if (!deliver(1u << evRxChar))
                        break;
                    const int seen = state->reported.exchange(-1);
                    lastQueued = seen >= 0 ? seen : queued;
                    continue;
                }
                // Nothing new. With the queue empty, wait for the port; with bytes still unread, the port
                // stays readable, so look again shortly for growth instead.
                const bool watchPort = !hungUp && queued == 0;
                pollfd p[2] = {{state->wakeRead, POLLIN, 0}, {fd, POLLIN, 0}};
                const int n = ::poll(p, watchPort ? 2 : 1, watchPort || hungUp ? -1 : 2);
                if (n < 0 && errno != EINTR)
                    break;
                if (state->stop || (p[0].revents & POLLIN))
                    break;
                if (watchPort && (p[1].revents & (POLLHUP | POLLERR | POLLNVAL)) && inQueue() == 0) {
                    // The adapter is gone (or the far end of a pseudo-terminal closed). Report it once and
                    // then only wait to be stopped: the next write tells the session the link is lost.
                    hungUp = true;
                    if (mask.contains(evError) && !deliver(1u << evError))
                        break;
                }
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
    const char wake = 1;
    [[maybe_unused]] const ssize_t w = ::write(state->wakeWrite, &wake, 1);
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
    int n = 0;
    if (::ioctl(m_handle, FIONREAD, &n) == 0 && n > 0)
        stat.inQue = static_cast<uint32_t>(n);
    n = 0;
    if (::ioctl(m_handle, TIOCOUTQ, &n) == 0 && n > 0)
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
