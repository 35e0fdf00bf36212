// The serial component on the Win32 communications API. The port is opened as \\.\COMn with share mode 0
// (a port that another program holds is busy), overlapped; the line is binary 8N1 without flow control. As on
// POSIX, the port's event thread takes every byte into the port's input queue as it arrives, and the owner's
// reads are served from there; writes are overlapped and bounded by the port's write time-outs.

#include "core/link/thread_comm.h"

#include "core/link/link.h"

#include <QMetaObject>

#include <chrono>
#include <condition_variable>
#include <cstring>

#include <windows.h>

namespace rv {

namespace {

HANDLE handleOf(intptr_t h)
{
    return reinterpret_cast<HANDLE>(h);
}

// The device for a port name: "COM3" becomes "\\.\COM3" (required from COM10 on, harmless below); a name
// that already has the prefix, or a path, is taken as it is.
std::wstring devicePath(const QString& name)
{
    QString path = name;
    if (!path.startsWith(QLatin1String("\\\\")) && !path.contains(u'\\') && !path.contains(u'/'))
        path.prepend(QLatin1String("\\\\.\\"));
    return path.toStdWString();
}

// The status bits of the COMSTAT record as one word (TComStatFlag).
uint32_t statusBits(const COMSTAT& s)
{
    const auto bit = [](bool on, TComStatFlag flag) { return on ? uint32_t(flag) : 0u; };
    return bit(s.fCtsHold, csCtsHold) | bit(s.fDsrHold, csDsrHold) | bit(s.fRlsdHold, csRlsdHold)
           | bit(s.fXoffHold, csXoffHold) | bit(s.fXoffSent, csXoffSent) | bit(s.fEof, csEof) | bit(s.fTxim, csTxim);
}

// An overlapped operation with its own manual-reset signal.
struct Overlapped {
    OVERLAPPED ov{};
    Overlapped() { ov.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr); }
    ~Overlapped()
    {
        if (ov.hEvent)
            ::CloseHandle(ov.hEvent);
    }
    Overlapped(const Overlapped&) = delete;
    Overlapped& operator=(const Overlapped&) = delete;
    bool ok() const { return ov.hEvent != nullptr; }
    OVERLAPPED* get()
    {
        HANDLE e = ov.hEvent;
        ov = OVERLAPPED{};
        ov.hEvent = e;
        ::ResetEvent(e);
        return &ov;
    }
};

// Runs an overlapped write to its end (the port's write time-outs bound it); the bytes moved, or -1 on an error.
int writeAll(HANDLE h, const void* buffer, DWORD count)
{
    Overlapped o;
    if (!o.ok())
        return -1;
    DWORD done = 0;
    OVERLAPPED* ov = o.get();
    const BOOL ok = ::WriteFile(h, buffer, count, &done, ov);
    if (ok)
        return static_cast<int>(done);
    if (::GetLastError() != ERROR_IO_PENDING)
        return -1; // an unplugged adapter fails here at once (ERROR_BAD_COMMAND, ERROR_ACCESS_DENIED ...)
    if (!::GetOverlappedResult(h, ov, &done, TRUE))
        return -1;
    return static_cast<int>(done);
}

int inQueue(HANDLE h)
{
    DWORD errors = 0;
    COMSTAT stat{};
    return ::ClearCommError(h, &errors, &stat) ? static_cast<int>(stat.cbInQue) : -1;
}

} // namespace

