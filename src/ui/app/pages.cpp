#include "ui/app/pages.h"

#include "ui/app/emblem.h"
#include "ui/app/navigation.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
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
    auto* version = new QLabel(QStringLiteral("Версия 2.8.8"), page);
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
