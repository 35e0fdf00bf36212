// The serial component on the Win32 communications API. The port is opened as \\.\COMn with share mode 0
// (a port that another program holds is busy), overlapped; the line is binary 8N1 without flow control. The
// event thread waits with an overlapped WaitCommEvent and hands each event to the owning thread, one at a
// time, as on POSIX. Reads and writes are overlapped too and are bounded by the port's time-outs.

#include "core/link/thread_comm.h"

#include "core/link/link.h"

#include <QMetaObject>
#include <QSemaphore>

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

// Runs an overlapped transfer to its end (the port's time-outs bound it); the bytes moved, or -1 on an error.
int transfer(HANDLE h, bool writing, void* buffer, DWORD count)
{
    Overlapped o;
    if (!o.ok())
        return -1;
    DWORD done = 0;
    OVERLAPPED* ov = o.get();
    const BOOL ok = writing ? ::WriteFile(h, buffer, count, &done, ov) : ::ReadFile(h, buffer, count, &done, ov);
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

// Shared between the component and its event thread. `detached` is set by Close before the thread is
// stopped; a notification already queued for the owning thread checks it and is dropped. The bookkeeping of
// what the owner read or discarded is the POSIX component's: an rx event is handed over only when the input
// queue has grown since the last one, so a driver (or wine) that reports EV_RXCHAR for as long as bytes wait
// causes no flood of notifications.
struct TThreadComm::EventThreadState {
    std::thread thread;
    std::atomic<bool> stop{false};
    std::atomic<bool> detached{false};
    std::atomic<int> consumed{0};
    std::atomic<bool> purged{false};
    std::atomic<int> reported{-1};
    HANDLE stopEvent = nullptr;
};

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
    // A read returns when its count is there or after 1000 ms with what came. A write gets twice its time on
    // the line and at least half a second (writeTimeoutMs), so a few hundred bytes always complete.
    COMMTIMEOUTS t{};
    t.ReadIntervalTimeout = 0;
    t.ReadTotalTimeoutMultiplier = 0;
    t.ReadTotalTimeoutConstant = 1000;
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
    const int n = transfer(handleOf(m_handle), true, const_cast<char*>(buffer), static_cast<DWORD>(count));
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
    DWORD errors = 0;
    ::ClearCommError(handleOf(m_handle), &errors, nullptr);
    if (count <= 0)
        return 0;
    const int n = transfer(handleOf(m_handle), false, buffer, static_cast<DWORD>(count));
    if (n < 0) {
        ::ClearCommError(handleOf(m_handle), &errors, nullptr);
        return 0;
    }
    if (m_thread)
        m_thread->consumed += n;
    return n;
}

void TThreadComm::PurgeIn()
{
    if (!m_open)
        return;
    std::lock_guard guard(m_lock);
    ::PurgeComm(handleOf(m_handle), PURGE_RXABORT | PURGE_RXCLEAR);
    if (m_thread)
        m_thread->purged = true;
}

void TThreadComm::PurgeOut()
{
    if (m_open)
        ::PurgeComm(handleOf(m_handle), PURGE_TXABORT | PURGE_TXCLEAR);
}

int TThreadComm::InQueCount()
{
    DWORD errors = 0;
    COMSTAT stat{};
    if (!m_open || !::ClearCommError(handleOf(m_handle), &errors, &stat))
        return -1;
    return static_cast<int>(stat.cbInQue);
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
        ::PurgeComm(handleOf(m_handle), PURGE_RXABORT | PURGE_RXCLEAR | PURGE_TXABORT | PURGE_TXCLEAR);
    }
}

// The event thread waits (overlapped WaitCommEvent) for a byte or a line error and hands each event to the
// owning thread, waiting until the handler has returned. Before each wait it compares the input queue with
// what was last reported, so bytes that came while the handler ran are reported whether or not the driver
// raises EV_RXCHAR for them again. When the driver no longer answers for the port the adapter is gone: that
// is reported once (evError), and the next write, which fails at once, tells the session the link is lost.
void TThreadComm::startEventThread()
{
    auto state = std::make_shared<EventThreadState>();
    state->stopEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!state->stopEvent) {
        DestroyHandle(); // no thread, no port
        return;
    }
    const HANDLE h = handleOf(m_handle);
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
        state->thread = std::thread([state, h, mask, deliver] {
            Overlapped wait;
            if (!wait.ok())
                return;
            int lastQueued = 0;
            bool hungUp = false;
            // Some drivers cannot wait for events at all: wine's, on a pseudo-terminal, ends every wait at
            // once because the line has no modem status to read. The port works all the same, and the
            // thread then looks at the input queue every two milliseconds instead.
            bool eventsWork = true;
            const auto stopRequested = [&state](DWORD ms) {
                return state->stop || ::WaitForSingleObject(state->stopEvent, ms) == WAIT_OBJECT_0;
            };
            while (!state->stop) {
                if (hungUp) {
                    stopRequested(INFINITE);
                    break;
                }
                const int queued = inQueue(h);
                if (queued < 0) {
                    // The driver no longer answers for the port: the adapter is gone.
                    hungUp = true;
                    if (mask.contains(evError) && !deliver(1u << evError))
                        break;
                    continue;
                }
                if (state->purged.exchange(false))
                    lastQueued = 0;
                lastQueued = std::max(0, lastQueued - state->consumed.exchange(0));
                if (queued < lastQueued || !mask.contains(evRxChar))
                    lastQueued = queued; // read or discarded meanwhile
                if (queued > lastQueued) {
                    if (!deliver(1u << evRxChar))
                        break;
                    const int seen = state->reported.exchange(-1);
                    lastQueued = seen >= 0 ? seen : queued;
                    continue;
                }
                // Bytes wait unread and nothing is new: a driver that keeps EV_RXCHAR raised while bytes wait
                // would answer the next wait at once, so look again shortly instead.
                if (queued > 0 || !eventsWork) {
                    if (stopRequested(2))
                        break;
                    continue;
                }
                DWORD events = 0;
                OVERLAPPED* ov = wait.get();
                bool waited = ::WaitCommEvent(h, &events, ov) != FALSE;
                if (!waited && ::GetLastError() == ERROR_IO_PENDING) {
                    const HANDLE waitFor[2] = {state->stopEvent, ov->hEvent};
                    const DWORD which = ::WaitForMultipleObjects(2, waitFor, FALSE, INFINITE);
                    DWORD ignored = 0;
                    if (which != WAIT_OBJECT_0 + 1) {
                        // Stopped: the pending wait is cancelled and completed before its record goes away.
                        ::CancelIoEx(h, ov);
                        ::GetOverlappedResult(h, ov, &ignored, TRUE);
                        break;
                    }
                    waited = ::GetOverlappedResult(h, ov, &ignored, FALSE) != FALSE;
                }
                if (!waited) {
                    // A lost adapter shows at the top of the loop; a port that is still there cannot wait.
                    if (inQueue(h) >= 0)
                        eventsWork = false;
                    continue;
                }
                // A line error (framing, overrun, parity) is cleared; the bytes decide what the session does.
                if (events & EV_ERR) {
                    DWORD errors = 0;
                    ::ClearCommError(h, &errors, nullptr);
                }
            }
        });
    } catch (const std::system_error&) {
        ::CloseHandle(state->stopEvent);
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
    ::SetEvent(state->stopEvent);
    if (state->thread.joinable())
        state->thread.join();
    ::CloseHandle(state->stopEvent);
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
        stat.inQue = cs.cbInQue;
        stat.outQue = cs.cbOutQue;
    }
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