// Shared between the component and its event thread. The thread takes every byte into `queue`, the port's
// input queue, as it arrives, and the owner's reads are served from there. `detached` is set by Close before
// the thread is stopped; a notification already queued for the owning thread checks it and is dropped.
struct TThreadComm::EventThreadState {
    std::thread thread;
    std::atomic<bool> stop{false};
    std::atomic<bool> detached{false};
    std::mutex mutex;                 // guards what follows, and each read of the port into the queue
    std::condition_variable arrived;  // the queue grew, or the line was lost
    QByteArray queue;
    uint64_t arrivals = 0;            // bytes ever put into the queue
    uint64_t notified = 0;            // arrivals when the owner last measured the queue for a notification
    uint64_t purges = 0;              // input discards so far: a read begun before one brings nothing to keep
    bool posted = false;              // an rx notification is on its way to the owner or running there
    bool hungUp = false;
    OVERLAPPED* pendingRead = nullptr; // the thread's one-byte read while it waits for the line that way
    HANDLE wakeEvent = nullptr;       // stop, or room again in a full queue

    void wake() const { ::SetEvent(wakeEvent); }
};

namespace {
// Bytes the event thread keeps for an owner that does not read them; beyond that they wait in the driver.
constexpr qsizetype kQueueLimit = 1 << 20;
} // namespace

bool TThreadComm::CreateHandle()
{
    const std::wstring path = devicePath(m_deviceName);
    // Share mode 0: exclusive. Another program's open port fails here with ERROR_ACCESS_DENIED.
    const HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_OVERLAPPED, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        m_lastOpenErrno = static_cast<int>(::GetLastError());
        return false;
    }
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    // A file, a pipe or a character device that is no serial port (NUL, CON) is not a port.
    if (::GetFileType(h) != FILE_TYPE_CHAR || !::GetCommState(h, &dcb)) {
        m_lastOpenErrno = ERROR_INVALID_FUNCTION;
        ::CloseHandle(h);
        return false;
    }
    ::SetCommMask(h, EV_RXCHAR | EV_ERR);
    m_handle = reinterpret_cast<intptr_t>(h);
    m_open = true;
    m_lastOpenErrno = 0;
    return true;
}

void TThreadComm::DestroyHandle()
{
    if (m_handle != -1)
        ::CloseHandle(handleOf(m_handle));
    m_handle = -1;
    m_open = false;
}

void TThreadComm::UpdateCommTimeouts()
{
    if (!m_open)
        return;
    // Only the event thread reads the port. It asks either for bytes the driver already holds, or for one byte
    // when none waits: with no read time-out at all, that read ends when the byte comes and not before. The
    // owner's read time-out (1000 ms) is kept on the input queue. A write gets twice its time on the line and
    // at least half a second (writeTimeoutMs), so a few hundred bytes always complete.
    COMMTIMEOUTS t{};
    t.ReadIntervalTimeout = 0;
    t.ReadTotalTimeoutMultiplier = 0;
    t.ReadTotalTimeoutConstant = 0;
    t.WriteTotalTimeoutMultiplier = std::max(1, 20000 / baudRateValue(m_baudRate));
    t.WriteTotalTimeoutConstant = 500;
    if (!::SetCommTimeouts(handleOf(m_handle), &t))
        raise("Error updating CommTimeouts (Error: %d)", static_cast<int>(::GetLastError()));
}

