#pragma once

#include "core/config/packet_structure.h"

#include <QObject>

class QFileDialog;

namespace rv {

class FilePage;
class FileTransfer;
class LogWindow;
class MainWindow;
class SessionController;
class TrackBinding;
class TrackRead;

// Files on the unit's medium in the window: the page "Диагностика, память", the diagnostic log window
// TForm9 and the transfer engine they drive; on the same page the track memory read and its export, and the
// track window that shows a read.
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
    // The read bytes into `path` in the format of filter 0..4 (.bin, .plt, .wln, .gpx, .kml).
    void exportTo(const QString& path, int filter);
    // The track window, opened after a read and from "Файл".
    TrackBinding& trackView() { return *m_trackView; }

private:
    void loadLogFile(const QString& path);
    // The packet structure as the page "Структура пакета" shows it now: the Wialon export follows it.
    packet::PacketChoice shownPacketChoice() const;

    MainWindow& m_window;
    SessionController& m_session;
    FileTransfer* m_transfer;
    TrackRead* m_track;
    TrackBinding* m_trackView;
    QFileDialog* m_exportDialog = nullptr;
    FilePage* m_page;
    LogWindow* m_log;
};

} // namespace rv
