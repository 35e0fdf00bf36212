#pragma once

#include <QObject>

namespace rv {

class MainWindow;
class SessionController;
class PortDialog;
class PasswordDialog;
class ProgressWindow;

// Connects the session controller to the main window and creates the session's own windows: the port
// dialog TForm3, the password dialog TForm4 and the progress window TForm5.
class SessionBinding : public QObject {
    Q_OBJECT
public:
    // `runTimers` false leaves the session's ticks to the caller (tests).
    SessionBinding(MainWindow& window, SessionController& session, bool runTimers = true);

    PortDialog* portDialog() const { return m_portDialog; }
    PasswordDialog* passwordDialog() const { return m_passwordDialog; }
    ProgressWindow* progressWindow() const { return m_progressWindow; }
    // Whether the records hold a configuration (read from the unit or opened from a file).
    bool recordsLoaded() const { return m_recordsLoaded; }

private:
    MainWindow& m_window;
    SessionController& m_session;
    PortDialog* m_portDialog;
    PasswordDialog* m_passwordDialog;
    ProgressWindow* m_progressWindow;
    bool m_recordsLoaded = false;
};

} // namespace rv
