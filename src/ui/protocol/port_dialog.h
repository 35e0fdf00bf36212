#pragma once

#include <QDialog>
#include <functional>
#include <memory>

namespace Ui { class PortDialog; }

namespace rv {

// The port dialog `TForm3` ("Соединение..."): the ports that can be opened now, then "TCP/IP". Its text
// stays editable, so any device path (a pseudo-terminal included) can be typed in.
class PortDialog : public QDialog {
    Q_OBJECT
public:
    using PortLister = std::function<QStringList()>;
    explicit PortDialog(PortLister lister, QWidget* parent = nullptr);
    ~PortDialog() override;

    // The current port name; the dialog starts from it each time it is shown.
    void setCurrentPort(const QString& name) { m_currentPort = name; }
    QString currentPort() const { return m_currentPort; }
    QString pendingChoice() const { return m_pending; }

    void FormActivate();
    void ComSelectBoxChange(const QString& text) { m_pending = text; }
    void But_OKClick();
    void But_CancelClick();

signals:
    // OK with another port than the current one: the choice is now the current port name.
    void portChosen(const QString& name);
    // Cancel, or OK on the same port: the saved status text goes back to its panel.
    void left();

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::unique_ptr<Ui::PortDialog> ui;
    PortLister m_lister;
    QString m_currentPort;
    QString m_pending;
};

} // namespace rv
