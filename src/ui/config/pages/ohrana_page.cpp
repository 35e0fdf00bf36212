#include "ui/config/pages/ohrana_page.h"

#include "core/config/input_page_rules.h"
#include "ui/app/navigation.h"
#include "ui/config/edit_rules.h"
#include "ui/config/page_binder.h"
#include "ui_ohrana_page.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QStyledItemDelegate>

namespace rv {

namespace {

using namespace bind;

// The reaction timing edits have no key filter: text that is not a number in range is marked and never stored.
constexpr std::array kOhrana{
    check("Ohrana_en"),
    check("INOh1").of("INOh", 0),
    check("INOh2").of("INOh", 1),
    check("INOh3").of("INOh", 2),
    check("INOh4").of("INOh", 3),
    check("INOh5").of("INOh", 4),
    check("INOh6").of("INOh", 5),
    check("INOh7").of("INOh", 6),
    check("INOh8").of("INOh", 7),
    number("TINOh").rule(Validator::Val_1_255),
    number("TOUTOh").rule(Validator::Val_1_255),
    number("TALOh").rule(Validator::Val_1_255),
    check("Write_img_oh"),
    radio("Image_dest_oh", "Image_dest_oh", 1),
    radio("Image_dest_ohinv", "Image_dest_oh", 0),
    list("OUT1ohactiv").of("Out1mode_actoh").in(RecordKind::InpOut),
    list("OUT2ohactiv").of("Out2mode_actoh").in(RecordKind::InpOut),
    list("OUT3ohactiv").of("Out3mode_actoh").in(RecordKind::InpOut),
    list("OUT4ohactiv").of("Out4mode_actoh").in(RecordKind::InpOut),
    number("Out1act_actoh").filter(KeyFilter::None).rule(Validator::Val_1_255).in(RecordKind::InpOut),
    number("Out1pause_actoh").filter(KeyFilter::None).rule(Validator::Val_1_255).in(RecordKind::InpOut),
    number("Out1per_actoh").filter(KeyFilter::None).rule(Validator::Val_1_255).in(RecordKind::InpOut),
    number("Out2act_actoh").filter(KeyFilter::None).rule(Validator::Val_1_255).in(RecordKind::InpOut),
    number("Out2pause_actoh").filter(KeyFilter::None).rule(Validator::Val_1_255).in(RecordKind::InpOut),
    number("Out2per_actoh").filter(KeyFilter::None).rule(Validator::Val_1_255).in(RecordKind::InpOut),
    number("Out3act_actoh").filter(KeyFilter::None).rule(Validator::Val_1_255).in(RecordKind::InpOut),
    number("Out3pause_actoh").filter(KeyFilter::None).rule(Validator::Val_1_255).in(RecordKind::InpOut),
    number("Out3per_actoh").filter(KeyFilter::None).rule(Validator::Val_1_255).in(RecordKind::InpOut),
    number("Out4act_actoh").filter(KeyFilter::None).rule(Validator::Val_1_255).in(RecordKind::InpOut),
    number("Out4pause_actoh").filter(KeyFilter::None).rule(Validator::Val_1_255).in(RecordKind::InpOut),
    number("Out4per_actoh").filter(KeyFilter::None).rule(Validator::Val_1_255).in(RecordKind::InpOut),
    list("OUT1ohpass").of("Out1mode_passoh").in(RecordKind::InpOut),
    list("OUT2ohpass").of("Out2mode_passoh").in(RecordKind::InpOut),
    list("OUT3ohpass").of("Out3mode_passoh").in(RecordKind::InpOut),
    list("OUT4ohpass").of("Out4mode_passoh").in(RecordKind::InpOut),
    number("Out1act_passoh").filter(KeyFilter::None).rule(Validator::Val_1_255).in(RecordKind::InpOut),
    number("Out1pause_passoh").filter(KeyFilter::None).rule(Validator::Val_1_255).in(RecordKind::InpOut),
    number("Out1per_passoh").filter(KeyFilter::None).rule(Validator::Val_1_255).in(RecordKind::InpOut),
    number("Out2act_passoh").filter(KeyFilter::None).rule(Validator::Val_1_255).in(RecordKind::InpOut),
    number("Out2pause_passoh").filter(KeyFilter::None).rule(Validator::Val_1_255).in(RecordKind::InpOut),
    number("Out2per_passoh").filter(KeyFilter::None).rule(Validator::Val_1_255).in(RecordKind::InpOut),
    number("Out3act_passoh").filter(KeyFilter::None).rule(Validator::Val_1_255).in(RecordKind::InpOut),
    number("Out3pause_passoh").filter(KeyFilter::None).rule(Validator::Val_1_255).in(RecordKind::InpOut),
    number("Out3per_passoh").filter(KeyFilter::None).rule(Validator::Val_1_255).in(RecordKind::InpOut),
    number("Out4act_passoh").filter(KeyFilter::None).rule(Validator::Val_1_255).in(RecordKind::InpOut),
    number("Out4pause_passoh").filter(KeyFilter::None).rule(Validator::Val_1_255).in(RecordKind::InpOut),
    number("Out4per_passoh").filter(KeyFilter::None).rule(Validator::Val_1_255).in(RecordKind::InpOut),
    list("OUT1ohtrevoga").of("Out1mode_trevoh").in(RecordKind::InpOut),
    list("OUT2ohtrevoga").of("Out2mode_trevoh").in(RecordKind::InpOut),
    list("OUT3ohtrevoga").of("Out3mode_trevoh").in(RecordKind::InpOut),
    list("OUT4ohtrevoga").of("Out4mode_trevoh").in(RecordKind::InpOut),
    number("Out1act_trevoh").filter(KeyFilter::None).rule(Validator::Val_1_255).in(RecordKind::InpOut),
    number("Out1pause_trevoh").filter(KeyFilter::None).rule(Validator::Val_1_255).in(RecordKind::InpOut),
    number("Out1per_trevoh").filter(KeyFilter::None).rule(Validator::Val_1_255).in(RecordKind::InpOut),
    number("Out2act_trevoh").filter(KeyFilter::None).rule(Validator::Val_1_255).in(RecordKind::InpOut),
    number("Out2pause_trevoh").filter(KeyFilter::None).rule(Validator::Val_1_255).in(RecordKind::InpOut),
    number("Out2per_trevoh").filter(KeyFilter::None).rule(Validator::Val_1_255).in(RecordKind::InpOut),
    number("Out3act_trevoh").filter(KeyFilter::None).rule(Validator::Val_1_255).in(RecordKind::InpOut),
    number("Out3pause_trevoh").filter(KeyFilter::None).rule(Validator::Val_1_255).in(RecordKind::InpOut),
    number("Out3per_trevoh").filter(KeyFilter::None).rule(Validator::Val_1_255).in(RecordKind::InpOut),
    number("Out4act_trevoh").filter(KeyFilter::None).rule(Validator::Val_1_255).in(RecordKind::InpOut),
    number("Out4pause_trevoh").filter(KeyFilter::None).rule(Validator::Val_1_255).in(RecordKind::InpOut),
    number("Out4per_trevoh").filter(KeyFilter::None).rule(Validator::Val_1_255).in(RecordKind::InpOut),
};
static_assert(checkBindings(kOhrana));

constexpr int kKeyColumn = 1;
const QColor kInvalidCell(0xff, 0xc8, 0xc8);

// iButtonGridKeyPress: a key cell takes hex digits only, at most twelve of them.
class KeyCellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex&) const override
    {
        auto* edit = new QLineEdit(parent);
        edit->setObjectName(QStringLiteral("iButtonCellEdit"));
        edit->setMaxLength(inputs::kKeyDigits);
        installKeyFilter(edit, KeyFilter::Hex);
        return edit;
    }
};