void TThreadComm::UpdateDataControlBlock()
{
    if (!m_open)
        return;
    const HANDLE h = handleOf(m_handle);
    if (!::SetupComm(h, m_readBufSize, m_writeBufSize)) {
        raise("Error initializing Read/Write Buffers (Error: %d)", static_cast<int>(::GetLastError()));
        return;
    }
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!::GetCommState(h, &dcb)) {
        raise("Error updating DataControlBlock (Error: %d)", static_cast<int>(::GetLastError()));
        return;
    }
    dcb.BaudRate = static_cast<DWORD>(baudRateValue(m_baudRate));
    dcb.ByteSize = static_cast<BYTE>(4 + m_dataBits);
    static constexpr BYTE stopBits[] = {ONESTOPBIT, ONE5STOPBITS, TWOSTOPBITS};
    dcb.StopBits = stopBits[m_stopBits];
    static constexpr BYTE parities[] = {NOPARITY, ODDPARITY, EVENPARITY, MARKPARITY, SPACEPARITY};
    dcb.Parity = parities[m_parity];
    // Binary, no flow control of any kind: 0x11 and 0x13 are data, and the line never waits for CTS or DSR.
    dcb.fBinary = TRUE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fAbortOnError = FALSE; // a line error must not stall every later read and write
    dcb.fParity = m_options.contains(coParityCheck);
    dcb.fDsrSensitivity = m_options.contains(coDsrSensitivity);
    dcb.fTXContinueOnXoff = m_options.contains(coIgnoreXOff);
    dcb.fErrorChar = m_options.contains(coErrorChar);
    dcb.fNull = m_options.contains(coNullStrip);
    dcb.XonChar = m_eventChars.XOnChar();
    dcb.XoffChar = m_eventChars.XOffChar();
    dcb.ErrorChar = m_eventChars.ErrorChar();
    dcb.EofChar = m_eventChars.EofChar();
    dcb.EvtChar = m_eventChars.EvtChar();
    dcb.XonLim = 1024;
    dcb.XoffLim = 1024;
    if (!::SetCommState(h, &dcb))
        raise("Error updating DataControlBlock (Error: %d)", static_cast<int>(::GetLastError()));
}

int TThreadComm::Write(const char* buffer, int count)
{
    if (!m_open)
        return -1;
    std::lock_guard guard(m_lock);
    if (count <= 0)
        return 0;
    const int n = writeAll(handleOf(m_handle), buffer, static_cast<DWORD>(count));
    if (n < 0) {
        DWORD errors = 0;
        ::ClearCommError(handleOf(m_handle), &errors, nullptr);
        return 0;
    }
    return n;
}

int TThreadComm::Read(char* buffer, int count)
{
    if (!m_open)
        return -1;
    std::lock_guard guard(m_lock);
    if (count <= 0 || !m_thread)
        return 0;
    // The event thread puts the bytes into the queue as they arrive: take from there, and wait up to the
    // time-out for the rest. Bytes already waiting are never waited for. A lost line brings nothing more, so
    // its read returns at once.
    EventThreadState& state = *m_thread;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(1000);
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
                state.wake(); // room again: the thread takes what waits in the driver
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
        ::PurgeComm(handleOf(m_handle), PURGE_RXABORT | PURGE_RXCLEAR);
        return;
    }
    // Under the queue's lock, which the thread holds while it reads the driver's bytes or starts its wait
    // for the next one: no byte read before the purge survives it. PURGE_RXABORT does not end a pending read
    // everywhere (wine's driver only flushes), so the thread's one-byte read is cancelled first: whatever it
    // still brings came before the purge, and is dropped.
    std::lock_guard lock(m_thread->mutex);
    const bool wasFull = m_thread->queue.size() >= kQueueLimit;
    m_thread->queue.clear();
    ++m_thread->purges;
    if (m_thread->pendingRead)
        ::CancelIoEx(handleOf(m_handle), m_thread->pendingRead);
    ::PurgeComm(handleOf(m_handle), PURGE_RXABORT | PURGE_RXCLEAR);
    if (wasFull)
        m_thread->wake();
}

void TThreadComm::PurgeOut()
{
    if (m_open)
        ::PurgeComm(handleOf(m_handle), PURGE_TXABORT | PURGE_TXCLEAR);
}

int TThreadComm::InQueCount()
{
    if (!m_open)
        return -1;
    if (!m_thread)
        return inQueue(handleOf(m_handle));
    std::lock_guard lock(m_thread->mutex);
    return static_cast<int>(m_thread->queue.size());
}

int TThreadComm::OutQueCount()
{
    DWORD errors = 0;
    COMSTAT stat{};
    if (!m_open || !::ClearCommError(handleOf(m_handle), &errors, &stat))
        return -1;
    return static_cast<int>(stat.cbOutQue);
}

