#include "ui/app/confirm_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace rv {

ConfirmDialog::ConfirmDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TForm13"));
    setWindowTitle(QStringLiteral("Подтверждение"));
    setModal(true);

    m_label = new QLabel(QStringLiteral("Вы действительно хотите \nвыполнить данную операцию !!!"), this);
    m_label->setObjectName(QStringLiteral("Label1"));
    m_label->setAlignment(Qt::AlignCenter);
    QFont f = m_label->font();
    f.setBold(true);
    m_label->setFont(f);

    m_yes = new QPushButton(QStringLiteral("Да"), this);
    m_yes->setObjectName(QStringLiteral("Button1"));
    m_no = new QPushButton(QStringLiteral("Нет"), this);
    m_no->setObjectName(QStringLiteral("Button2"));
    // "Нет" is the safe answer to Enter.
    m_no->setDefault(true);
    connect(m_yes, &QPushButton::clicked, this, &ConfirmDialog::Button1Click);
    connect(m_no, &QPushButton::clicked, this, &ConfirmDialog::Button2Click);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_yes);
    buttons->addWidget(m_no);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_label);
    layout->addSpacing(10);
    layout->addLayout(buttons);
}

void ConfirmDialog::Button1Click()
{
    emit yesClicked();
    accept();
}

void ConfirmDialog::Button2Click()
{
    reject();
}

} // namespace rv
