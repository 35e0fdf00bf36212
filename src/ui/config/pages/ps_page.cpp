#include "ui/config/pages/ps_page.h"

#include "ui/app/navigation.h"
#include "ui_ps_page.h"

#include <QListWidget>
#include <QSignalBlocker>
#include <QTreeWidget>

namespace rv {

namespace {

constexpr int kPlaceholderItem = 0; // "Выберите версию протокола", stored as version byte 1
constexpr int kListVersion = 1;
constexpr int kTreeVersion = 2;

void storeByte(RecordBase& r, QStringView name, int index, qint64 value)
{
    if (const FieldDef* f = r.field(name))
        r.storeNumberAt(*f, index, value);
}

void storeWords(ConfigBlock& c, const packet::TreeWords& w)
{
    storeByte(c, u"PacketStruct", 0, w.word);
    for (int i = 0; i < packet::kV1Bytes; ++i)
        storeByte(c, u"PacketStructV1", i, w.v1[i]);
}

} // namespace

PsPage::PsPage(ConfigRecords& records, QWidget* parent)
    : EditorPage(nav::PS_page, records, parent), m_ui(std::make_unique<Ui::PsPage>())
{
    m_ui->setupUi(this);
    for (const packet::ListItem& item : packet::kListItems) {
        auto* i = new QListWidgetItem(QString::fromUtf16(item.caption), m_ui->PacketStruct_new);
        i->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        i->setCheckState(Qt::Unchecked);
    }
    QTreeWidgetItem* block = nullptr;
    for (const packet::TreeNode& n : packet::kTreeNodes) {
        QTreeWidgetItem* item = n.isBlock ? new QTreeWidgetItem(m_ui->PackStrV1) : new QTreeWidgetItem(block);
        item->setText(0, QString::fromUtf16(n.caption));
        if (n.isBlock)
            block = item;
        // Blocks 7 and 8 store nothing, so they offer no tick that would vanish on the next read.
        if (n.store != packet::Store::None) {
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable
                           | (n.isBlock ? Qt::ItemFlags(Qt::ItemIsAutoTristate) : Qt::ItemFlags()));
            item->setCheckState(0, Qt::Unchecked);
        } else {
            item->setFlags(Qt::ItemIsEnabled);
        }
        m_nodes.append(item);
    }
    m_ui->PackStrV1->expandAll();
    {
        const QSignalBlocker block(m_ui->Protocol);
        m_ui->Protocol->setCurrentIndex(kListVersion); // "Версия 0"
    }
    ProtocolChange(kListVersion);

    connect(m_ui->Protocol, &QComboBox::activated, this, &PsPage::ProtocolChange);
    connect(m_ui->PacketStruct_new, &QListWidget::itemChanged, this, &PsPage::CalcLenPack);
    connect(m_ui->PackStrV1, &QTreeWidget::itemChanged, this, &PsPage::CalcLenPack_v1);
}

PsPage::~PsPage() = default;

uint32_t PsPage::listShown() const
{
    uint32_t bits = 0;
    for (int i = 0; i < m_ui->PacketStruct_new->count() && i < packet::kListItemCount; ++i)
        if (m_ui->PacketStruct_new->item(i)->checkState() == Qt::Checked)
            bits |= uint32_t(1) << i;
    return bits;
}

packet::TreeChoice PsPage::treeShown() const
{
    packet::TreeChoice c;
    for (int n = 0; n < m_nodes.size(); ++n) {
        const Qt::CheckState s = m_nodes[n]->checkState(0);
        // A block counts when it is ticked or partly ticked, an item when it is ticked.
        if (packet::kTreeNodes[n].store != packet::Store::None
            && (s == Qt::Checked || (packet::kTreeNodes[n].isBlock && s == Qt::PartiallyChecked)))
            c.set(n);
    }
    return c;
}

void PsPage::ProtocolChange(int index)
{
    m_ui->PacketStruct_new->setVisible(index == kListVersion);
    m_ui->PackStrV1->setVisible(index == kTreeVersion);
    if (index == kTreeVersion)
        CalcLenPack_v1();
    else
        CalcLenPack();
}

void PsPage::CalcLenPack()
{
    m_ui->Label228->setText(QStringLiteral("Размер пакета, байт: ") + QString::number(packet::listPacketSize(listShown())));
}

void PsPage::CalcLenPack_v1()
{
    m_ui->Label228->setText(QStringLiteral("Размер пакета, байт: ") + QString::number(packet::treePacketSize(treeShown())));
}

void PsPage::showList(uint32_t word)
{
    const QSignalBlocker block(m_ui->PacketStruct_new);
    for (int i = 0; i < m_ui->PacketStruct_new->count(); ++i)
        m_ui->PacketStruct_new->item(i)->setCheckState((word >> i) & 1u ? Qt::Checked : Qt::Unchecked);
}

void PsPage::StructToChecked(const packet::TreeWords& words)
{
    const packet::TreeChoice c = packet::treeChoice(words);
    const QSignalBlocker block(m_ui->PackStrV1);
    // Items only: a block follows its items.
    for (int n = 0; n < m_nodes.size(); ++n)
        if (!packet::kTreeNodes[n].isBlock)
            m_nodes[n]->setCheckState(0, c.test(n) ? Qt::Checked : Qt::Unchecked);
}

void PsPage::readRecord(ConfigRecords& from, RecordKind kind)
{
    EditorPage::readRecord(from, kind);
    if (kind != RecordKind::Config)
        return;
    const int protocol = int(from.config.number(u"Protocol").value);
    const int index = protocol < m_ui->Protocol->count() ? protocol : -1;
    {
        const QSignalBlocker block(m_ui->Protocol);
        // A version no item stands for is shown as its number and kept.
        m_ui->Protocol->setPlaceholderText(index < 0 ? QStringLiteral("(%1)").arg(protocol) : QString());
        m_ui->Protocol->setCurrentIndex(index);
    }
    const packet::TreeWords words = packet::treeWordsOf(from.config);
    // Both choices are shown, so that switching the version shows what the unit would read from the bits.
    showList(words.word);
    StructToChecked(words);
    ProtocolChange(index);
    m_spread = Spread{index, protocol, listShown(), treeShown(), words};
}

QStringList PsPage::gatherRecord(ConfigRecords& to, RecordKind kind)
{
    QStringList refused = EditorPage::gatherRecord(to, kind);
    if (kind != RecordKind::Config)
        return refused;
    const int index = m_ui->Protocol->currentIndex();
    const bool protocolChanged = !m_spread || index != m_spread->protocolIndex;
    const bool listChanged = !m_spread || listShown() != m_spread->list;
    const bool treeChanged = !m_spread || treeShown() != m_spread->tree;
    if (m_spread) {
        storeByte(to.config, u"Protocol", 0, m_spread->protocolByte);
        storeWords(to.config, m_spread->words);
    }
    // What the page was filled with goes back as it was, a version byte no item stands for included.
    if (!protocolChanged && !listChanged && !treeChanged)
        return refused;
    const int stored = m_spread ? m_spread->protocolByte : 0;
    const int version = index <= kPlaceholderItem ? kListVersion : index;
    storeByte(to.config, u"Protocol", 0, version);
    // The choice of the version stored is encoded anew only when the user changed it, or the version.
    if (version == kListVersion && (listChanged || stored != kListVersion))
        storeByte(to.config, u"PacketStruct", 0, listShown());
    else if (version == kTreeVersion && (treeChanged || stored != kTreeVersion))
        storeWords(to.config, packet::treeWords(treeShown()));
    return refused;
}

} // namespace rv
