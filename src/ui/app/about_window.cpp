#include "ui/app/about_window.h"

#include "core/version.h"
#include "ui/app/emblem.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace rv {

AboutWindow::AboutWindow(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TForm2"));
    setWindowTitle(QStringLiteral("О программе..."));
    setModal(true);

    auto* picture = new EmblemWidget(this);
    picture->setObjectName(QStringLiteral("Image1"));
    picture->setFixedSize(240, 165);

    auto* name = new QLabel(QStringLiteral("Конфигуратор RV-1, RV-2"), this);
    name->setObjectName(QStringLiteral("ProductName"));
    QFont f = name->font();
    f.setBold(true);
    f.setPointSizeF(f.pointSizeF() * 1.4);
    name->setFont(f);
    auto* version = new QLabel(QStringLiteral("Версия %1").arg(programVersion()), this);
    version->setObjectName(QStringLiteral("Version"));
    auto* comments = new QLabel(QStringLiteral(
        "Программа настройки терминалов мониторинга транспорта RV-1 и RV-2:\n"
        "считывание и запись конфигурации, мониторинг, обмен файлами,\n"
        "чтение трека и обновление программного обеспечения."), this);
    comments->setObjectName(QStringLiteral("Comments"));
    auto* toolkit = new QLabel(QStringLiteral("Qt %1").arg(QString::fromLatin1(qVersion())), this);
    toolkit->setObjectName(QStringLiteral("Copyright"));

    auto* text = new QVBoxLayout;
    text->addWidget(name);
    text->addWidget(version);
    text->addSpacing(8);
    text->addWidget(comments);
    text->addStretch();
    text->addWidget(toolkit);

    auto* top = new QHBoxLayout;
    top->addWidget(picture, 0, Qt::AlignTop);
    top->addLayout(text, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->setObjectName(QStringLiteral("OKButton"));
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(buttons);
}

} // namespace rv
