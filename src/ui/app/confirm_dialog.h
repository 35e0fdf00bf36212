#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace rv {

// TForm13: asks before an operation that cannot be undone.
class ConfirmDialog : public QDialog {
    Q_OBJECT
public:
    explicit ConfirmDialog(QWidget* parent = nullptr);

    QPushButton* yesButton() const { return m_yes; }
    QPushButton* noButton() const { return m_no; }

signals:
    void yesClicked();  // Button1Click, before the dialog closes

private:
    void Button1Click();
    void Button2Click();

    QLabel* m_label = nullptr;
    QPushButton* m_yes = nullptr;
    QPushButton* m_no = nullptr;
};

} // namespace rv
