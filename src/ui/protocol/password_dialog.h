#pragma once

#include <QDialog>
#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace rv {

// The password dialog `TForm4` ("Доступ к настройкам"). It does not block the main window; Enter acts as OK,
// "Отмена" (or Esc, or closing the window) gives up the operation that asked for it.
class PasswordDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr const char* kDefaultText = "0";

    explicit PasswordDialog(QWidget* parent = nullptr);

    void FormShow();      // the field gets its default text again
    void Button1Click();  // a number 0..65535 is accepted; anything else is refused with a message
    // Why the password is asked (shown above the field); empty hides the line.
    void setReason(const QString& text);
    QString reason() const;
    void reject() override;

    // The value of the field, or nothing when it is not a number in 0..65535.
    static std::optional<uint16_t> parsePassword(const QString& text);

signals:
    void passwordEntered(quint16 value);
    void cancelled();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLabel* m_reason;
    QLineEdit* m_edit;
    QPushButton* m_ok;
    QPushButton* m_cancel;
};

} // namespace rv
