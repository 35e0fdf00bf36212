#pragma once

// Find a setting by what the user remembers of it: part of its caption as the pages show it, its field name
// or its control's name. The index is the caption table of the editor pages, so every control is in it.

#include "core/config/record_diff.h"

#include <QList>
#include <QString>

namespace rv {

struct SettingEntry
{
    QString node;    // the navigation node that opens its page ("Соединение 1", "Обработка событий")
    QString text;    // "page › group › caption", as listed
    QString control; // objectName of the control
    QString field;   // the record field it shows
    int row = 0;     // its row in pageCaptions()
};

// Every control of the caption table, in page order. Pages of one item at a time are listed for item 1.
const QList<SettingEntry>& settingIndex();

// The entries whose text, field name or control name holds `query` (case and "ё"/"е" ignored, blanks
// trimmed), in page order; nothing for a query shorter than two characters.
QList<SettingEntry> findSettings(const QString& query);

// What a bound edit accepts, for its tool tip: "Диапазон: 0…65535 сек", "Длина текста: до 31". The unit
// comes from the caption (its part after the last comma: "Период отправки, сек"). Empty for controls that
// are not edits.
QString settingRangeText(const CaptionRow& row);
// The caption row of a control of `record` by objectName, or nullptr.
const CaptionRow* captionRowOf(QStringView control, RecordKind record);

} // namespace rv
