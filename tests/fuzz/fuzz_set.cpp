// rvctl set: lines of arbitrary text applied as NAME=VALUE assignments to the records. A refused one
// changes no byte; one that is taken shows a value that, set again, changes nothing; no unsigned field
// takes a minus sign.

#include "core/config/fcg_file.h"
#include "core/config/record_text.h"

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

// The field and element an accepted assignment named ("Phone[2]" → Phone, 2).
const FieldDef* named(ConfigRecords& r, QStringView name, RecordBase*& record, int& index)
{
    index = 0;
    if (name.endsWith(u']')) {
        const qsizetype open = name.indexOf(u'[');
        index = name.sliced(open + 1, name.size() - open - 2).toInt();
        name = name.first(open);
    }
    for (RecordBase* rec : {static_cast<RecordBase*>(&r.config), static_cast<RecordBase*>(&r.inpOut),
                            static_cast<RecordBase*>(&r.confSe)}) {
        if (const FieldDef* f = rec->field(name)) {
            record = rec;
            return f;
        }
    }
    return nullptr;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    ConfigRecords records;
    for (const QString& line : text.split(u'\n')) {
        const QByteArray before = fcgBytes(records);
        const AssignResult result = assignField(records, line);
        if (!result.ok()) {
            require(fcgBytes(records) == before);
            continue;
        }
        RecordBase* record = nullptr;
        int index = 0;
        const FieldDef* f = named(records, QStringView(result.name), record, index);
        require(f != nullptr);
        const QString value = line.sliced(line.indexOf(u'=') + 1);
        require(!(value.trimmed().startsWith(u'-') && f->isInteger() && f->encoding != Encoding::Signed));

        const QByteArray after = fcgBytes(records);
        const AssignResult again = assignField(records, result.name + u'=' + record->displayAt(*f, index));
        require(again.ok());
        require(fcgBytes(records) == after);
    }
    return 0;
}
