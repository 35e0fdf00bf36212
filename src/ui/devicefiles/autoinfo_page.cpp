#include "ui/devicefiles/autoinfo_page.h"

#include "core/base/cp1251.h"
#include "core/base/input_file.h"
#include "core/devicefiles/voice_format.h"
#include "core/devicefiles/waypoint_import.h"
#include "ui/app/app_texts.h"
#include "ui/app/navigation.h"
#include "ui_autoinfo_page.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <algorithm>

namespace rv {

namespace {

using namespace bind;
using route::RouteTable;

constexpr std::array kAutoinfo{
    check("Autoinfo_en"),
};
static_assert(checkBindings(kAutoinfo));

const char* const kColumnProperty = "routeColumn";

const QStringList& openFilters()
{
    static const QStringList f = {
        QStringLiteral("File configuration [*.fcg] (*.fcg)"), QStringLiteral("File autoinformer [*.fai] (*.fai)"),
        QStringLiteral("Audio file [*.wav] (*.wav)"),         QStringLiteral("Firmware [*.bin] (*.bin)"),
        QStringLiteral("Voice file archive [*.vfa] (*.vfa)"),
        QStringLiteral("OziExplorer Waypoint File [*.wpt] (*.wpt)")};
    return f;
}

const QStringList& saveFilters()
{
    static const QStringList f = {
        QStringLiteral("File configuration [*.fcg] (*.fcg)"), QStringLiteral("File autoinformer [*.fai] (*.fai)"),
        QStringLiteral("Log file [*.log] (*.log)"), QStringLiteral("Voice file archive [*.vfa] (*.vfa)")};
    return f;
}

// Cell editors whose typed characters go through the page's key filter first.
class CellDelegate : public QStyledItemDelegate {
public:
    CellDelegate(QObject* filter, QObject* parent) : QStyledItemDelegate(parent), m_filter(filter) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
            edit->setProperty(kColumnProperty, index.column());
            edit->installEventFilter(m_filter);
        }
        return editor;
    }

private:
    QObject* m_filter;
};

} // namespace

AutoinfoPage::AutoinfoPage(ConfigRecords& records, QWidget* parent)
    : EditorPage(nav::Autoinfo, records, parent), m_ui(std::make_unique<Ui::AutoinfoPage>())
{
    m_ui->setupUi(this);
    bindTable(kAutoinfo);

    QTableWidget* g = m_ui->AutoinfoGrid;
    g->setHorizontalHeaderLabels(route::headers());
    g->verticalHeader()->hide();
    g->setItemDelegate(new CellDelegate(this, g));
    g->horizontalHeader()->setSectionResizeMode(route::ColName, QHeaderView::Stretch);
    g->setColumnWidth(route::ColNumber, 40);
    showTable(RouteTable{});
    connect(g, &QTableWidget::currentCellChanged, this, [this](int row) {
        if (row >= 0)
            m_selected = row + 1; // AutoinfoGridClick
    });

    m_menu = new QMenu(this);
    m_menu->setObjectName(QStringLiteral("PopupMenu1"));
    const auto add = [this](const char* name, const QString& caption, void (AutoinfoPage::*slot)()) {
        QAction* a = m_menu->addAction(caption);
        a->setObjectName(QLatin1String(name));
        connect(a, &QAction::triggered, this, slot);
    };
    add("Ins_coord", QStringLiteral("Вставить текущие координаты"), &AutoinfoPage::Ins_coordClick);
    add("Change_wav_file", QStringLiteral("Выбрать файл"), &AutoinfoPage::Change_wav_fileClick);
    add("Add_string_autoinfo", QStringLiteral("Добавить строку"), &AutoinfoPage::Add_string_autoinfoClick);
    add("Del_string_autoinfo", QStringLiteral("Удалить строку"), &AutoinfoPage::Del_string_autoinfoClick);
    add("Del_all_autoinfo", QStringLiteral("Удалить все"), &AutoinfoPage::Del_all_autoinfoClick);
    add("N101", QStringLiteral("Добавить 10 строк"), &AutoinfoPage::N101Click);
    add("N10", QStringLiteral("Добавить 50 строк"), &AutoinfoPage::N10Click);
    connect(g, &QWidget::customContextMenuRequested, this,
            [this, g](const QPoint& at) { m_menu->popup(g->viewport()->mapToGlobal(at)); });

    connect(m_ui->Open_autoinfo, &QPushButton::clicked, this, &AutoinfoPage::Open_autoinfoClick);
    connect(m_ui->SpeedButton1, &QPushButton::clicked, this, &AutoinfoPage::SpeedButton1Click);
    connect(m_ui->Save_autoinfo, &QPushButton::clicked, this, &AutoinfoPage::Save_autoinfoClick);
    connect(m_ui->Read_autoinfo, &QPushButton::clicked, this, &AutoinfoPage::readRequested);
    connect(m_ui->Write_autoinfo, &QPushButton::clicked, this, &AutoinfoPage::writeRequested);
}

AutoinfoPage::~AutoinfoPage() = default;

