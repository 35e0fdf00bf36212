#pragma once

// "Структура пакета" (PS_page): the packet version and what the unit's navigation packets carry, as a list for
// version byte 1 and as a tree of data blocks for version byte 2, with the packet size. Gathered with the main
// record; a choice the user did not touch goes back with the bits it was read with.

#include "core/config/packet_structure.h"
#include "ui/config/editor_page.h"

#include <optional>

class QTreeWidgetItem;

namespace Ui {
class PsPage;
}

namespace rv {

class PsPage : public EditorPage {
    Q_OBJECT
public:
    explicit PsPage(ConfigRecords& records, QWidget* parent = nullptr);
    ~PsPage() override;

    void readRecord(ConfigRecords& from, RecordKind kind) override;
    QStringList gatherRecord(ConfigRecords& to, RecordKind kind) override;

    // What the controls show: the list's ticks as bits 0..15, the tree's chosen nodes.
    uint32_t listShown() const;
    packet::TreeChoice treeShown() const;
    QTreeWidgetItem* node(int n) const { return m_nodes.value(n); }

public slots:
    void ProtocolChange(int index);
    void CalcLenPack();
    void CalcLenPack_v1();

private:
    void StructToChecked(const packet::TreeWords& words);
    void showList(uint32_t word);

    // What the record held when the page was filled, and what the page showed of it.
    struct Spread
    {
        int protocolIndex;
        int protocolByte;
        uint32_t list;
        packet::TreeChoice tree;
        packet::TreeWords words;
    };

    std::unique_ptr<Ui::PsPage> m_ui;
    QList<QTreeWidgetItem*> m_nodes;
    std::optional<Spread> m_spread;
};

} // namespace rv
