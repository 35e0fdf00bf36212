#include "ui/app/pages.h"

#include "core/version.h"
#include "ui/app/emblem.h"
#include "ui/app/navigation.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QFontDatabase>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTableWidget>
#include <QVBoxLayout>

namespace rv {

namespace {

const char16_t* const kPageTitles[nav::kPageCount] = {
    u"", u"Мониторинг", u"Настройки соединения", u"Параметры навигации", u"", u"Выходы", u"Охрана",
    u"Питание", u"Настройка периферии", u"Автоинформатор", u"", u"Обработка событий",
    u"Голосовые сообщения", u"Структура пакета", u"Диагностика, память", u"Дополнительно",
    u"Спутниковый модем",
};

QLabel* titleLabel(const QString& text, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    QFont f = l->font();
    f.setBold(true);
    f.setPointSizeF(f.pointSizeF() * 1.3);
    l->setFont(f);
    return l;
}

QWidget* firstPage(QWidget* page)
{
    auto* picture = new EmblemWidget(page);
    picture->setObjectName(QStringLiteral("Image1"));
    auto* name = new QLabel(QStringLiteral("Конфигуратор RV-1, RV-2"), page);
    name->setObjectName(QStringLiteral("ProgramName"));
    name->setAlignment(Qt::AlignCenter);
    QFont f = name->font();
    f.setBold(true);
    f.setPointSizeF(f.pointSizeF() * 2.0);
    name->setFont(f);
    auto* version = new QLabel(QStringLiteral("Версия %1").arg(programVersion()), page);
    version->setObjectName(QStringLiteral("ProgramVersion"));
    version->setAlignment(Qt::AlignCenter);

    auto* layout = new QVBoxLayout(page);
    layout->addStretch(1);
    layout->addWidget(picture, 4);
    layout->addSpacing(12);
    layout->addWidget(name);
    layout->addWidget(version);
    layout->addStretch(1);
    return page;
}

void inputsPage(QWidget* page, QVBoxLayout* layout)
{
    auto* label = titleLabel(QStringLiteral("Вход 1"), page);
    label->setObjectName(QStringLiteral("Labelinput"));
    layout->addWidget(label);

    auto* typeRow = new QHBoxLayout;
    typeRow->addWidget(new QLabel(QStringLiteral("Тип входа"), page));
    auto* type = new QComboBox(page);
    type->setObjectName(QStringLiteral("Inputtype"));
    type->setMinimumWidth(200);
    typeRow->addWidget(type);
    typeRow->addStretch();
    layout->addLayout(typeRow);

    const struct {
        const char* name;
        const char16_t* title;
    } groups[] = {
        {"RzGroupBox22", u"Активный входной уровень"},
        {"RzGroupBox23", u"Границы тревожной зоны"},
        {"RzGroupBox24", u"При переходе в акт. сост. (x100 мс)"},
        {"RzGroupBox25", u"При переходе в пасс.сост.(х100 мс)"},
    };
    for (const auto& g : groups) {
        auto* box = new QGroupBox(QString::fromUtf16(g.title), page);
        box->setObjectName(QString::fromLatin1(g.name));
        box->setMinimumHeight(50);
        layout->addWidget(box);
    }
}

void securityPage(QWidget* page, QVBoxLayout* layout)
{
    auto* box = new QGroupBox(QStringLiteral("Входы под охраной"), page);
    box->setObjectName(QStringLiteral("RzGroupBoxOhInputs"));
    auto* row = new QHBoxLayout(box);
    for (int i = 1; i <= 8; ++i) {
        auto* c = new QCheckBox(QString::number(i), box);
        c->setObjectName(QStringLiteral("INOh") + QString::number(i));
        row->addWidget(c);
    }
    row->addStretch();
    layout->addWidget(box);

    // The key table: column 0 numbers the rows, rows 1..5 of column 1 hold the five keys.
    auto* keys = new QGroupBox(QStringLiteral("Постановка/снятие"), page);
    keys->setObjectName(QStringLiteral("RzGroupBoxOhKeys"));
    auto* keysLayout = new QVBoxLayout(keys);
    auto* grid = new QTableWidget(6, 2, keys);
    grid->setObjectName(QStringLiteral("iButtonGrid"));
    grid->horizontalHeader()->hide();
    grid->verticalHeader()->hide();
    grid->setColumnWidth(0, 40);
    grid->setColumnWidth(1, 160);
    auto fixed = [](const QString& text) {
        auto* item = new QTableWidgetItem(text);
        item->setFlags(Qt::ItemIsEnabled);
        return item;
    };
    grid->setItem(0, 0, fixed(QString()));
    grid->setItem(0, 1, fixed(QStringLiteral("код i-Button")));
    for (int r = 1; r <= 5; ++r)
        grid->setItem(r, 0, fixed(QString::number(r)));
    int height = 2 * grid->frameWidth();
    for (int r = 0; r < grid->rowCount(); ++r)
        height += grid->rowHeight(r);
    grid->setFixedSize(2 * grid->frameWidth() + 200, height);
    keysLayout->addWidget(grid);
    layout->addWidget(keys);
}

void peripheralPage(QWidget* page, QVBoxLayout* layout)
{
    auto* box = new QGroupBox(QStringLiteral("Режим работы приемника"), page);
    box->setObjectName(QStringLiteral("RzGroupBoxReceiver"));
    auto* row = new QHBoxLayout(box);
    auto* mode = new QComboBox(box);
    mode->setObjectName(QStringLiteral("GLONASS_rej"));
    mode->addItems({QStringLiteral("Совмещенный"), QStringLiteral("Только GPS"), QStringLiteral("Только ГЛОНАСС")});
    auto* twoD = new QCheckBox(QStringLiteral("2D"), box);
    twoD->setObjectName(QStringLiteral("Nav_2D_en"));
    row->addWidget(mode);
    row->addWidget(twoD);
    row->addStretch();
    layout->addWidget(box);

    // The CAN scanner: the frames the unit reports are listed while the switch is on.
    auto* can = new QGroupBox(QStringLiteral("CAN"), page);
    can->setObjectName(QStringLiteral("RzGroupBoxCan"));
    auto* canLayout = new QVBoxLayout(can);
    auto* scanner = new QCheckBox(QStringLiteral("Сканер CAN шины"), can);
    scanner->setObjectName(QStringLiteral("SCANCAN_en"));
    auto* memo = new QPlainTextEdit(can);
    memo->setObjectName(QStringLiteral("CAN_memo"));
    memo->setReadOnly(true);
    memo->setEnabled(false);
    memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    memo->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    memo->setMinimumHeight(160);
    canLayout->addWidget(scanner);
    canLayout->addWidget(memo);
    layout->addWidget(can, 1);
}

} // namespace

QWidget* createPage(int index, QWidget* parent)
{
    auto* page = new QWidget(parent);
    page->setObjectName(nav::pageNames().at(index));
    if (index == nav::First)
        return firstPage(page);

    auto* layout = new QVBoxLayout(page);
    if (const QString title = QString::fromUtf16(kPageTitles[index]); !title.isEmpty())
        layout->addWidget(titleLabel(title, page));
    switch (index) {
    case nav::Connections: {
        auto* label = titleLabel(QStringLiteral("Соединение 1"), page);
        label->setObjectName(QStringLiteral("Connection_num"));
        layout->addWidget(label);
        break;
    }
    case nav::Inputs: inputsPage(page, layout); break;
    case nav::Ohrana: securityPage(page, layout); break;
    case nav::Dev_set: peripheralPage(page, layout); break;
    default: break;
    }
    layout->addStretch();
    return page;
}

} // namespace rv
