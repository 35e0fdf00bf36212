// The serial component's behaviour that is the same on every platform: the properties, Open and Close
// around the platform's CreateHandle, the raised errors. thread_comm_posix.cpp and thread_comm_win32.cpp
// hold the device calls and the event thread.

#include "core/link/thread_comm.h"

#include <algorithm>

namespace rv {

int baudRateValue(TBaudRate rate)
{
    static constexpr int values[] = {110, 300, 600, 1200, 2400, 4800, 9600, 14400, 19200, 38400, 56000,
                                     57600, 115200, 128000, 256000};
    return values[rate];
}

void TCommEventChars::Assign(const TCommEventChars& other)
{
    m_xon = other.m_xon;
    m_xoff = other.m_xoff;
    m_error = other.m_error;
    m_eof = other.m_eof;
    m_evt = other.m_evt;
    if (m_owner && m_owner->Enabled())
        m_owner->UpdateDataControlBlockLock();
}

void TCommEventChars::set(char& field, char c)
{
    field = c;
    if (m_owner && m_owner->Enabled())
        m_owner->UpdateDataControlBlockLock();
}

TThreadComm::TThreadComm(QObject* parent) : QObject(parent) {}

TThreadComm::~TThreadComm()
{
    Close();
}

TComm::TComm(QObject* parent) : TThreadComm(parent) {}

void TThreadComm::raise(const char* pattern, int code)
{
    m_lastError = QString::fromLatin1(pattern).replace(QLatin1String("%d"), QString::number(code));
    emit errorRaised(m_lastError);
}

void TThreadComm::Open()
{
    bool failed = false;
    {
        std::lock_guard guard(m_lock);
        if (m_open) {
            failed = true;
        } else if (CreateHandle()) {
            UpdateCommTimeouts();
            UpdateDataControlBlock();
            if (m_open)
                startEventThread();
        }
    }
    if (failed)
        raise("Port already assigned (open) (Error: %d)", -1);
}

void TThreadComm::Close()
{
    if (!m_open)
        return;
    std::lock_guard guard(m_lock);
    stopEventThread();
    DestroyHandle();
}

void TThreadComm::SetDeviceName(const QString& name)
{
    if (!m_open && name != m_deviceName)
        m_deviceName = name;
}

void TThreadComm::CheckOpen()
{
    if (m_open)
        raise("Port already assigned (open) (Error: %d)", -1);
}

void TThreadComm::UpdateDataControlBlockLock()
{
    std::lock_guard guard(m_lock);
    UpdateDataControlBlock();
}

int TThreadComm::writeTimeoutMs(int count) const
{
    // Twice the time the bytes take on the line (10 bits a byte), and never less than half a second:
    // a few hundred bytes always complete, and a dead adapter fails at once with an error anyway.
    const int lineMs = static_cast<int>(20000LL * count / baudRateValue(m_baudRate));
    return std::max(500, lineMs);
}

} // namespace rv
