#pragma once

#include <QObject>

class QFileDialog;

namespace rv {

class FilePage;
class FileTransfer;
class LogWindow;
class MainWindow;
class SessionController;
class TrackRead;

// Files on the unit's medium in the window: the page "Диагностика, память", the diagnostic log window
// TForm9 and the transfer engine they drive; on the same page the track memory read and its export.
class DeviceFilesBinding : public QObject {
    Q_OBJECT
public:
    DeviceFilesBinding(MainWindow& w, SessionController& s);
    ~DeviceFilesBinding() override;

    FileTransfer& transfer() { return *m_transfer; }
    FilePage* page() const { return m_page; }
    LogWindow* logWindow() const { return m_log; }
    void saveLogTo(const QString& path); // N12 after the dialog

    TrackRead& track() { return *m_track; }
    // DumpClick: a range whose numbers are not numbers in range is refused with a cue on the edit.
    void DumpClick();
    // Export_dumpClick: the save dialog (SaveDialog1) with the filter of Exp_filetype; nullptr before.
    void Export_dumpClick();
    QFileDialog* exportDialog() const { return m_exportDialog; }
    // The read bytes into `path` in the format of filter 0..2 (.bin, .plt, .wln).
    void exportTo(const QString& path, int filter);

private:
    void loadLogFile(const QString& path);

    MainWindow& m_window;
    SessionController& m_session;
    FileTransfer* m_transfer;
    TrackRead* m_track;
    QFileDialog* m_exportDialog = nullptr;
    FilePage* m_page;
    LogWindow* m_log;
};

} // namespace rv
