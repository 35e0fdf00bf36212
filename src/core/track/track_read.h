#pragma once

// Reading the unit's track memory: "CONFIGM" requests out, "+MEM" replies in. The unit announces how many
// bytes follow, then sends them in blocks, one per next-block request; a block that does not come is asked
// for again once. The bytes are kept in one buffer that every export reads until the next read starts.

#include "core/protocol/commands.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <cstdint>
#include <optional>

namespace rv {

class SessionController;

namespace trackcmd {
// Each item after "CONFIGM" is a write of its own.
Writes startUndelivered(uint8_t server);             // 00 server
Writes startRange(uint32_t first, uint16_t count);    // 01 first(4) count(2)
Writes nextBlock(int dumpType);                       // 0A type 00
Writes repeatBlock(int dumpType);                     // 0A type 01
} // namespace trackcmd

// A "+MEM" reply.
struct MemReply
{
    enum class Kind { Start, Complete, NoPackets, BadParameter, Block, Other };
    Kind kind = Kind::Other;
    uint32_t total = 0;   // Start: the bytes that will follow
    QByteArray data;      // Block: its bytes, as far as they arrived
    bool complete = true; // false: cut short
};
MemReply parseMemReply(QByteArrayView burst, qsizetype markerPos);
// Length of a complete "+MEM" reply at the start of `bytes`, kFrameIncomplete while one has begun and is
// not whole, 0 for anything else (another reply, an unknown kind or status).
qsizetype completeMemLength(QByteArrayView bytes);

// The read's numbers as the user types them: the first packet (unsigned 32-bit) and the count (16-bit).
std::optional<uint32_t> parseDumpStart(const QString& text);
std::optional<uint16_t> parseDumpCount(const QString& text);

class TrackRead : public QObject {
    Q_OBJECT
public:
    // No unit holds more: a larger announced size is refused before anything is allocated.
    static constexpr uint32_t kMaxMemorySize = 64u << 20;
    static constexpr int kWatchdogTicks = 50; // 10 s without a block

    enum DumpType { Undelivered = 0, Range = 1 };
    struct Request
    {
        DumpType type = Undelivered;
        uint8_t server = 0;   // Undelivered: 0 or 1
        uint32_t first = 0;   // Range
        uint16_t count = 0;
    };

    explicit TrackRead(SessionController& session, QObject* parent = nullptr);
    ~TrackRead() override;

    // DumpClick: starts a read (the request goes out with the next step).
    void DumpClick(const Request& request);
    bool active() const { return m_active; }

    // The bytes of the last read (kept until the next read starts) and what was announced.
    const QByteArray& buffer() const { return m_buffer; }
    uint32_t announced() const { return m_announced; }
    qsizetype points() const;
    // "Считано, байт: N (точек: P)"
    static QString readText(qsizetype bytes);

signals:
    void readTextChanged(const QString& text); // Label247
    void finished(bool complete);              // the unit said the read is complete (true) or it ended otherwise

private:
    void onReply(QByteArrayView burst, qsizetype markerPos);
    void handle(const MemReply& r);
    void onStart(uint32_t total);
    void onBlock(const MemReply& r);
    void end(const QString& text, bool complete);
    void abandon();
    void claim(bool on);
    void restartRepeat();

    SessionController& m_session;
    Request m_request;
    QByteArray m_buffer;
    uint32_t m_announced = 0;
    bool m_active = false;
    bool m_started = false; // the start reply has come
    // The block taken just after a repeat went out; the next block with the same bytes is the repeat's echo.
    std::optional<QByteArray> m_echoOf;
};

} // namespace rv
