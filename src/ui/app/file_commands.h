#pragma once

// The main window's commands on the configuration document: "Загрузить конфигурацию по умолчанию",
// "Открыть", "Сохранить", the recent files in menu "Файл", and the question "Сохранить изменения?" before a
// command that would drop the user's edits. What each did shows in status panel 0, in a message or in the
// mark " *" at the end of the title.

#include <QObject>
#include <QString>

class QAction;
class QFileDialog;
class QMessageBox;

namespace rv {

class ConfigDocument;
class MainWindow;

class FileCommands : public QObject {
    Q_OBJECT
public:
    // The recent files go after `recentSeparator` in the menu that holds it.
    FileCommands(MainWindow& window, ConfigDocument& document, QAction* recentSeparator);

    // The file dialogs, created at their first use (nullptr before), and the open question.
    QFileDialog* openDialog() const { return m_openDialog; }
    QFileDialog* saveDialog() const { return m_saveDialog; }
    QMessageBox* saveChangesQuestion() const { return m_saveQuestion; }

    // The configuration named in Config.ini, at start: panel 0 names it, or says why the defaults came instead.
    void loadStartup(const QString& name);
    void loadDefaults();
    void chooseFileToOpen();
    void chooseFileToSave();
    // What the dialogs do with the chosen path.
    void open(const QString& path);
    void save(const QString& path);
    // "Выход" and the title bar's close button: true when the close must wait for the question's answer.
    bool exitMustWait();

private:
    // What waits for the answer to "Сохранить изменения?".
    enum class AfterSave : quint8 { None, Defaults, Open, OpenRecent, Exit };
    // True when the command must wait: the configuration is modified and the question is now shown.
    bool askToSave(AfterSave then);
    void proceed(AfterSave then);
    // A recent file from "Файл": asks "Сохранить изменения?" first, as "Открыть" does.
    void openRecentFile(const QString& path);
    void showRecentFiles();
    void showModified(bool modified);

    MainWindow& m_window;
    ConfigDocument& m_document;
    QAction* m_recentSeparator;
    QList<QAction*> m_recentActions;
    QFileDialog* m_openDialog = nullptr;
    QFileDialog* m_saveDialog = nullptr;
    QMessageBox* m_saveQuestion = nullptr;
    bool m_answered = false; // the question was answered: the command runs without asking again
    AfterSave m_afterSave = AfterSave::None;
    QString m_recentToOpen; // the recent file waiting for the answer to "Сохранить изменения?"
};

} // namespace rv