QTableWidget* AutoinfoPage::grid() const { return m_ui->AutoinfoGrid; }

void AutoinfoPage::commitEdit()
{
    // A cell still being typed into counts with what it shows.
    QTableWidget* g = m_ui->AutoinfoGrid;
    for (QLineEdit* edit : g->viewport()->findChildren<QLineEdit*>()) {
        if (!edit->property(kColumnProperty).isValid() || edit->isHidden())
            continue;
        emit g->itemDelegate()->commitData(edit);
        emit g->itemDelegate()->closeEditor(edit);
    }
}

RouteTable AutoinfoPage::table() const
{
    const QTableWidget* g = m_ui->AutoinfoGrid;
    RouteTable t;
    t.rows.clear();
    for (int r = 0; r < g->rowCount(); ++r) {
        route::RouteRow row;
        for (int c = route::ColLatitude; c < route::kColumnCount; ++c)
            if (const QTableWidgetItem* item = g->item(r, c))
                row[c] = item->text();
        t.rows.append(row);
    }
    return t;
}

void AutoinfoPage::showTable(const RouteTable& t)
{
    QTableWidget* g = m_ui->AutoinfoGrid;
    g->setRowCount(t.count());
    for (int r = 0; r < t.count(); ++r) {
        auto* number = new QTableWidgetItem(QString::number(r + 1));
        number->setFlags(number->flags() & ~Qt::ItemIsEditable);
        g->setItem(r, route::ColNumber, number);
        for (int c = route::ColLatitude; c < route::kColumnCount; ++c)
            g->setItem(r, c, new QTableWidgetItem(t.rows[r][c]));
    }
    m_selected = std::clamp(m_selected, 1, std::max(1, t.count()));
    showCount();
}

void AutoinfoPage::showCount() { m_ui->Num_geo->setText(route::zoneCountText(m_ui->AutoinfoGrid->rowCount())); }

void AutoinfoPage::changeRows(const std::function<void(RouteTable&)>& change)
{
    commitEdit();
    RouteTable t = table();
    change(t);
    showTable(t);
}

void AutoinfoPage::Open_marshrut(const QString& path)
{
    commitEdit();
    RouteTable t = table();
    const route::OpenResult r = route::Open_marshrut(path, t);
    if (r.status == route::OpenStatus::NotOpened)
        return;
    if (r.loaded()) {
        m_ui->PathAutoinfoBox->setText(path);
        showTable(t);
    }
    if (!r.message.isEmpty())
        emit message(r.message);
}

route::SaveResult AutoinfoPage::storeTo(const QString& path)
{
    commitEdit();
    RouteTable t = table();
    route::SaveResult r = route::Save_marshrut(path, t);
    if (r.ok)
        showTable(t); // what the file holds: empty cells are "0" now
    return r;
}

bool AutoinfoPage::Save_marshrut(const QString& path)
{
    const route::SaveResult r = storeTo(path);
    if (!r.ok) {
        emit message(r.message);
        return false;
    }
    m_ui->PathAutoinfoBox->setText(path);
    emit message(QStringLiteral("Маршрут сохранён"));
    return true;
}

void AutoinfoPage::saveChosen(const QString& path)
{
    commitEdit();
    const QList<int> empty = route::rowsWithoutCoordinates(table());
    if (empty.isEmpty()) {
        Save_marshrut(path);
        return;
    }
    QStringList numbers;
    for (int row : empty)
        numbers << QString::number(row);
    delete m_warning;
    m_warning = new QMessageBox(QMessageBox::Warning, appTitle(),
                                QStringLiteral("Нет координат в строках: %1.\nЭти геозоны будут сохранены в точке "
                                               "0°/0°. Сохранить маршрут?").arg(numbers.join(QStringLiteral(", "))),
                                QMessageBox::Save | QMessageBox::Cancel, this);
    m_warning->setObjectName(QStringLiteral("RouteCoordinatesWarning"));
    m_warning->setDefaultButton(QMessageBox::Cancel);
    connect(m_warning, &QMessageBox::finished, this, [this, path](int result) {
        if (result == QMessageBox::Save)
            Save_marshrut(path);
    });
    m_warning->open();
}

void AutoinfoPage::ImportPoints(const QString& path)
{
    const route::WaypointImport r = route::ImportPoints(path);
    if (!r.ok) {
        emit message(r.message);
        return;
    }
    commitEdit();
    showTable(r.table);
    if (!r.message.isEmpty())
        emit message(r.message);
}

void AutoinfoPage::chooseWavFile(const QString& path)
{
    QFile f;
    if (const InputFileError e = openInputFile(f, path, voice::kMaxWavSize); e != InputFileError::None) {
        if (refusedInputFile(e))
            emit message(inputFileMessage(path, e, voice::kMaxWavSize));
        return;
    }
    if (!route::wavFormatAccepted(f.read(route::kWavHeaderSize))) {
        emit message(route::wavFormatMessage());
        return;
    }
    const QString name = QFileInfo(path).fileName();
    const std::optional<QByteArray> stored = cp1251::encode(name);
    if (!stored || stored->size() > route::kNameMax) {
        // The unit would look for a name cut to 29 characters and never find the file.
        emit message(QStringLiteral("Имя файла должно быть не длиннее %1 символов (латиница или кириллица)")
                         .arg(route::kNameMax));
        return;
    }
    changeRows([this, &name](RouteTable& t) {
        if (m_selected >= 1 && m_selected <= t.count())
            t.rows[m_selected - 1][route::ColName] = name;
    });
}