QTableWidgetItem* fixedItem(const QString& text)
{
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled);
    return item;
}

} // namespace

OhranaPage::OhranaPage(ConfigRecords& records, QWidget* parent)
    : EditorPage(nav::Ohrana, records, parent), m_ui(std::make_unique<Ui::OhranaPage>())
{
    m_ui->setupUi(this);
    bindTable(kOhrana);

    // Column 0 numbers the rows; rows 1..5 of column 1 hold the five keys.
    QTableWidget* grid = m_ui->iButtonGrid;
    grid->horizontalHeader()->hide();
    grid->verticalHeader()->hide();
    grid->setColumnWidth(0, 40);
    grid->setColumnWidth(kKeyColumn, 160);
    grid->setItem(0, 0, fixedItem(QString()));
    grid->setItem(0, kKeyColumn, fixedItem(QStringLiteral("код i-Button")));
    for (int r = 1; r <= inputs::kKeys; ++r) {
        grid->setItem(r, 0, fixedItem(QString::number(r)));
        grid->setItem(r, kKeyColumn, new QTableWidgetItem(QString()));
    }
    grid->setItemDelegateForColumn(kKeyColumn, new KeyCellDelegate(grid));
    int height = 2 * grid->frameWidth();
    for (int r = 0; r < grid->rowCount(); ++r)
        height += grid->rowHeight(r);
    grid->setFixedSize(2 * grid->frameWidth() + 200, height);
    connect(grid, &QTableWidget::itemChanged, this, &OhranaPage::iButtonGridChanged);
}

