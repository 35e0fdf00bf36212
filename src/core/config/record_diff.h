#pragma once

// What a write would change: two record sets in, the differences out, each named the way the editor pages
// name it ("Настройки соединения › ID устройства") and valued in the text the page shows. Bits no page
// control shows are listed by record and byte offset. The window of the program and rvctl use the same list.

#include "core/config/page_binding.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <span>
#include <string_view>

namespace rv {

// One control of an editor page with the caption a user knows it by. The binding is the page's own row.
struct CaptionRow
{
    std::u16string_view page;    // the page's caption; "%1" stands for the item on pages of one item at a time
    std::u16string_view caption; // the control's caption (a group's caption for radio buttons)
    Binding binding;
    std::u16string_view item = {}; // radio buttons: the button's own caption, the value shown for the group
};

// Every control of the editor pages, in page order.
std::span<const CaptionRow> pageCaptions();

struct RecordDifference
{
    QString name;   // "Вход 3 › Тип входа"; bytes no control shows: "ConfigBlock, байт 37 (Reserved)"
    QString before; // the value now on the unit (or in the file)
    QString after;  // the value a write would send
    RecordKind record = RecordKind::Config;
    int offset = 0;   // first byte of the field element
    QString control;  // objectName; empty for bytes no control shows
    int item = -1;    // the item, on pages of one item at a time
    bool operator==(const RecordDifference&) const = default;
};

// A drop-down's items by its objectName; an empty list (or no function) shows the stored number.
using ListItems = std::function<QStringList(QStringView control)>;

// The differences from `before` to `after`: controls in page order, then bytes no control shows, by record
// and offset. Identical records give an empty list.
QList<RecordDifference> compareRecords(const ConfigRecords& before, const ConfigRecords& after,
                                       const ListItems& lists = {});

// "name: before -> after" lines.
QString formatDifferences(const QList<RecordDifference>& differences);

} // namespace rv
