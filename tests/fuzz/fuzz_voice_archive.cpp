// A voice archive written to a unit whose "+VMS", "+VWP", "+VFS" and "+VWF" replies come in any shape and
// order. The header the unit gets is the archive's, the size the one of its data area, every chunk carries
// exactly the archive's next bytes (zeros after them), nothing goes out to a unit that reported too little
// room, and a run reported written sent the whole data area.
// Input: [flags] then bursts, each [length][bytes]; the length chooses the reply marker put before them.
// The archives are built once, with the program's own encoder.

#include "core/config/records.h"
#include "core/config/unit_profile.h"
#include "core/devicefiles/voice_archive_transfer.h"
#include "core/devicefiles/voice_format.h"
#include "core/link/memory_link.h"
#include "core/monitor/monitor_blocks.h"
#include "core/base/bytes.h"
#include "core/protocol/device_session.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace rv;

namespace {

void require(bool holds)
{
    if (!holds)
        std::abort();
}

QByteArray wav(int samples, char fill)
{
    QByteArray w("RIFF");
    auto put32 = [&w](uint32_t v) {
        for (int i = 0; i < 4; ++i)
            w.append(char(v >> (8 * i)));
    };
    put32(uint32_t(36 + samples));
    w += "WAVEfmt ";
    put32(16);
    w += QByteArray::fromHex("01000100f82a0000f82a000001000800");
    w += "data";
    put32(uint32_t(samples));
    return w + QByteArray(samples, fill);
}

struct Archive {
    QString path;
    QByteArray bytes;
};

// An archive with no message, one with a short one, and one whose data area takes several chunks.
const std::array<Archive, 3>& archives()
{
    static QTemporaryDir dir;
    static const std::array<Archive, 3> made = [] {
        std::array<Archive, 3> a;
        std::array<std::array<QByteArray, voice::kMessages>, 3> rows{};
        rows[1][4] = wav(100, 'a');
        rows[2][0] = wav(700, 'b');
        rows[2][44] = wav(300, 'c');
        for (int i = 0; i < 3; ++i) {
            a[i].path = dir.filePath(QStringLiteral("a%1.vfa").arg(i));
            a[i].bytes = voice::buildArchive(rows[i]);
            QFile f(a[i].path);
            if (!f.open(QIODevice::WriteOnly) || f.write(a[i].bytes) != a[i].bytes.size())
                std::abort();
        }
        return a;
    }();
    return made;
}

constexpr const char* kMarkers[] = {"", "+VMS", "+VWP", "+VFS", "+VWF"};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const Archive& archive = archives()[data[0] % 3];
    const uint8_t type = data[0] & 4 ? 3 : 2;
    const uint32_t payload = uint32_t(archive.bytes.size() - voice::kArchiveHeaderSize);

    MemoryLink link;
    ConfigRecords records;
    MonitorBlocks monitor;
    SessionController s(link, &records, &monitor);
    VoiceArchiveTransfer t(s);
    std::optional<uint32_t> capacity;
    QObject::connect(&t, &VoiceArchiveTransfer::capacityReported, [&](quint32 c) { capacity = c; });
    s.setPortName(QStringLiteral("unit"));
    s.start(false);
    for (int i = 0; i < 10; ++i)
        s.Find_deviceTimer();
    link.feed(QByteArray("RV-TR") + char(type) + '\x01' + QByteArray(4, '\0'));
    for (int i = 0; i < 6; ++i)
        s.Receive_timerTimer();
    require(t.start(archive.path));
    require(t.payloadSize() == payload);

    // What the unit was sent, followed command by command.
    qsizetype seen = 0;
    uint32_t sent = 0;
    auto check = [&] {
        const QList<QByteArray> w = link.writes();
        for (; seen + 1 < w.size(); ++seen) {
            if (w[seen] == voicecmd::kHeader) {
                require(capacity && *capacity >= payload && *capacity > 0);
                require(w[seen + 1] == archive.bytes.first(voice::kArchiveHeaderSize) + '\0');
            } else if (w[seen] == voicecmd::kSize) {
                require(w[seen + 1] == le::bytes32(payload));
            } else if (w[seen] == voicecmd::kChunk) {
                const int chunk = UnitProfile(type).voiceChunkBytes();
                const QByteArray expected = archive.bytes.mid(voice::kArchiveHeaderSize + sent, chunk);
                require(!expected.isEmpty());
                require(w[seen + 1] == expected + QByteArray(chunk + 1 - expected.size(), '\0'));
                sent += uint32_t(expected.size());
            }
        }
    };
    QObject::connect(&s.progress(), &ProgressWatchdog::closed, [&](const QString& text) {
        check();
        require(text != VoiceArchiveTransfer::kDone || sent == payload);
    });

    size_t at = 1;
    while (at < size) {
        const size_t len = std::min<size_t>(data[at], size - at - 1);
        ++at;
        const QByteArray burst = kMarkers[len % std::size(kMarkers)]
                                 + QByteArray(reinterpret_cast<const char*>(data + at), qsizetype(len));
        link.feed(burst);
        at += len;
        for (int tick = 0; tick < 6; ++tick)
            s.Receive_timerTimer();
        if (len % 7 == 0)
            for (int i = 0; i < 10; ++i)
                s.Find_deviceTimer();
        if (len % 11 == 0)
            s.progress().Timer1Timer();
        check();
        require(t.bytesSent() == sent && sent <= payload);
    }
    return 0;
}
