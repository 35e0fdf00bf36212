#pragma once

// Text of the track exports, built a piece at a time: numbers appended without printf and without the
// locale ('.' is the decimal mark on every machine), and a writer that hands the text to its sink every
// 64 KiB, so a large export never sits in memory whole.

#include "core/track/track_packet.h"

#include <charconv>
#include <cstdint>
#include <string>

namespace rv::track {

class Text {
public:
    explicit Text(std::string& s) : m_s(s) {}
    template <size_t N>
    Text& operator<<(const char (&lit)[N])
    {
        m_s.append(lit, N - 1);
        return *this;
    }
    Text& operator<<(long long v)
    {
        char buf[24];
        const auto r = std::to_chars(buf, buf + sizeof buf, v);
        m_s.append(buf, r.ptr);
        return *this;
    }
    Text& operator<<(int v) { return *this << static_cast<long long>(v); }
    Text& append(const char* data, size_t size)
    {
        m_s.append(data, size);
        return *this;
    }
    // "%.<digits>f"
    Text& fixed(double v, int digits)
    {
        char buf[64];
        const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, digits);
        m_s.append(buf, r.ptr);
        return *this;
    }
    // "%.6f" of millionths: exact, from the integer.
    Text& millionths(int32_t v)
    {
        const long long x = v;
        const long long a = x < 0 ? -x : x;
        if (x < 0)
            m_s.push_back('-');
        *this << a / 1000000;
        char frac[8];
        long long f = a % 1000000;
        for (int i = 5; i >= 0; --i) {
            frac[i] = static_cast<char>('0' + f % 10);
            f /= 10;
        }
        m_s.push_back('.');
        m_s.append(frac, 6);
        return *this;
    }
    // "%.1f" of tenths.
    Text& tenths(unsigned v)
    {
        *this << static_cast<long long>(v / 10);
        m_s.push_back('.');
        m_s.push_back(static_cast<char>('0' + v % 10));
        return *this;
    }
    // 2026-01-01T13:30:15Z: the UTC time of seconds since 1970 (any 32-bit value).
    Text& isoTime(int32_t unixTime);

    std::string& string() { return m_s; }

private:
    std::string& m_s;
};

// The text of one export on its way to a sink. Once the sink refuses a piece nothing more is passed on,
// and ok() stays false.
class ChunkWriter {
public:
    explicit ChunkWriter(ExportSink& sink) : m_sink(sink), m_text(m_buffer) { m_buffer.reserve(kChunk + 4096); }
    Text& text() { return m_text; }
    // Passes the text on once a chunk has gathered.
    void maybeFlush()
    {
        if (m_buffer.size() >= kChunk)
            flush();
    }
    void flush()
    {
        if (m_ok && !m_buffer.empty())
            m_ok = m_sink.write(m_buffer.data(), static_cast<qsizetype>(m_buffer.size()));
        m_buffer.clear();
    }
    bool ok() const { return m_ok; }

private:
    static constexpr size_t kChunk = 64 * 1024;
    ExportSink& m_sink;
    std::string m_buffer;
    Text m_text;
    bool m_ok = true;
};

// The XML exports (track_xml.cpp): r.packets is set, the rest they count.
void writeGpx(QByteArrayView buffer, ChunkWriter& out, ExportResult& r);
void writeKml(QByteArrayView buffer, ChunkWriter& out, ExportResult& r);

} // namespace rv::track
