#pragma once

#include <QDialog>
#include <optional>

class QLineEdit;
class QPushButton;

namespace rv {

// The password dialog `TForm4` ("Доступ к настройкам"). It does not block the main window; Enter acts as OK.
class PasswordDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr const char* kDefaultText = "0";

    explicit PasswordDialog(QWidget* parent = nullptr);

    void FormShow();      // the field gets its default text again
    void Button1Click();  // a number 0..65535 is accepted; anything else is refused with a message

    // The value of the field, or nothing when it is not a number in 0..65535.
    static std::optional<uint16_t> parsePassword(const QString& text);

signals:
    void passwordEntered(quint16 value);

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLineEdit* m_edit;
    QPushButton* m_ok;
};

} // namespace rv
