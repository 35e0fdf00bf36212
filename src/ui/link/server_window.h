#pragma once

// The server window `TForm10` ("Сервер"): the port and address the program listens on for units calling
// over GPRS, the server's state, its start/stop button and a log of connections. The server itself and
// the remote protocol live in the core (RemoteSession); this window only drives and shows them.

#include <QDialog>
#include <QHostAddress>

#include <memory>

namespace Ui { class ServerWindow; }

namespace rv {

class RemoteSession;

class ServerWindow : public QDialog {
    Q_OBJECT
public:
    static constexpr int kLogLines = 500;

    explicit ServerWindow(RemoteSession& remote, QWidget* parent = nullptr);
    ~ServerWindow() override;

    // The address chosen to listen on: all interfaces unless one was picked.
    QHostAddress address() const;

    void PortChange(const QString& text);
    void Start_serverClick();

private:
    void fillAddresses();
    void showState(const QString& label, bool running);
    void appendLog(const QString& line);

    std::unique_ptr<Ui::ServerWindow> ui;
    RemoteSession& m_remote;
};

} // namespace rv
