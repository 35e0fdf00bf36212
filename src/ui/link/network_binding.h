#pragma once

// Connects the network side of the session to the main window: the server window TForm10 replaces the
// main window's empty shell, a unit's greeting fills the identity labels of the Monitor page, and the
// tool-bar buttons that work over the network follow the unit's presence.

#include <QObject>

namespace rv {

class MainWindow;
class RemoteSession;
class ServerWindow;

class NetworkBinding : public QObject {
    Q_OBJECT
public:
    NetworkBinding(MainWindow& window, RemoteSession& remote);

    ServerWindow* serverWindow() const { return m_server; }

private:
    MainWindow& m_window;
    ServerWindow* m_server;
};

} // namespace rv