bool TThreadComm::GetModemState(int line)
{
    DWORD bits = 0;
    if (!m_open || !::GetCommModemStatus(handleOf(m_handle), &bits))
        return false;
    switch (line) {
    case 1: return bits & MS_CTS_ON;
    case 2: return bits & MS_DSR_ON;
    case 3: return bits & MS_RING_ON;
    case 4: return bits & MS_RLSD_ON;
    default: return false;
    }
}

bool TThreadComm::GetComState(uint32_t flag)
{
    DWORD errors = 0;
    COMSTAT stat{};
    if (!m_open || !::ClearCommError(handleOf(m_handle), &errors, &stat))
        return false;
    return (statusBits(stat) & flag) != 0;
}

void TThreadComm::EscapeComm(CommEscape function)
{
    if (!m_open) {
        raise("Port not open (Error: %d)", -1);
        return;
    }
    std::lock_guard guard(m_lock);
    // The enumeration holds the Win32 escape codes themselves (SETXOFF = 1 ... CLRBREAK = 9).
    if (!::EscapeCommFunction(handleOf(m_handle), static_cast<DWORD>(function)))
        raise("EscapeCommFunction failure (Error: %d)", static_cast<int>(::GetLastError()));
}

void TThreadComm::SetBREAKState(bool on)
{
    EscapeComm(on ? CommEscape::SetBreak : CommEscape::ClrBreak);
    if (m_open) {
        std::lock_guard guard(m_lock);
        PurgeIn();
        ::PurgeComm(handleOf(m_handle), PURGE_TXABORT | PURGE_TXCLEAR);
    }
}

