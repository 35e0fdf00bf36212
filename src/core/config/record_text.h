#pragma once

// Offline views of a record set for command-line front ends: every field by name, the fields that differ
// between two sets, and NAME=VALUE assignments. Names are unique across the three records.

#include "core/config/records.h"

#include <QList>
#include <QString>

namespace rv {

struct FieldLine
{
    const RecordBase* record = nullptr;
    const FieldDef* field = nullptr;
    int index = 0;
    QString name;  // "Perpackmove", "Phone[2]"
    QString value; // displayed form (RecordBase::displayAt)
};

// Every element of every field of the three records, in table order (a word comes before its bits).
QList<FieldLine> fieldLines(const ConfigRecords& records);

// "[ConfigBlock]" sections with "Name = value" lines; texts in double quotes.
QString dumpText(const ConfigRecords& records);
// {"ConfigBlock": {"Name": value, "Array": [..]}, ...}; numbers as JSON numbers, texts and hex as strings.
QByteArray dumpJson(const ConfigRecords& records);

struct FieldChange
{
    QString name;
    QString oldValue;
    QString newValue;
};

// The fields whose values differ. A word with named bits shows those bits, and the whole word only when
// a bit no name covers differs.
QList<FieldChange> diffRecords(const ConfigRecords& a, const ConfigRecords& b);
// "Name: old -> new" lines.
QString formatChanges(const QList<FieldChange>& changes);

struct AssignResult
{
    FieldError error = FieldError::None;
    QString name;  // as given, without the value
    bool ok() const { return error == FieldError::None; }
};

// Applies "NAME=VALUE" or "NAME[i]=VALUE" to whichever record has the field; range-checked, nothing
// changes on an error.
AssignResult assignField(ConfigRecords& records, QStringView assignment);

} // namespace rv
