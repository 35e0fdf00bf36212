#pragma once

#include "core/link/port_list.h"

#include <QDialog>
#include <functional>
#include <memory>

class QTimer;

namespace Ui { class PortDialog; }

namespace rv {

// The port dialog `TForm3` ("Соединение..."): the computer's serial ports with the adapter behind each
// (USB cables first), a port another program holds marked busy, then "TCP/IP". Its text stays editable,
// so any device path (a pseudo-terminal included) can be typed in. The list is read when the dialog opens
// and again whenever an adapter is plugged in or pulled out while it is open.
class PortDialog : public QDialog {
    Q_OBJECT
public:
    struct Ports {
        std::function<QList<PortInfo>()> list;
        // Changes when the set of ports changes; asked once a second while the dialog is open. Without it
        // the list is read only when the dialog opens.
        std::function<QString()> token = {};
    };
    // The system's ports.
    static Ports systemPorts();

    explicit PortDialog(Ports ports, QWidget* parent = nullptr);
    ~PortDialog() override;

    // The current port name; the dialog starts from it each time it is shown.
    void setCurrentPort(const QString& name) { m_currentPort = name; }
    QString currentPort() const { return m_currentPort; }
    // Whether this program holds the current port open now (the list then says so, not "busy").
    void setCurrentPortOpen(bool open) { m_currentOpen = open; }
    QString pendingChoice() const { return m_pending; }
    // What the list says of a port, as a person reads it: the adapter and, when it will not open, why.
    QString describe(const PortInfo& port) const;
    const QList<PortInfo>& ports() const { return m_ports; }

    void FormActivate();
    void ComSelectBoxChange(const QString& text);
    void But_OKClick();
    void But_CancelClick();
    // Reads the list again when the ports changed (the poll while the dialog is open).
    void refreshIfChanged();

signals:
    // OK with another port than the current one: the choice is now the current port name.
    void portChosen(const QString& name);
    // Cancel, or OK on the same port: the saved status text goes back to its panel.
    void left();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void fill(const QString& text);
    QString stateText(const PortInfo& port) const;

    std::unique_ptr<Ui::PortDialog> ui;
    Ports m_source;
    QList<PortInfo> m_ports;
    QString m_token;
    QTimer* m_poll;
    QString m_currentPort;
    bool m_currentOpen = false;
    QString m_pending;
};

} // namespace rv
