#pragma once

// An editor page of PageControl1: a Designer form whose controls are bound to record fields by a binding
// table. The generic binder does the spreading and gathering; a page class adds only the behaviour with real
// logic (presets, enabling rules, coupled controls).
//
// A new page: a form in config/pages/ whose controls carry the documented objectNames, a constexpr table of
// Binding rows checked with static_assert(checkBindings(table)), a subclass that calls setupUi and bindTable,
// and ConfigPages::addPage. Rows of kCurrentElement are the one-item-at-a-time fields (written at once, shown
// by loadElement); every other row is filled by readRecord and gathered by gatherRecord. Handlers with logic
// connect to user signals only (clicked, activated, textEdited), so filling a page never runs them.

#include "core/config/page_binding.h"

#include <QWidget>

#include <span>

namespace rv {

class PageBinder;

class EditorPage : public QWidget {
    Q_OBJECT
public:
    // `index`: the page's place in PageControl1. `records`: where the page's handlers write at once.
    EditorPage(int index, ConfigRecords& records, QWidget* parent = nullptr);

    int pageIndex() const { return m_index; }
    ConfigRecords& records() const { return m_records; }
    PageBinder* binder() const { return m_binder; }

    // The record of `kind` in `from` was replaced (read from the unit, opened from a file): show it. This is
    // the page's share of Read_config (and Read_Config2 for the extended record). It never changes a byte of
    // the records: they are written only by the user's edits.
    virtual void readRecord(ConfigRecords& from, RecordKind kind);
    // The page's share of Load_config / Write_Config2: its controls into `to`. Returns the objectNames of the
    // controls whose values were refused (the record keeps what it had there).
    virtual QStringList gatherRecord(ConfigRecords& to, RecordKind kind);
    // For a page that shows one item at a time: show item `element` (0-based) of the records.
    virtual void loadElement(int element);

protected:
    // Call once the form is set up.
    void bindTable(std::span<const Binding> table);
    // Enabling rules that follow the controls' state; run after every fill.
    virtual void refreshEnabling() {}

private:
    int m_index;
    ConfigRecords& m_records;
    PageBinder* m_binder = nullptr;
};

} // namespace rv
