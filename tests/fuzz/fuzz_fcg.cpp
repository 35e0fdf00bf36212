// A configuration file of arbitrary bytes opened into the records, then dumped and compared with a
// slightly changed copy, as rvctl's dump and diff do. The records hold exactly what the file holds at
// their offsets, the JSON dump parses, and two record sets differ exactly when diff shows a change.

#include "core/config/fcg_file.h"
#include "core/config/record_text.h"

#include <QHashFunctions>
#include <QJsonDocument>

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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArrayView file(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    ConfigRecords a;
    const FcgOpenResult opened = applyFcgBytes(a, file);
    if (!opened.ok())
        return 0;
    const QByteArray saved = fcgBytes(a);
    for (const auto& [offset, length] : {std::pair{kFcgConfigOffset, ConfigBlock::kSize},
                                         std::pair{kFcgInpOutOffset, InpOutBlock::kSize},
                                         std::pair{kFcgConfSeOffset, ConfSeBlock::kSize}}) {
        const qsizetype held = std::clamp<qsizetype>(file.size() - offset, 0, length);
        require(QByteArrayView(saved).sliced(offset, held) == file.sliced(std::min(offset, file.size()), held));
        require(QByteArrayView(saved).sliced(offset + held, length - held)
                == QByteArray(length - held, '\0')); // the rest of a zeroed record stays zero
    }

    // Dumping every field is the slow part and depends little on the bytes: one input in sixteen does it,
    // so the rest of the time goes to the open and the diff. The one is picked by all of its bytes (a file's
    // first byte is nearly always zero, and the mutations seldom touch it).
    if (qHash(file) % 16 == 0) {
        (void)dumpText(a);
        QJsonParseError error;
        (void)QJsonDocument::fromJson(dumpJson(a), &error);
        require(error.error == QJsonParseError::NoError);
        require(diffRecords(a, a).isEmpty());
    }

    // The same file with up to four bits flipped, at places the file's first bytes choose: a diff of a few
    // changes, where named bits inside words matter.
    QByteArray other = file.toByteArray();
    for (qsizetype k = 0; k + 2 < std::min<qsizetype>(other.size(), 12); k += 3) {
        const qsizetype at = ((uint8_t(other[k]) << 8) | uint8_t(other[k + 1])) % other.size();
        other[at] = char(other[at] ^ (1 << (uint8_t(other[k + 2]) % 8)));
    }
    ConfigRecords b;
    (void)applyFcgBytes(b, other);
    const QList<FieldChange> changes = diffRecords(a, b);
    (void)formatChanges(changes);
    require(changes.isEmpty() == (fcgBytes(a) == fcgBytes(b)));
    return 0;
}