// The event thread sleeps until the driver has bytes (or the line is lost), moves them into the queue and
// tells the owning thread. At most one rx notification is out at a time: when it has been handled and more
// bytes came meanwhile, the owner sends itself the next one. The thread sleeps in an overlapped
// WaitCommEvent(EV_RXCHAR | EV_ERR). A driver that cannot wait for events gets an overlapped read of one byte
// instead, which (with no read time-out) ends when that byte comes: wine's driver, on a pseudo-terminal, ends
// every WaitCommEvent at once with ERROR_OPERATION_ABORTED, the line having no modem status to watch. Either
// way the thread wakes only for the line and for its wake event (stop, or room again in a full queue), never
// on a timer. When the driver no longer answers for the port the adapter is gone: that is said once (evError),
// reads return at once from then on, and the next write, which fails at once, tells the session.
void TThreadComm::startEventThread()
{
    auto state = std::make_shared<EventThreadState>();
    state->wakeEvent = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!state->wakeEvent) {
        DestroyHandle(); // no thread, no port
        return;
    }
    const HANDLE h = handleOf(m_handle);
    const TCommEventTypes mask = m_monitorEvents;

    const auto postRx = [this](const auto& self, const std::shared_ptr<EventThreadState>& state) -> void {
        QMetaObject::invokeMethod(this, [this, self, state] {
            // Detached: the port is closed.
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
            if (state->arrivals > state->notified)
                self(self, state); // bytes came while the handler ran
            else
                state->posted = false;
        }, Qt::QueuedConnection);
    };
    const auto postError = [this, state] {
        QMetaObject::invokeMethod(this, [this, state] {
            if (!state->detached)
                HandleCommEvent(1u << evError);
        }, Qt::QueuedConnection);
    };

    try {
        state->thread = std::thread([state, h, mask, postRx, postError] {
            Overlapped op;
            if (!op.ok()) {
                std::lock_guard lock(state->mutex);
                state->hungUp = true; // no way to wait for the line: reads end at once, as on a lost one
                return;
            }
            char buf[4096];
            bool eventsWork = true;
            int emptyEvents = 0; // event waits in a row that brought no byte
            const auto lose = [&] {
                {
                    std::lock_guard lock(state->mutex);
                    state->hungUp = true;
                }
                state->arrived.notify_all();
                if (mask.contains(evError))
                    postError();
            };
            // Waits for the pending operation; when woken first, cancels it. Either way the caller completes
            // it (GetOverlappedResult) before its record is used again. False when woken.
            const auto awaitPending = [&](OVERLAPPED* ov) {
                const HANDLE waitFor[2] = {state->wakeEvent, ov->hEvent};
                if (::WaitForMultipleObjects(2, waitFor, FALSE, INFINITE) == WAIT_OBJECT_0 + 1)
                    return true;
                ::CancelIoEx(h, ov);
                return false;
            };
            while (!state->stop) {
                bool watchPort = false;
                {
                    std::lock_guard lock(state->mutex);
                    if (!state->posted && state->arrivals > state->notified && mask.contains(evRxChar)) {
                        state->posted = true;
                        postRx(postRx, state);
                    }
                    watchPort = !state->hungUp && state->queue.size() < kQueueLimit;
                }
                if (!watchPort) {
                    ::WaitForSingleObject(state->wakeEvent, INFINITE);
                    continue;
                }

                // What the driver holds goes into the queue at once (a line error is cleared on the way: the
                // bytes decide what the session does).
                DWORD got = 0;
                bool failed = false;
                {
                    std::lock_guard lock(state->mutex);
                    DWORD errors = 0;
                    COMSTAT cs{};
                    if (!::ClearCommError(h, &errors, &cs)) {
                        failed = true;
                    } else if (cs.cbInQue > 0) {
                        const DWORD want = static_cast<DWORD>(std::min<qsizetype>(
                            std::min<qsizetype>(cs.cbInQue, sizeof buf), kQueueLimit - state->queue.size()));
                        OVERLAPPED* ov = op.get();
                        BOOL ok = ::ReadFile(h, buf, want, &got, ov);
                        if (!ok && ::GetLastError() == ERROR_IO_PENDING)
                            ok = ::GetOverlappedResult(h, ov, &got, TRUE); // the bytes are there: at once
                        if (!ok) {
                            failed = true;
                            got = 0;
                        } else if (got > 0) {
                            state->queue.append(buf, static_cast<qsizetype>(got));
                            state->arrivals += got;
                        }
                    }
                }
                if (failed) {
                    lose();
                    continue;
                }
                if (got > 0) {
                    emptyEvents = 0;
                    state->arrived.notify_all();
                    continue;
                }

                // Nothing waits: sleep until the line brings something.
                if (eventsWork) {
                    DWORD events = 0;
                    DWORD ignored = 0;
                    OVERLAPPED* ov = op.get();
                    bool waited = ::WaitCommEvent(h, &events, ov) != FALSE;
                    bool cancelled = false;
                    if (!waited && ::GetLastError() == ERROR_IO_PENDING) {
                        // A byte that came just before the wait began need not be among its events.
                        if (inQueue(h) > 0) {
                            ::CancelIoEx(h, ov);
                            cancelled = true;
                        } else {
                            cancelled = !awaitPending(ov);
                        }
                        waited = ::GetOverlappedResult(h, ov, &ignored, TRUE) != FALSE;
                    }
                    if (waited) {
                        // A driver whose waits end with no byte again and again is not waited on any more.
                        if (++emptyEvents > 16)
                            eventsWork = false;
                    } else if (!cancelled) {
                        // A lost adapter is seen at the top of the loop; a port still there cannot wait.
                        if (inQueue(h) >= 0)
                            eventsWork = false;
                    }
                    continue;
                }
                DWORD one = 0;
                BOOL ok = FALSE;
                DWORD error = 0;
                uint64_t purgesBefore = 0;
                OVERLAPPED* ov = op.get();
                {
                    // Begun under the queue's lock: a purge comes either before it or aborts it.
                    std::lock_guard lock(state->mutex);
                    purgesBefore = state->purges;
                    ok = ::ReadFile(h, buf, 1, &one, ov);
                    error = ok ? 0 : ::GetLastError();
                    if (!ok && error == ERROR_IO_PENDING)
                        state->pendingRead = ov;
                }
                bool cancelled = false;
                if (!ok && error == ERROR_IO_PENDING) {
                    cancelled = !awaitPending(ov);
                    ok = ::GetOverlappedResult(h, ov, &one, TRUE);
                    error = ok ? 0 : ::GetLastError();
                }
                bool discarded = false;
                if (ok && one > 0) {
                    {
                        std::lock_guard lock(state->mutex);
                        state->pendingRead = nullptr;
                        if (state->purges == purgesBefore) {
                            state->queue.append(buf, 1);
                            ++state->arrivals;
                        }
                    }
                    state->arrived.notify_all();
                    continue;
                }
                {
                    std::lock_guard lock(state->mutex);
                    state->pendingRead = nullptr;
                    discarded = state->purges != purgesBefore;
                }
                if (cancelled || (error == ERROR_OPERATION_ABORTED && discarded))
                    continue;
                // A read with no time-out that ends with nothing, or fails: the adapter is gone (or the far end
                // of a pseudo-terminal closed).
                lose();
            }
        });
    } catch (const std::system_error&) {
        ::CloseHandle(state->wakeEvent);
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
    ::CloseHandle(state->wakeEvent);
    // Only what came in is dropped: what the program wrote last ("CONFIGC" before a close) must still reach
    // the unit.
    if (m_handle != -1)
        ::PurgeComm(handleOf(m_handle), PURGE_RXABORT | PURGE_RXCLEAR);
}

