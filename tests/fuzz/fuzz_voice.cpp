// Arbitrary bytes as a voice WAV file and as a voice archive. A WAV is accepted only with a RIFF size that
// matches its length; an archive built from accepted files opens again with the same entries, and an
// archive header that opens never names bytes outside the file.

#include "core/devicefiles/voice_format.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace rv;
using namespace rv::voice;

namespace {

void require(bool holds)
{
    if (!holds)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    const WavCheck wav = checkWav(bytes, bytes.size());
    if (wav.ok())
        require(qint64(wav.riffSize) + 8 == bytes.size() && bytes.size() >= kWavHeaderSize);
    // The same header as the head of a longer file passes only when its RIFF size names that length.
    const WavCheck longer = checkWav(bytes, bytes.size() + 1);
    if (longer.ok())
        require(qint64(longer.riffSize) + 8 == bytes.size() + 1);

    const ArchiveHeader archive = parseArchiveHeader(bytes, bytes.size());
    if (archive.ok()) {
        require(qint64(archive.payloadSize) + kArchiveHeaderSize == bytes.size());
        for (const Entry& e : archive.entries)
            require(e.size == 0 || uint64_t(e.offset) + e.size + 8 <= archive.payloadSize);
    }

    // The bytes as the WAV of two rows: the archive built from them opens with those entries.
    std::array<QByteArray, kMessages> files;
    files[0] = bytes.toByteArray();
    files[kMessages - 1] = bytes.toByteArray();
    const QByteArray built = buildArchive(files);
    const ArchiveHeader again = parseArchiveHeader(built, built.size());
    require(again.ok());
    if (wav.ok()) {
        require(again.entries[0] == (Entry{0, wav.riffSize}));
        require(again.entries[kMessages - 1] == (Entry{wav.riffSize, wav.riffSize}));
        require(built.size() == kArchiveHeaderSize + 2 * qsizetype(wav.riffSize) + 8);
    } else {
        require(built == QByteArray(kArchiveHeaderSize, '\0'));
    }
    return 0;
}
