#include "virtual_unit.h"

#include <QFile>

#include <cctype>

namespace rvsim {

namespace {
constexpr int kRebootMs = 1500;
constexpr int kBootloaderStartMs = 500;
constexpr uint8_t kLogTailFlag = 0x01;     // in the flags byte after "CONFIGD"
constexpr uint8_t kCanScannerFlag = 0x02;
constexpr int kCanMesDelayMs = 100;
constexpr int kCanBufDelayMs = 200;

} // namespace

VirtualUnit::VirtualUnit(UnitOptions options)
    : m_o(std::move(options)), m_telemetry(m_o.deviceType), m_medium(m_o.medium), m_track(m_o.track)
{
    m_locked = m_o.password.has_value();
    m_telemetry.setFirmwareBuild(m_o.build1, m_o.build2, m_o.build3);
    m_telemetry.setSatelliteImei(!m_o.satImeiOnRequest);
    m_telemetry.setDeviceId(m_o.unitId);
    m_telemetry.setImei(m_o.imei);
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
    QList<Reply> out;
    if (!m_input.isEmpty())
        count("?");
    // A bootloader packet cut short: the bootloader asks for it again.
    if (m_o.bootloader && !m_o.silent && (m_input.startsWith("CONFIGB0") || m_input.startsWith("CONFIGB1")))
        out.append({"BL_EP"});
    m_input.clear();
    return out;
}

// "CONFIGB0" size check version sum (19 bytes) starts an update; "CONFIGB1" offset data[512] sum (526
// bytes) carries one block. Every packet's sum and every block's offset is checked.
VirtualUnit::Parse VirtualUnit::bootloaderPacket(QList<Reply>& out)
{
    const bool start = m_input.at(7) == '0';
    const qsizetype total = start ? 19 : 526;
    if (m_input.size() < total)
        return Parse::NeedMore;
    const QByteArray packet = m_input.left(total);
    m_input.remove(0, total);
    count(packet.left(8));
    const bool sumOk = wire::blockSum(QByteArrayView(packet).sliced(8, total - 10)) == wire::get16(packet, total - 2);
    if (!sumOk) {
        out.append({"BL_EP"});
        return Parse::Done;
    }
    if (start) {
        if (m_o.bootloaderRefuse) {
            out.append({"BL_BL"});
            return Parse::Done;
        }
        m_update = Update{wire::get32(packet, 8), wire::get32(packet, 12), static_cast<uint8_t>(packet.at(16)), {}};
        m_blocks = 0;
        // No unit holds a program this large.
        if (m_update->size == 0 || m_update->size > (16u << 20)) {
            m_update.reset();
            out.append({"BL_ER"});
            return Parse::Done;
        }
        out.append({"BL_OK"});
        return Parse::Done;
    }
    const int index = m_blocks++;
    if (index == m_o.bootloaderDropAt) {
        m_dropped = true;
        return Parse::Done;
    }
    if (index == m_o.bootloaderSilentAt)
        return Parse::Done;
    if (index == m_o.bootloaderIncompleteAt) {
        m_o.bootloaderIncompleteAt = -1;
        out.append({"BL_EP"});
        return Parse::Done;
    }
    const uint32_t offset = wire::get32(packet, 8);
    if (!m_update || offset != m_update->next || index == m_o.bootloaderErrorAt) {
        if (index == m_o.bootloaderErrorAt)
            m_o.bootloaderErrorAt = -1;
        m_update.reset();
        out.append({"BL_ER"});
        return Parse::Done;
    }
    m_update->image.append(packet.mid(12, 512));
    m_update->next += 512;
    out.append({"BL_OK", m_o.programBlockMs});
    if (m_update->next > m_update->size)
        firmwareComplete();
    return Parse::Done;
}

// The whole image is in: it is kept, and the unit starts its new program.
void VirtualUnit::firmwareComplete()
{
    QByteArray image = m_update->image.left(m_update->size);
    m_update.reset();
    if (!m_o.firmwareOut.isEmpty()) {
        QFile f(m_o.firmwareOut);
        if (f.open(QIODevice::WriteOnly))
            f.write(image);
    }
    if (image.size() >= 25 && image.startsWith("QDFW")) {
        m_o.build1 = wire::get16(image, 20);
        m_o.build2 = wire::get16(image, 22);
        m_o.build3 = static_cast<uint8_t>(image.at(24));
        m_telemetry.setFirmwareBuild(m_o.build1, m_o.build2, m_o.build3);
    }
    m_o.bootloader = false;
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
    if (m_o.deviceType != 2 && (m_input.startsWith("RV+V") || (m_input.size() < 4 && QByteArray("RV+V").startsWith(m_input))))
        return voiceArchive(out);
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
        if (!m_o.still)
            m_telemetry.advance();
        return simple(m_o.bootloader ? QByteArray() : monitorBlock("GPS", m_telemetry.gpsPayload()));
    case 'D': {
        if (m_input.size() < 8)
            return Parse::NeedMore;
        const bool scanner = (static_cast<uint8_t>(m_input.at(7)) & kCanScannerFlag) != 0;
        const bool logTail = (static_cast<uint8_t>(m_input.at(7)) & kLogTailFlag) != 0;
        QByteArray device = monitorBlock("DEVICE", m_telemetry.devicePayload());
        if (logTail)
            device += "L" + QByteArray(2, '\0') + m_telemetry.logCodes();
        const Parse p = simple(m_o.bootloader ? QByteArray() : device, 0, 1);
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
    case 'F':
        return fileCommand(out);
    case 'J':
    case 'H': {
        if (m_input.size() < 8)
            return Parse::NeedMore;
        const auto resolution = static_cast<uint8_t>(m_input.at(7));
        const Parse p = simple({}, 0, 1);
        cameraShot(out, letter == 'J' ? 1 : 2, resolution);
        return p;
    }
    case 'Z': {
        // "CONFIGZ" 01 01: the unit asks its satellite modem for the IMEI, which the next device block carries.
        if (m_input.size() < 9)
            return Parse::NeedMore;
        const bool imei = m_input.at(7) == '\x01' && m_input.at(8) == '\x01';
        const Parse p = simple({}, 0, 2);
        if (imei)
            m_telemetry.setSatelliteImei(true);
        return p;
    }
    case 'M':
        return memoryCommand(out);
    case 'B': {
        if (m_o.bootloader) {
            if (m_input.size() < 8)
                return Parse::NeedMore;
            if (m_input.at(7) == '0' || m_input.at(7) == '1')
                return bootloaderPacket(out);
        }
        const Parse p = simple({});
        m_o.bootloader = true;
        out.append({handshake(), kBootloaderStartMs});
        return p;
    }
    default:
        return Parse::Garbage;
    }
}

// One snapshot: "IMAGE" with the size (3 bytes) and "E", the picture's first bytes in the same burst, the
// rest in bursts that fit the configurator's buffer. The pictures are real JPEGs of each resolution.
void VirtualUnit::cameraShot(QList<Reply>& out, int port, uint8_t resolution)
{
    (void)port; // both cameras see the same scene
    using F = CameraOptions::Failure;
    switch (m_o.camera.failure) {
    case F::NoLink: out.append({"IMFL"}); return;
    case F::Busy: out.append({"IMBUSY"}); return;
    case F::Silent: return;
    default: break;
    }
    const int index = (resolution & 0x0F) <= 3 ? (resolution & 0x0F) : 2;
    QFile f(QStringLiteral(":/rvsim/camera/camera%1.jpg").arg(index));
    if (!f.open(QIODevice::ReadOnly)) {
        out.append({"IMFL"});
        return;
    }
    const QByteArray jpeg = f.readAll();
    QByteArray header("IMAGE");
    header.append(wire::le32(static_cast<uint32_t>(jpeg.size())).left(3));
    header.append('E');
    const qsizetype burst = std::clamp(m_o.camera.burst, 10, 1024);
    // Link to the camera lost: about half of the picture, then "IMFL" in a burst of its own.
    const qsizetype sent = m_o.camera.failure == F::LostMidPicture ? jpeg.size() / 2 : jpeg.size();
    if (!m_o.camera.out.isEmpty()) {
        QFile kept(m_o.camera.out);
        if (kept.open(QIODevice::WriteOnly))
            kept.write(jpeg.left(sent));
    }
    qsizetype at = std::min(sent, burst - header.size());
    out.append({header + jpeg.left(at)});
    int delay = 0;
    while (at < sent) {
        const qsizetype n = std::min(burst, sent - at);
        delay += m_o.camera.gapMs;
        out.append({jpeg.mid(at, n), delay});
        at += n;
    }
    if (sent < jpeg.size())
        out.append({"IMFL", delay + 3 * m_o.camera.gapMs});
}

// "CONFIGF" and its sub-command: open for reading (01 area name 00), open for writing (02 area size name 00),
// a data chunk (03 n data), the next chunk (04), stop (05). A name whose length is a multiple of 8 comes
// with one more 0x00.
VirtualUnit::Parse VirtualUnit::fileCommand(QList<Reply>& out)
{
    if (m_input.size() < 8)
        return Parse::NeedMore;
    const auto sub = static_cast<uint8_t>(m_input.at(7));
    const auto reply = [&](uint8_t code, QByteArray payload = {}) {
        out.append({QByteArray("FLRW") + static_cast<char>(code) + payload});
    };
    // The name from `at` up to its 0x00; the bytes consumed through the terminator, or 0 when incomplete.
    const auto nameEnd = [&](qsizetype at, QByteArray& name) -> qsizetype {
        const qsizetype zero = m_input.indexOf('\0', at);
        if (zero < 0)
            return 0;
        name = m_input.mid(at, zero - at);
        qsizetype end = zero + 1;
        if (!name.isEmpty() && name.size() % 8 == 0) {
            if (m_input.size() <= end)
                return 0;
            if (m_input.at(end) == '\0')
                ++end;
        }
        return end;
    };
    constexpr qsizetype kLongestName = 64;
    switch (sub) {
    case 0x01:
    case 0x02: {
        const qsizetype nameAt = sub == 0x01 ? 9 : 13;
        if (m_input.size() < nameAt)
            return Parse::NeedMore;
        QByteArray name;
        const qsizetype end = nameEnd(nameAt, name);
        if (end == 0)
            return m_input.size() > nameAt + kLongestName + 2 ? Parse::Garbage : Parse::NeedMore;
        count(sub == 0x01 ? "CONFIGF-open-read" : "CONFIGF-open-write");
        const auto area = static_cast<uint8_t>(m_input.at(8));
        const uint32_t size = sub == 0x02 ? wire::get32(m_input, 9) : 0;
        m_input.remove(0, end);
        m_readFile.reset();
        m_writeFile.reset();
        m_fileChunks = 0;
        if (!m_o.medium.supported)
            reply(0xFF);
        else if (sub == 0x01) {
            m_readFile = m_o.medium.present ? m_medium.read(area, name) : std::nullopt;
            m_readAt = 0;
            if (m_readFile)
                reply(6, wire::le32(static_cast<uint32_t>(m_readFile->size())));
            else
                reply(7);
        } else if (!m_o.medium.present) {
            reply(5);
        } else {
            m_writeFile = Incoming{area, name, size, {}};
            reply(4);
        }
        return Parse::Done;
    }
    case 0x03: {
        if (m_input.size() < 10)
            return Parse::NeedMore;
        const qsizetype n = wire::get16(m_input, 8);
        qsizetype end = 10 + n;
        if ((n + 3) % 8 == 0)
            ++end; // the padding byte
        if (m_input.size() < end)
            return Parse::NeedMore;
        count("CONFIGF-data");
        const QByteArray data = m_input.mid(10, n);
        m_input.remove(0, end);
        fileData(out, data);
        return Parse::Done;
    }
    case 0x04:
    case 0x05:
        count(sub == 0x04 ? "CONFIGF-next" : "CONFIGF-stop");
        m_input.remove(0, 8);
        if (!m_o.medium.supported)
            reply(0xFF);
        else if (sub == 0x04)
            fileChunkWanted(out);
        else
            m_readFile.reset();
        return Parse::Done;
    default:
        return Parse::Garbage;
    }
}

// The voice archive of types 3 and 4: "RV+VMS" (the room), "RV+VWP" header[512] 00, "RV+VFS" size[4], then
// "RV+VWF" chunk 00 with chunks of 528 bytes (type 3) or 512 (type 4). A complete archive is kept on the medium
// as "3/RV_voice_files.vfa".
VirtualUnit::Parse VirtualUnit::voiceArchive(QList<Reply>& out)
{
    if (m_input.size() < 6)
        return Parse::NeedMore;
    const QByteArray word = m_input.left(6);
    const qsizetype chunk = m_o.deviceType == 3 ? 528 : 512;
    const auto take = [&](qsizetype tail, auto&& handle) {
        if (m_input.size() < 6 + tail)
            return Parse::NeedMore;
        count(word);
        const QByteArray data = m_input.mid(6, tail);
        m_input.remove(0, 6 + tail);
        handle(data);
        return Parse::Done;
    };
    if (word == "RV+VMS")
        return take(0, [&](const QByteArray&) { out.append({"+VMS" + wire::le32(m_o.medium.voiceCapacity)}); });
    if (word == "RV+VWP")
        return take(513, [&](const QByteArray& d) {
            if (d.at(512) != '\0')
                count("RV+VWP-filler");
            m_archive = Archive{d.left(512), 0, {}, 0};
            out.append({"+VWP"});
        });
    if (word == "RV+VFS")
        return take(4, [&](const QByteArray& d) {
            if (m_archive) {
                m_archive->size = wire::get32(d, 0);
                m_archive->data.clear();
            }
            out.append({"+VFS"});
        });
    if (word == "RV+VWF")
        return take(chunk + 1, [&](const QByteArray& d) {
            if (d.at(chunk) != '\0')
                count("RV+VWF-filler");
            if (!m_archive)
                return;
            const int got = m_archive->chunks++;
            if (m_o.medium.silentAfter >= 0 && got >= m_o.medium.silentAfter)
                return;
            Archive& a = *m_archive;
            a.data += d.left(std::min<qsizetype>(chunk, qsizetype(a.size) - a.data.size()));
            if (a.data.size() >= qsizetype(a.size)) {
                if (a.size <= m_o.medium.voiceCapacity)
                    m_medium.write(3, "RV_voice_files.vfa", a.header + a.data);
                m_archive.reset();
            }
            out.append({"+VWF"});
        });
    return Parse::Garbage;
}

// "CONFIGM" and its request: the undelivered packets of a server, a range, the next block or its repeat.
VirtualUnit::Parse VirtualUnit::memoryCommand(QList<Reply>& out)
{
    QByteArray reply, name;
    const qsizetype used = m_track.command(m_input, reply, name);
    if (used == 0)
        return Parse::NeedMore;
    if (used < 0)
        return Parse::Garbage;
    count(name);
    m_input.remove(0, used);
    if (m_locked)
        reply = "+PASS=?";
    if (!reply.isEmpty())
        out.append({reply});
    return Parse::Done;
}

void VirtualUnit::fileChunkWanted(QList<Reply>& out)
{
    if (!m_readFile)
        return;
    const int sent = m_fileChunks++;
    if (m_o.medium.silentAfter >= 0 && sent >= m_o.medium.silentAfter)
        return;
    if (m_o.medium.dropAfter >= 0 && sent >= m_o.medium.dropAfter) {
        m_dropped = true;
        return;
    }
    if (m_o.medium.readError && sent >= 1) {
        out.append({QByteArray("FLRW\x08", 5)});
        m_readFile.reset();
        return;
    }
    const qsizetype chunk = std::clamp(m_o.medium.chunk, 1, 1017);
    const qsizetype left = m_readFile->size() - m_readAt;
    qsizetype n = std::min(chunk, std::max<qsizetype>(left, 0));
    QByteArray data = m_readFile->mid(m_readAt, n);
    if (m_o.medium.overshoot && m_readAt + n >= m_readFile->size())
        data += QByteArray(std::min<qsizetype>(100, 1017 - n), 'X'); // more than the file holds
    m_readAt += n;
    out.append({QByteArray("FLRW\x03", 5) + wire::le16(static_cast<uint16_t>(data.size())) + data});
}

void VirtualUnit::fileData(QList<Reply>& out, const QByteArray& data)
{
    if (!m_writeFile)
        return;
    const int got = m_fileChunks++;
    if (m_o.medium.silentAfter >= 0 && got >= m_o.medium.silentAfter)
        return;
    if (m_o.medium.dropAfter >= 0 && got >= m_o.medium.dropAfter) {
        m_dropped = true;
        return;
    }
    if (m_o.medium.writeError) {
        m_writeFile.reset();
        out.append({QByteArray("FLRW\x05", 5)});
        return;
    }
    Incoming& f = *m_writeFile;
    f.data += data.left(std::max<qsizetype>(0, qsizetype(f.size) - f.data.size()));
    if (f.data.size() < qsizetype(f.size)) {
        out.append({QByteArray("FLRW\x04", 5)});
        return;
    }
    const bool stored = m_medium.write(f.area, f.name, f.data);
    m_writeFile.reset();
    out.append({QByteArray(stored ? "FLRW\x09" : "FLRW\x05", 5)});
}

} // namespace rvsim