int TThreadComm::HandleCommEvent(uint32_t events)
{
    if (!m_open)
        return 0;
    TComStat stat;
    DWORD errors = 0;
    COMSTAT cs{};
    if (::ClearCommError(handleOf(m_handle), &errors, &cs)) {
        stat.status = statusBits(cs);
        stat.outQue = cs.cbOutQue;
    }
    stat.inQue = static_cast<uint32_t>(std::max(0, InQueCount()));
    const auto has = [events](TCommEventType e) { return (events & (1u << e)) != 0; };
    if (has(evBreak) && OnBreak) OnBreak(this);
    if (has(evCts) && OnCts) OnCts(this);
    if (has(evDsr) && OnDsr) OnDsr(this);
    if (has(evError) && OnError) OnError(this, errors);
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
    // Windows answers "access denied" for a port that another program holds open.
    case ERROR_ACCESS_DENIED: case ERROR_SHARING_VIOLATION: case ERROR_BUSY: return OpenFailure::Busy;
    case ERROR_FILE_NOT_FOUND: case ERROR_PATH_NOT_FOUND: case ERROR_INVALID_NAME: case ERROR_BAD_PATHNAME:
    case ERROR_DEV_NOT_EXIST: case ERROR_DEVICE_NOT_CONNECTED:
        return OpenFailure::Missing;
    case ERROR_INVALID_FUNCTION: case ERROR_NOT_SUPPORTED: return OpenFailure::NotSerial;
    default: return OpenFailure::Other;
    }
}

QString portOpenFailureText(const QString& device, int error)
{
    // The user knows the port as "COM12", not as the device "\\.\COM12".
    QString port = device;
    if (port.startsWith(QLatin1String("\\\\.\\")))
        port = port.mid(4);
    switch (openFailureOf(error)) {
    case OpenFailure::None: return {};
    case OpenFailure::Busy: return QStringLiteral("Порт %1 занят другой программой").arg(port);
    case OpenFailure::Missing: return QStringLiteral("Порт %1 не найден").arg(port);
    case OpenFailure::NotSerial: return QStringLiteral("%1 не является последовательным портом").arg(port);
    case OpenFailure::Denied:
    case OpenFailure::Other: break;
    }
    return QStringLiteral("Не удалось открыть порт %1 (ошибка Windows %2)").arg(port).arg(error);
}

} // namespace rv