void AutoinfoPage::runOpenDialog(Chosen purpose, int filter, const QString& name)
{
    if (!m_openDialog) {
        m_openDialog = new QFileDialog(this);
        m_openDialog->setObjectName(QStringLiteral("AutoinfoOpenDialog"));
        m_openDialog->setAcceptMode(QFileDialog::AcceptOpen);
        m_openDialog->setFileMode(QFileDialog::ExistingFile);
        m_openDialog->setNameFilters(openFilters());
        connect(m_openDialog, &QFileDialog::fileSelected, this, [this](const QString& path) {
            if (path.isEmpty())
                return;
            switch (m_chosen) {
            case Chosen::Route: Open_marshrut(path); break;
            case Chosen::Wav: chooseWavFile(path); break;
            case Chosen::Waypoints: ImportPoints(path); break;
            }
        });
    }
    m_chosen = purpose;
    m_openDialog->selectNameFilter(openFilters().at(filter - 1));
    m_openDialog->selectFile(name);
    m_openDialog->open();
}

void AutoinfoPage::Open_autoinfoClick() { runOpenDialog(Chosen::Route, 2, QStringLiteral("*.fai")); }
void AutoinfoPage::Change_wav_fileClick() { runOpenDialog(Chosen::Wav, 3, QStringLiteral("*.wav")); }
void AutoinfoPage::SpeedButton1Click() { runOpenDialog(Chosen::Waypoints, 6, QStringLiteral("*.wpt")); }

void AutoinfoPage::Save_autoinfoClick()
{
    if (!m_saveDialog) {
        m_saveDialog = new QFileDialog(this);
        m_saveDialog->setObjectName(QStringLiteral("AutoinfoSaveDialog"));
        m_saveDialog->setAcceptMode(QFileDialog::AcceptSave);
        m_saveDialog->setFileMode(QFileDialog::AnyFile);
        m_saveDialog->setNameFilters(saveFilters());
        m_saveDialog->setDefaultSuffix(QStringLiteral("fai"));
        connect(m_saveDialog, &QFileDialog::fileSelected, this, [this](const QString& path) {
            if (!path.isEmpty())
                saveChosen(path);
        });
    }
    m_saveDialog->selectNameFilter(saveFilters().at(1));
    m_saveDialog->selectFile(QStringLiteral("Marshrut.fai"));
    m_saveDialog->open();
}

void AutoinfoPage::Ins_coordClick()
{
    const std::optional<std::pair<int32_t, int32_t>> at = m_coordinates ? m_coordinates() : std::nullopt;
    if (!at) {
        emit message(QStringLiteral("Нет текущих координат: устройство еще не передало навигационные данные"));
        return;
    }
    changeRows([this, &at](RouteTable& t) { t.setCoordinates(m_selected, at->first, at->second); });
}

void AutoinfoPage::addRows(int n)
{
    changeRows([n](RouteTable& t) { t.addRows(n); });
}

void AutoinfoPage::Add_string_autoinfoClick() { addRows(1); }
void AutoinfoPage::N101Click() { addRows(10); }
void AutoinfoPage::N10Click() { addRows(50); }

void AutoinfoPage::Del_string_autoinfoClick()
{
    changeRows([this](RouteTable& t) { t.deleteRow(m_selected); });
}

void AutoinfoPage::Del_all_autoinfoClick()
{
    changeRows([](RouteTable& t) { t.deleteAll(); });
}

bool AutoinfoPage::eventFilter(QObject* watched, QEvent* event)
{
    auto* edit = qobject_cast<QLineEdit*>(watched);
    if (event->type() != QEvent::KeyPress || !edit || !edit->property(kColumnProperty).isValid())
        return EditorPage::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    QChar ch;
    if (key->key() == Qt::Key_Backspace)
        ch = QChar(route::kBackspace);
    else if (!key->text().isEmpty() && key->text().at(0).isPrint()
             && !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)))
        ch = key->text().at(0);
    else
        return false; // moving, Enter, Escape, Delete, shortcuts: not characters
    // The key replaces a selection: judge the text without it.
    QString text = edit->text();
    qsizetype cursor = edit->cursorPosition();
    if (edit->hasSelectedText()) {
        cursor = edit->selectionStart();
        text.remove(cursor, edit->selectedText().size());
    }
    const route::KeyVerdict v =
        route::KeyPressAutoinfoGrid(edit->property(kColumnProperty).toInt(), text, ch, cursor);
    if (v.cellText)
        edit->setText(*v.cellText);
    return !v.accept;
}

} // namespace rv
