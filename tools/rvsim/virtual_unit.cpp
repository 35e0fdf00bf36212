#include "virtual_unit.h"

#include <cctype>

namespace rvsim {

namespace {
constexpr int kRebootMs = 1500;
constexpr int kBootloaderStartMs = 500;
constexpr uint8_t kCanScannerFlag = 0x02;  // in the flags byte after "CONFIGD"
constexpr int kCanMesDelayMs = 100;
constexpr int kCanBufDelayMs = 200;

} // namespace

VirtualUnit::VirtualUnit(UnitOptions options) : m_o(std::move(options)), m_telemetry(m_o.deviceType)
{
    m_locked = m_o.password.has_value();
    m_telemetry.setFirmwareBuild(m_o.build1, m_o.build2, m_o.build3);
    m_records.fillBenchDefaults();
}

QList<Reply> VirtualUnit::receive(QByteArrayView bytes)
{
    QList<Reply> out;
    if (m_dropped)
        return out;
    m_input.append(bytes);
    while (!m_input.isEmpty() && !m_dropped) {
        const Parse p = handleOne(out);
        if (p == Parse::NeedMore)
            break;
        if (p == Parse::Garbage) {
            count("?");
            m_input.remove(0, 1);
        }
    }
    if (m_o.silent || !m_rebootUntil.hasExpired())
        out.clear();
    return out;
}

QList<Reply> VirtualUnit::flush()
{
    if (!m_input.isEmpty())
        count("?");
    m_input.clear();
    return {};
}

QByteArray VirtualUnit::handshake() const
{
    if (m_o.bootloader) {
        QByteArray b("BOOTLOADER");
        b.append(static_cast<char>(m_o.bootloaderVersion));
        b.append(static_cast<char>(m_o.deviceType));
        return b;
    }
    if (m_o.newConf)
        return "NEWCONF";
    QByteArray b(m_o.answerQdSsmt ? "QD-SSMT" : "RV-TR");
    if (!m_o.answerQdSsmt)
        b.append(static_cast<char>(m_o.deviceType));
    b.append(static_cast<char>(m_o.handshakeByte));
    b.append(wire::le32(m_o.deviceOptions));
    return b;
}

QByteArray VirtualUnit::recordReply(const char* marker, const QByteArray& record, const char* status) const
{
    QByteArray payload = record;
    if (m_o.overlong && qstrcmp(marker, "CONFIG") == 0)
        payload.append(QByteArray(88, '\x5A')); // a newer unit with a longer record
    QByteArray b(marker);
    b.append(status);
    b.append(wire::le16(static_cast<uint16_t>(payload.size())));
    b.append(payload);
    b.append(wire::le16(static_cast<uint16_t>(wire::blockSum(payload) + (m_o.badChecksum ? 1 : 0))));
    return b;
}

QByteArray VirtualUnit::monitorBlock(const char* marker, const QByteArray& payload) const
{
    QByteArray b(marker);
    b.append(wire::le16(static_cast<uint16_t>(payload.size())));
    b.append(payload);
    b.append('E');
    return b;
}

VirtualUnit::Parse VirtualUnit::recordWrite(QList<Reply>& out, QByteArray& record, bool withStatus)
{
    const qsizetype lenAt = withStatus ? 8 : 7;
    if (m_input.size() < lenAt + 2)
        return Parse::NeedMore;
    const qsizetype len = wire::get16(m_input, lenAt);
    const qsizetype total = lenAt + 2 + len + 2;
    if (m_input.size() < total)
        return Parse::NeedMore;
    const QByteArray word = m_input.left(7);
    count(word);
    const QByteArrayView data = QByteArrayView(m_input).sliced(lenAt + 2, len);
    const bool sumOk = wire::blockSum(data) == wire::get16(m_input, lenAt + 2 + len);
    const bool statusOk = !withStatus || m_input.at(7) == '0';
    QByteArray reply;
    if (m_locked)
        reply = "+PASS=?";
    else if (m_o.lowd)
        reply = "LOWD";
    else if (!sumOk || !statusOk || len != record.size())
        reply = "FAIL";
    else {
        record = data.toByteArray();
        reply = "WRITE";
        if (onRecordsChanged)
            onRecordsChanged();
    }
    m_input.remove(0, total);
    // The program pads a block whose length is a multiple of 8 with one zero byte.
    if ((len + 2) % 8 == 0 && !m_input.isEmpty() && m_input.at(0) == '\0')
        m_input.remove(0, 1);
    out.append({reply});
    return Parse::Done;
}

VirtualUnit::Parse VirtualUnit::handleOne(QList<Reply>& out)
{
    if (m_input.startsWith("RV+PASS=")) {
        qsizetype end = 8;
        while (end < m_input.size() && std::isdigit(static_cast<unsigned char>(m_input.at(end))))
            ++end;
        if (end == 8)
            return m_input.size() == 8 ? Parse::NeedMore : Parse::Garbage;
        count("RV+PASS=");
        const bool right = m_o.password && m_input.mid(8, end - 8).toUInt() == *m_o.password;
        if (right)
            m_locked = false;
        out.append({right ? QByteArray("+PASS=1") : QByteArray("+PASS=0")});
        m_input.remove(0, end);
        return Parse::Done;
    }
    if (m_input.size() < 7)
        return QByteArray("CONFIG").startsWith(m_input.left(6)) || QByteArray("RV+PASS=").startsWith(m_input)
                   ? Parse::NeedMore : Parse::Garbage;
    if (!m_input.startsWith("CONFIG"))
        return Parse::Garbage;

    const QByteArray word = m_input.left(7);
    if (!m_o.dropOn.isEmpty() && word == m_o.dropOn) {
        count(word);
        m_dropped = true;
        return Parse::Done;
    }
    const char letter = word.at(6);
    auto simple = [&](QByteArray reply, int delayMs = 0, qsizetype tail = 0) {
        if (m_input.size() < 7 + tail)
            return Parse::NeedMore;
        count(word);
        m_input.remove(0, 7 + tail);
        if (!reply.isEmpty())
            out.append({reply, delayMs});
        return Parse::Done;
    };
    switch (letter) {
    case 'O':
        return simple(handshake());
    case 'C':
        return simple({});
    case 'G':
        m_telemetry.advance();
        return simple(m_o.bootloader ? QByteArray() : monitorBlock("GPS", m_telemetry.gpsPayload()));
    case 'D': {
        if (m_input.size() < 8)
            return Parse::NeedMore;
        const bool scanner = (static_cast<uint8_t>(m_input.at(7)) & kCanScannerFlag) != 0;
        const Parse p = simple(m_o.bootloader ? QByteArray() : monitorBlock("DEVICE", m_telemetry.devicePayload()), 0, 1);
        if (scanner && !m_o.bootloader) {
            // The scanner records follow in bursts of their own, without length or end byte.
            out.append({QByteArray("CANMES") + m_telemetry.canMessage(), kCanMesDelayMs});
            out.append({QByteArray("CANBUF") + m_telemetry.canBuffer(), kCanBufDelayMs});
        }
        return p;
    }
    case 'R':
        return simple(m_locked ? QByteArray("+PASS=?") : recordReply("CONFIG", m_records.config, ""));
    case 'P':
        return simple(m_locked ? QByteArray("+PASS=?") : recordReply("INPOUT", m_records.inpOut, ""));
    case 'S':
        return simple(m_locked ? QByteArray("+PASS=?") : recordReply("CONFSE", m_records.confSe, "0"), 0, 1);
    case 'W':
        return recordWrite(out, m_records.config, false);
    case 'I':
        return recordWrite(out, m_records.inpOut, false);
    case 'T':
        return recordWrite(out, m_records.confSe, true);
    case 'X':
        return simple("TRACKDEL");
    case 'A': {
        // A restart: quiet while it boots.
        const Parse p = simple({});
        m_rebootUntil.setRemainingTime(kRebootMs);
        return p;
    }
    case 'B': {
        const Parse p = simple({});
        m_o.bootloader = true;
        out.append({handshake(), kBootloaderStartMs});
        return p;
    }
    default:
        return Parse::Garbage;
    }
}

} // namespace rvsim
