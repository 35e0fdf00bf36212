#pragma once

// The serial port component: owns the port, applies the line settings, reads and writes, and runs one
// background thread per open port that waits for port events and hands each one, synchronously, to the
// thread that owns the component. The program's `Comm_port` is a TComm set to 115200 8N1.

#include <QByteArray>
#include <QObject>
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace rv {

enum TBaudRate { br110, br300, br600, br1200, br2400, br4800, br9600, br14400, br19200, br38400, br56000,
                 br57600, br115200, br128000, br256000 };
enum TParity { paNone, paOdd, paEven, paMark, paSpace };
enum TStopBits { sb10, sb15, sb20 };
enum TDataBits { da4, da5, da6, da7, da8 };
enum TFlowControl { fcNone, fcCTS, fcDTR, fcSoftware, fcDefault };
enum TCommOption { coParityCheck, coDsrSensitivity, coIgnoreXOff, coErrorChar, coNullStrip };
enum TCommEventType { evBreak, evCts, evDsr, evError, evRing, evRlsd, evRxChar, evRxFlag, evTxEmpty };

// A set of one of the enumerations above, one bit per value.
template <typename E>
class EnumSet {
public:
    constexpr EnumSet() = default;
    constexpr EnumSet(std::initializer_list<E> values) { for (E v : values) m_bits |= bit(v); }
    static constexpr EnumSet fromBits(uint32_t bits) { EnumSet s; s.m_bits = bits; return s; }
    constexpr bool contains(E v) const { return (m_bits & bit(v)) != 0; }
    constexpr EnumSet& operator<<(E v) { m_bits |= bit(v); return *this; }
    constexpr uint32_t bits() const { return m_bits; }
    constexpr bool operator==(const EnumSet&) const = default;
private:
    static constexpr uint32_t bit(E v) { return 1u << static_cast<unsigned>(v); }
    uint32_t m_bits = 0;
};
using TCommOptions = EnumSet<TCommOption>;
using TCommEventTypes = EnumSet<TCommEventType>;

inline constexpr TCommEventTypes kAllCommEvents = TCommEventTypes::fromBits((1u << 9) - 1);

// Baud rate in bits per second of a TBaudRate value.
int baudRateValue(TBaudRate rate);

class TThreadComm;

// The five event characters; setting one re-applies the line settings of an open port.
class TCommEventChars {
public:
    explicit TCommEventChars(TThreadComm* owner = nullptr) : m_owner(owner) {}
    char XOnChar() const { return m_xon; }
    char XOffChar() const { return m_xoff; }
    char ErrorChar() const { return m_error; }
    char EofChar() const { return m_eof; }
    char EvtChar() const { return m_evt; }
    void setXOnChar(char c) { set(m_xon, c); }
    void setXOffChar(char c) { set(m_xoff, c); }
    void setErrorChar(char c) { set(m_error, c); }
    void setEofChar(char c) { set(m_eof, c); }
    void setEvtChar(char c) { set(m_evt, c); }
    void Assign(const TCommEventChars& other); // copies all five

private:
    void set(char& field, char c);
    TThreadComm* m_owner;
    char m_xon = 17, m_xoff = 19, m_error = 0, m_eof = 0, m_evt = 0;
};

// The port status record handed to OnComStatEvent.
struct TComStat {
    uint32_t status = 0;   // status bits (the hold flags of TComStatFlag); none are reported on POSIX
    uint32_t inQue = 0;    // bytes in the input queue
    uint32_t outQue = 0;   // bytes in the output queue
};

// The status bits of TComStat and GetComState, as Windows reports them.
enum TComStatFlag : uint32_t { csCtsHold = 1, csDsrHold = 2, csRlsdHold = 4, csXoffHold = 8, csXoffSent = 16,
                               csEof = 32, csTxim = 64 };

// Escape functions of EscapeComm, with the values the unit's documentation gives them.
enum class CommEscape { SetXOff = 1, SetXOn = 2, SetRts = 3, ClrRts = 4, SetDtr = 5, ClrDtr = 6, SetBreak = 8,
                        ClrBreak = 9 };

class TThreadComm : public QObject {
    Q_OBJECT
public:
    explicit TThreadComm(QObject* parent = nullptr);
    ~TThreadComm() override;

    // Operations the program uses.
    void Open();
    void Close();
    bool Enabled() const { return m_open; }
    int Write(const char* buffer, int count);
    int Read(char* buffer, int count);
    void PurgeIn();
    void SetDeviceName(const QString& name);

    // Operations offered for completeness.
    void PurgeOut();
    int InQueCount();
    int OutQueCount();
    bool GetModemState(int line);      // 1 = CTS, 2 = DSR, 3 = ring, 4 = carrier
    bool GetComState(uint32_t flag);   // the port status bits
    void EscapeComm(CommEscape function);
    void SetDTRState(bool on) { EscapeComm(on ? CommEscape::SetDtr : CommEscape::ClrDtr); }
    void SetRTSState(bool on) { EscapeComm(on ? CommEscape::SetRts : CommEscape::ClrRts); }
    void SetBREAKState(bool on);
    void SetXONState(bool on) { EscapeComm(on ? CommEscape::SetXOn : CommEscape::SetXOff); }
    void CheckOpen();
    void Lock() { m_lock.lock(); }
    void Unlock() { m_lock.unlock(); }
    void UpdateDataControlBlockLock();
    void UpdateCommTimeouts();

    // Published properties.
    QString DeviceName() const { return m_deviceName; }
    uint16_t ReadBufSize() const { return m_readBufSize; }
    void setReadBufSize(uint16_t v) { if (!m_open) m_readBufSize = v; }
    uint16_t WriteBufSize() const { return m_writeBufSize; }
    void setWriteBufSize(uint16_t v) { if (!m_open) m_writeBufSize = v; }
    TCommEventTypes MonitorEvents() const { return m_monitorEvents; }
    void setMonitorEvents(TCommEventTypes v) { if (!m_open) m_monitorEvents = v; }
    TBaudRate BaudRate() const { return m_baudRate; }
    void setBaudRate(TBaudRate v) { changeLine(m_baudRate, v); }
    TParity Parity() const { return m_parity; }
    void setParity(TParity v) { changeLine(m_parity, v); }
    TStopBits StopBits() const { return m_stopBits; }
    void setStopBits(TStopBits v) { changeLine(m_stopBits, v); }
    TDataBits DataBits() const { return m_dataBits; }
    void setDataBits(TDataBits v) { changeLine(m_dataBits, v); }
    TCommOptions Options() const { return m_options; }
    void setOptions(TCommOptions v) { changeLine(m_options, v); }
    TFlowControl FlowControl() const { return m_flowControl; }
    void setFlowControl(TFlowControl v) { changeLine(m_flowControl, v); }
    uint32_t ReadTimeout() const { return m_readTimeout; }
    void setReadTimeout(uint32_t v) { m_readTimeout = v; }
    uint32_t WriteTimeout() const { return m_writeTimeout; }
    void setWriteTimeout(uint32_t v) { m_writeTimeout = v; }
    uint32_t SuspendTime() const { return m_suspendTime; }
    void setSuspendTime(uint32_t v) { m_suspendTime = v; }
    TCommEventChars& EventChars() { return m_eventChars; }
    void setEventChars(const TCommEventChars& chars) { m_eventChars.Assign(chars); }

    // Event handlers, called on the owning thread.
    std::function<void(TThreadComm*)> OnBreak, OnCts, OnDsr, OnRing, OnRlsd, OnRxFlag, OnTxEmpty;
    std::function<void(TThreadComm*, uint32_t errors)> OnError;
    std::function<void(TThreadComm*, uint32_t count)> OnRxChar;
    std::function<void(TThreadComm*, uint32_t events, const TComStat&)> OnComStatEvent;

    // The platform's error code of the last failed open (errno on POSIX, GetLastError() on Windows; 0 after a
    // successful open), for the user's explanation.
    int lastOpenErrno() const { return m_lastOpenErrno; }
    // The last error the component raised, and its message; empty when none.
    QString lastError() const { return m_lastError; }

    friend class TCommEventChars;

signals:
    // A raised error: "Port already assigned (open) (Error: -1)" and the like. The application's error
    // display shows it and the program goes on.
    void errorRaised(const QString& message);

protected:
    virtual bool CreateHandle();
    void DestroyHandle();
    int HandleCommEvent(uint32_t events); // the input queue size it reported
    void UpdateDataControlBlock();

private:
    struct EventThreadState;
    template <typename T> void changeLine(T& field, T value)
    {
        if (field == value) return;
        field = value;
        if (m_open) UpdateDataControlBlockLock();
    }
    void raise(const char* pattern, int code);
    void startEventThread();
    void stopEventThread();
    int writeTimeoutMs(int count) const;

    // The open device: a file descriptor on POSIX, a HANDLE on Windows; -1 (INVALID_HANDLE_VALUE) when closed.
    intptr_t m_handle = -1;
    bool m_open = false;
    std::recursive_mutex m_lock;
    std::shared_ptr<EventThreadState> m_thread;

    QString m_deviceName = QStringLiteral("Com2");
    uint16_t m_readBufSize = 4096;
    uint16_t m_writeBufSize = 2048;
    TCommEventTypes m_monitorEvents = kAllCommEvents;
    TBaudRate m_baudRate = br9600;
    TParity m_parity = paNone;
    TStopBits m_stopBits = sb10;
    TDataBits m_dataBits = da8;
    TCommOptions m_options;
    TFlowControl m_flowControl = fcDefault;
    uint32_t m_readTimeout = 1000;
    uint32_t m_writeTimeout = 1000;
    uint32_t m_suspendTime = 5;
    TCommEventChars m_eventChars{this};
    bool m_breakOn = false;
    int m_lastOpenErrno = 0;
    QString m_lastError;
};

// The published form that the main window holds as `Comm_port`.
class TComm : public TThreadComm {
    Q_OBJECT
public:
    explicit TComm(QObject* parent = nullptr);
};

// Explanation for the user of why a port could not be opened (the code from lastOpenErrno()), with the
// remedy for the most common case on Linux: the device belongs to a group the user is not in.
QString portOpenFailureText(const QString& device, int error);
enum class OpenFailure;
OpenFailure openFailureOf(int error);

} // namespace rv
