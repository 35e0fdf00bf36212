#pragma once

// The generic spreader and gatherer of a page: it walks the page's binding table, finds each control by its
// objectName, fills it from the records and reads it back. Filling never runs a change handler of the page.
// Rows of the current element (one connection, one input) are written into the records the moment the user
// changes their control; all other rows are gathered just before a write or a save.

#include "core/config/page_binding.h"

#include <QHash>
#include <QObject>

#include <functional>
#include <optional>
#include <span>

class QWidget;

namespace rv {

class PageBinder : public QObject {
    Q_OBJECT
public:
    using RowFilter = std::function<bool(const Binding&)>;

    // `records`: where the rows of the current element are written. Controls the table names must exist under
    // `page` (a missing one is skipped and reported once by a warning). Key filters and validators are
    // installed on the edits here.
    PageBinder(QWidget* page, std::span<const Binding> table, ConfigRecords& records);

    std::span<const Binding> table() const { return m_table; }
    QWidget* control(const Binding& row) const;
    QWidget* control(QStringView objectName) const;
    const Binding* row(QStringView objectName) const;

    // The element shown by the rows of kCurrentElement.
    int element() const { return m_element; }

    // Record → controls, for the gathered rows of `kind` (of every record when none) that `which` accepts.
    void spread(const ConfigRecords& from, std::optional<RecordKind> kind = {}, const RowFilter& which = {});
    // Record → controls for the rows of the current element, showing element `element` of the page's records.
    void load(int element);
    // Controls → records, for the gathered rows of `kind` that `which` accepts. Controls whose value is
    // refused keep the record's value, get the invalid cue and are returned by objectName.
    QStringList gather(ConfigRecords& to, std::optional<RecordKind> kind = {}, const RowFilter& which = {});

    // What the control shows now, as the core sees it.
    ControlValue valueOf(const Binding& row) const;

signals:
    // A row of the current element was written into the records after the user changed its control.
    void written(const rv::Binding& row);

private:
    void show(const Binding& row, const RecordBase& record, int element);
    void userChanged(const Binding& row);
    void connectRow(const Binding& row);
    int listItems(const Binding& row) const;

    QWidget* m_page;
    std::span<const Binding> m_table;
    ConfigRecords& m_records;
    int m_element = 0;
    QHash<const Binding*, QWidget*> m_controls;
    QHash<const Binding*, Spread> m_spread;
};

} // namespace rv
