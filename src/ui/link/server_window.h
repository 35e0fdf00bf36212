#pragma once

// The server window `TForm10` ("Сервер"): the port and address the program listens on for units calling
// over GPRS, the server's state, its start/stop button, who may connect, the units connected (the user
// picks the one to work with) and a log of connections. The server itself and
// the remote protocol live in the core (RemoteSession); this window only drives and shows them.

#include "core/link/tcp_server.h"
#include "core/protocol/session_texts.h"

#include <QDialog>
#include <QHostAddress>
#include <QTimer>

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
    // "Работать с выбранным устройством": the unit of the chosen row becomes the one worked with.
    void Select_unitClick();
    // The connection shown in a row of the list.
    ConnectionId unitAt(int row) const;

private:
    void fillAddresses();
    void showState(rv::ServerState state, bool running);
    void appendLog(const QString& line);
    void showUnits();
    void showAllow();

    std::unique_ptr<Ui::ServerWindow> ui;
    RemoteSession& m_remote;
    QTimer m_refresh;  // the activity column ages while the window is open
    QTimer m_coalesce; // a thousand units calling at once redraw the list a few times, not a thousand
};

} // namespace rv
