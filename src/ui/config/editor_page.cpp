#include "ui/config/editor_page.h"

#include "ui/config/page_binder.h"

namespace rv {

EditorPage::EditorPage(int index, ConfigRecords& records, QWidget* parent)
    : QWidget(parent), m_index(index), m_records(records)
{
}

void EditorPage::bindTable(std::span<const Binding> table)
{
    m_binder = new PageBinder(this, table, m_records);
}

void EditorPage::readRecord(ConfigRecords& from, RecordKind kind)
{
    if (m_binder)
        m_binder->spread(from, kind);
    refreshEnabling();
}

QStringList EditorPage::gatherRecord(ConfigRecords& to, RecordKind kind)
{
    return m_binder ? m_binder->gather(to, kind) : QStringList();
}

void EditorPage::loadElement(int element)
{
    if (m_binder)
        m_binder->load(element);
    refreshEnabling();
}

} // namespace rv
