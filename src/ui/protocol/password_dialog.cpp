#include "ui/protocol/password_dialog.h"

#include "ui/app/message_box.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace rv {

PasswordDialog::PasswordDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TForm4"));
    setWindowTitle(QStringLiteral("Доступ к настройкам"));
    setModal(false);
    auto* label = new QLabel(QStringLiteral("Введите пароль"), this);
    label->setObjectName(QStringLiteral("Label1"));
    m_edit = new QLineEdit(this);
    m_edit->setObjectName(QStringLiteral("Edit1"));
    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QStringLiteral("Button1"));
    m_ok->setDefault(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(m_edit);
    layout->addWidget(m_ok);
    connect(m_ok, &QPushButton::clicked, this, &PasswordDialog::Button1Click);
    connect(m_edit, &QLineEdit::returnPressed, this, &PasswordDialog::Button1Click);
}

void PasswordDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    FormShow();
}

void PasswordDialog::FormShow()
{
    m_edit->setText(QString::fromLatin1(kDefaultText));
    m_edit->selectAll();
    m_edit->setFocus();
}

std::optional<uint16_t> PasswordDialog::parsePassword(const QString& text)
{
    bool ok = false;
    const uint value = text.trimmed().toUInt(&ok);
    if (!ok || value > 65535)
        return std::nullopt;
    return static_cast<uint16_t>(value);
}

void PasswordDialog::Button1Click()
{
    const auto value = parsePassword(m_edit->text());
    if (!value) {
        showMessage(this, QStringLiteral("Пароль — число от 0 до 65535"));
        return;
    }
    emit passwordEntered(*value);
    close();
}

} // namespace rv
