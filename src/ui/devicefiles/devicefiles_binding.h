#pragma once

#include <QObject>

namespace rv {

class FilePage;
class FileTransfer;
class LogWindow;
class MainWindow;
class SessionController;

// Files on the unit's medium in the window: the page "Диагностика, память", the diagnostic log window
// TForm9 and the transfer engine they drive.
class DeviceFilesBinding : public QObject {
    Q_OBJECT
public:
    DeviceFilesBinding(MainWindow& w, SessionController& s);
    ~DeviceFilesBinding() override;

    FileTransfer& transfer() { return *m_transfer; }
    FilePage* page() const { return m_page; }
    LogWindow* logWindow() const { return m_log; }
    void saveLogTo(const QString& path); // N12 after the dialog

private:
    void loadLogFile(const QString& path);

    MainWindow& m_window;
    SessionController& m_session;
    FileTransfer* m_transfer;
    FilePage* m_page;
    LogWindow* m_log;
};

} // namespace rv
