#pragma once

#include <QObject>
#include <QString>

namespace rv {

class MainWindow;
class SessionController;
class PortDialog;
class PasswordDialog;
class ProgressWindow;
class SessionTexts;

// Connects the session controller to the main window and creates the session's own windows: the port
// dialog TForm3, the password dialog TForm4 and the progress window TForm5. The window must show the
// configuration document on the session's records.
class SessionBinding : public QObject {
    Q_OBJECT
public:
    // `runTimers` false leaves the session's ticks to the caller (tests).
    SessionBinding(MainWindow& window, SessionController& session, bool runTimers = true);

    PortDialog* portDialog() const { return m_portDialog; }
    PasswordDialog* passwordDialog() const { return m_passwordDialog; }
    ProgressWindow* progressWindow() const { return m_progressWindow; }
    // The session's reports in words, as the status bar and the message boxes show them.
    SessionTexts* texts() const { return m_texts; }

private:
    MainWindow& m_window;
    SessionController& m_session;
    PortDialog* m_portDialog;
    PasswordDialog* m_passwordDialog;
    ProgressWindow* m_progressWindow;
    SessionTexts* m_texts;
};

} // namespace rv
