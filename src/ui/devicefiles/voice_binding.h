#pragma once

#include <QObject>

class QFileDialog;

namespace rv {

class FileTransfer;
class MainWindow;
class SessionController;
class VoiceMessages;
class VoicePage;

// The voice page in the window: the table mirrors the voice messages, the buttons act by the connected
// unit's type (type 2: files one by one; types 3 and 4: the archive), file dialogs never block.
class VoiceBinding : public QObject {
    Q_OBJECT
public:
    // `transfer` is the program's one file transfer (it owns the "FLRW" replies).
    VoiceBinding(MainWindow& w, SessionController& s, FileTransfer& transfer);
    ~VoiceBinding() override;

    VoiceMessages& voice() { return *m_voice; }
    VoicePage* page() const { return m_page; }

    // The buttons' handlers, public for front ends and tests.
    void SaveToSDClick();
    void Clear_voice_tableClick();
    void List_voice_filesClick();
    void Voice_messageContextPopup(int row);
    // What the dialogs do with the chosen path.
    void wavChosen(int row, const QString& path);
    void archiveChosenForWrite(const QString& path);
    void archiveChosenForOpen(const QString& path);
    void archiveChosenForSave(const QString& path);

private:
    bool archiveType() const;
    QFileDialog* dialog(const char* name, const QString& filter, const QString& fileName, bool save);
    void refreshGauge();

    MainWindow& m_window;
    SessionController& m_session;
    VoiceMessages* m_voice;
    VoicePage* m_page;
};

} // namespace rv