OhranaPage::~OhranaPage() = default;

QTableWidget* OhranaPage::keyGrid() const
{
    return m_ui->iButtonGrid;
}

QString OhranaPage::keyCell(int key) const
{
    const QTableWidgetItem* item = m_ui->iButtonGrid->item(key + 1, kKeyColumn);
    return item ? item->text() : QString();
}

void OhranaPage::markKey(int key, bool invalid)
{
    if (QTableWidgetItem* item = m_ui->iButtonGrid->item(key + 1, kKeyColumn)) {
        item->setBackground(invalid ? QBrush(kInvalidCell) : QBrush());
        item->setToolTip(invalid ? QStringLiteral("Недопустимое значение: в конфигурацию оно не попадет") : QString());
    }
}

void OhranaPage::readRecord(ConfigRecords& from, RecordKind kind)
{
    EditorPage::readRecord(from, kind);
    if (kind != RecordKind::Config)
        return;
    m_filling = true;
    for (int k = 0; k < inputs::kKeys; ++k) {
        const QByteArray bytes = from.config.raw(u"IButtonKeys", k).value;
        const QString text = inputs::keyText(bytes);
        m_keys[k] = ShownKey{text, bytes};
        if (QTableWidgetItem* item = m_ui->iButtonGrid->item(k + 1, kKeyColumn))
            item->setText(text);
        markKey(k, false);
    }
    m_filling = false;
}

void OhranaPage::iButtonGridChanged(QTableWidgetItem* item)
{
    if (m_filling || !item || item->column() != kKeyColumn || item->row() < 1 || item->row() > inputs::kKeys)
        return;
    const int key = item->row() - 1;
    // A short key is padded on the left at once, so the cell shows exactly the key that will be stored.
    const std::optional<QString> padded = inputs::paddedKey(item->text());
    markKey(key, !padded);
    if (padded && *padded != item->text()) {
        m_filling = true;
        item->setText(*padded);
        m_filling = false;
    }
}

QStringList OhranaPage::gatherRecord(ConfigRecords& to, RecordKind kind)
{
    QStringList refused = EditorPage::gatherRecord(to, kind);
    if (kind != RecordKind::Config)
        return refused;
    const FieldDef* field = to.config.field(u"IButtonKeys");
    bool keyRefused = false;
    for (int k = 0; k < inputs::kKeys && field; ++k) {
        const QString text = keyCell(k);
        if (m_keys[k] && m_keys[k]->text == text) {
            // Unchanged: the stored bytes go back as they were, a key with byte 0 equal to 0 included.
            to.config.setRawAt(*field, k, m_keys[k]->bytes);
            continue;
        }
        if (const std::optional<QByteArray> bytes = inputs::keyBytes(text)) {
            to.config.setRawAt(*field, k, *bytes);
        } else {
            markKey(k, true);
            keyRefused = true;
        }
    }
    if (keyRefused)
        refused << QStringLiteral("iButtonGrid");
    return refused;
}

} // namespace rv
