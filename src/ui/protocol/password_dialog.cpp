#include "ui/protocol/password_dialog.h"

#include "ui/app/message_box.h"

#include <QHBoxLayout>
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
    m_reason = new QLabel(this);
    m_reason->setObjectName(QStringLiteral("Reason"));
    m_reason->setWordWrap(true);
    m_reason->hide();
    auto* label = new QLabel(QStringLiteral("Введите пароль"), this);
    label->setObjectName(QStringLiteral("Label1"));
    m_edit = new QLineEdit(this);
    m_edit->setObjectName(QStringLiteral("Edit1"));
    label->setBuddy(m_edit);
    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QStringLiteral("Button1"));
    m_ok->setDefault(true);
    m_cancel = new QPushButton(QStringLiteral("Отмена"), this);
    m_cancel->setObjectName(QStringLiteral("Button2"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_reason);
    layout->addWidget(label);
    layout->addWidget(m_edit);
    layout->addLayout(buttons);
    connect(m_ok, &QPushButton::clicked, this, &PasswordDialog::Button1Click);
    connect(m_cancel, &QPushButton::clicked, this, &PasswordDialog::reject);
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
    // Hidden before the signal: whatever it starts finds the dialog closed, and closing it is no cancel.
    accept();
    emit passwordEntered(*value);
}

void PasswordDialog::reject()
{
    const bool wasShown = isVisible();
    QDialog::reject();
    if (wasShown)
        emit cancelled();
}

void PasswordDialog::setReason(const QString& text)
{
    m_reason->setText(text);
    m_reason->setVisible(!text.isEmpty());
}

QString PasswordDialog::reason() const
{
    return m_reason->text();
}

} // namespace rv
