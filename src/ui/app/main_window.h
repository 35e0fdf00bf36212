#pragma once

// TForm1: the main window. It holds the menu, the tool bar, the status bar, the navigation tree and
// the pages, adapts the pages to the connected unit, and turns the user's commands into signals.
// It never talks to a unit itself: the session controller connects to its signals and calls its slots.

#include <QHash>
#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QAction;
class QDialog;
class QFileDialog;
class QLabel;
class QMessageBox;
class QStackedWidget;
class QTreeWidget;
class QTreeWidgetItem;

namespace rv {

class AboutWindow;
class IniFile;
class ConfirmDialog;
class SettingSearch;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    // The operation awaiting confirmation in TForm13; the track erase is the only one.
    static constexpr quint8 kConfirmEraseTrack = 1;
    static constexpr int kStatusPanels = 4;

    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // Port and configuration file names (Config.ini, the port dialog, the configuration files).
    QString portName() const { return m_portName; }
    void setPortName(const QString& name);
    // A port given on the command line: used for this run instead of the one of Config.ini, which
    // keeps its port unless the user chooses another.
    void setPortOverride(const QString& name);
    QString configFileName() const { return m_configFile; }
    void setConfigFileName(const QString& name) { m_configFile = name; }
    // The records now hold the configuration called `name` (a full path or "default.fcg"): it becomes the
    // current file name, panel 0 shows `panelText` (the name when empty) and the pages are refreshed.
    void showConfiguration(const QString& name, const QString& panelText = {});
    // The file dialogs of N5 and N6, created at their first use (nullptr before).
    QFileDialog* openDialog() const { return m_openDialog; }
    QFileDialog* saveDialog() const { return m_saveDialog; }
    // Unsaved changes: set from the user's edits by the pages' tracker, cleared by a save or a read. While
    // set, the title ends in " *" and "Открыть", the defaults and "Выход" ask "Сохранить изменения?" first.
    bool configModified() const { return m_modified; }
    void setConfigModified(bool on);
    QMessageBox* saveChangesQuestion() const { return m_saveQuestion; }
    // The save of N6 succeeded: `path` becomes the current file name, panel 0 shows it, the mark clears.
    void configurationSaved(const QString& path);
    // Asked by "Записать" first: true when it takes the write over (it calls writeToUnit itself, or not at all).
    void setWriteGuard(std::function<bool()> fn) { m_writeGuard = std::move(fn); }
    // The configuration files opened or saved last, newest first (menu "Файл", kept in Config.ini).
    QStringList recentFiles() const { return m_recentFiles; }
    void addRecentFile(const QString& path);
    // Text of status panel 3 saved when the port dialog was requested.
    QString savedStatusText() const { return m_savedStatus; }

    QString statusText(int panel) const;

    // Navigation state.
    quint8 deviceType() const { return m_deviceType; }
    void setDeviceType(quint8 type) { m_deviceType = type; }
    int currentConnection() const { return m_currentConnection; }
    int currentInput() const { return m_currentInput; }
    quint8 pendingOperation() const { return m_pendingOperation; }
    bool deviceButtonsEnabled() const { return m_buttonsEnabled; }

    // Pages and tree.
    QTreeWidget* tree() const { return m_tree; }
    SettingSearch* settingSearch() const { return m_search; }
    QStackedWidget* pageControl() const { return m_pageControl; }
    QWidget* page(int index) const;
    // Installs an editor page at its index in place of the stand-in; the page takes the standard
    // objectName when it has none, and gets the current adaptation and device-button state.
    void setPage(int index, QWidget* page);
    int currentPage() const;
    // The first node with that caption, searching the whole tree.
    QTreeWidgetItem* node(const QString& caption) const;

    // Windows created with the main window, by objectName ("TForm2", "TForm6" ... "TForm15").
    QDialog* window(const QString& objectName) const { return m_windows.value(objectName); }
    void addWindow(QDialog* window);
    AboutWindow* aboutWindow() const { return m_about; }
    ConfirmDialog* confirmDialog() const { return m_confirm; }

    // Hooks the editor pages fill: load the connection page for a connection 0..4, load the input
    // page for an input 0..7, read the type nibble of an input 0..7 (by default from the program's
    // main settings record).
    void setLoadConnectPage(std::function<void(int)> fn) { m_loadConnectPage = std::move(fn); }
    void setLoadInputPage(std::function<void(int)> fn) { m_loadInputPage = std::move(fn); }
    void setInputTypeReader(std::function<int(int)> fn) { m_inputType = std::move(fn); }

    // Config.ini as FormShow read it (empty before, or when it could not be read): views restore what they
    // keep there when formShown comes.
    const IniFile& settings() const { return *m_settings; }
    // Views that keep something in Config.ini put it into the file that FormClose writes, in one save. A writer
    // is dropped with its owner, so a view gone before the window closes is not asked.
    void addSettingsWriter(QObject* owner, std::function<void(IniFile&)> write);

public slots:
    void setStatusText(int panel, const QString& text);
    // A message box that does not block: timers and replies go on while it is up. While a box with the
    // same text is open, the text is not shown again.
    void showMessage(const QString& text);
    void showPage(int index);

    // Adaptation to the connected unit.
    void Button_Enabled(bool on);
    void Configurate(quint8 options);
    // Also records the type as the current DeviceType.
    void TypeConnectedDevice(quint8 type);
    void Setting_typedevice();
    // Reset_but reads "Перезагрузить" or, on a low supply, "Выключить"; its tool tip says the same.
    void setResetCaption(const QString& caption);

    // Handlers of the tree, menu and tool bar, public so that tests and front ends can run them.
    void TreeView1Click();
    void N4Click();
    void N5Click();
    void N6Click();
    void N7Click();
    // What the open and save dialogs do with the chosen path.
    void openConfigFile(const QString& path);
    void saveConfigFile(const QString& path);
    void Com1Click();
    void N11Click();
    void N12Click(); // "Статус": the status window again
    void N8Click();
    void N9Click();
    void Download_deviceClick();
    void Upload_deviceClick();
    // The write cycle starts, with no question (the guard's "Записать", the comparison's "Записать").
    void writeToUnit();
    void Erase_trackClick();
    void Program_butClick();
    void Reset_butClick();

    // Run by the first show and by the close of the window; each runs once.
    void FormShow();
    void FormClose();
    // Writes Config.ini at exit. False the first time its save fails: the user has been told (the old file
    // is as it was) and the window stays open; a second close goes without it.
    bool storeSettingsAtExit();

signals:
    // FormShow has read Config.ini: discovery starts (osSearch, then the step timer).
    void formShown();
    // At start: load this configuration; "default.fcg" means the built-in defaults.
    void startupConfigRequested(const QString& fileName);
    void defaultConfigRequested();  // N4, New_conf: the file name is already "default.fcg"
    void openConfigRequested(const QString& path); // N5, Load_conf: the file chosen in the open dialog
    // N6, Save_conf: the pages were gathered into the records (gatherAllRequested); save them to `path`.
    void saveConfigRequested(const QString& path);
    void gatherAllRequested();      // every page into its record, before the records go to a file
    void configurationLoaded();     // the records were replaced (defaults, a file): the pages show them
    void downloadRequested();       // Download_device
    void uploadRequested();         // Upload_device
    void resetRequested();          // Reset_but
    // "Да" in the confirmation dialog while the track erase is awaited (locally: osEraseTrack and
    // arm the step timer; in remote mode: remote command 16).
    void eraseTrackConfirmed();
    void firmwareRequested();       // Program_but; TForm7 has been opened
    // N2: status panel 3 was saved and now reads "Настройка соединения..."; stop the step timer and
    // open the port dialog.
    void portDialogRequested();
    void diagnosticsRequested();    // N11; TForm9 is shown: set bit 0 of the monitor flags
    // The window is closing: send "CONFIGC" and close the port. Config.ini has been written just before.
    void closing();
    // setPage has put a page in place; views bound to controls of that page bind again.
    void pageInstalled(int index);
    // Before the question about unsaved changes: the tracker brings the mark up to date.
    void modifiedCheckRequested();
    // The records were saved into `path`: what the pages show is now the file's.
    void saved(const QString& path);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenu();
    void showRecentFiles();
    // A recent file from "Файл": asks "Сохранить изменения?" first, as "Открыть" does.
    void openRecentFile(const QString& path);
    void buildToolBar();
    void buildStatusBar();
    void buildTree();
    void buildPages();
    void createWindows();
    void selectInputNode(int code);
    void selectNodeOf(int page);
    void applySecurityInputs();
    void applyGlonass(QObject* root, quint8 options);
    void applyState(QObject* root);
    void onConfirmYes();
    QString defaultPort();
    // What waits for the answer to "Сохранить изменения?".
    enum class AfterSave : quint8 { None, Defaults, Open, OpenRecent, Exit };
    // True when the command must wait: the configuration is modified and the question is now shown.
    bool askToSave(AfterSave then);
    void proceed(AfterSave then);

    QTreeWidget* m_tree = nullptr;
    SettingSearch* m_search = nullptr;
    QTreeWidgetItem* m_currentAtPress = nullptr;  // the current node when the mouse went down
    QStackedWidget* m_pageControl = nullptr;
    QLabel* m_status[kStatusPanels] = {};
    AboutWindow* m_about = nullptr;
    ConfirmDialog* m_confirm = nullptr;
    QFileDialog* m_openDialog = nullptr;
    QFileDialog* m_saveDialog = nullptr;
    QAction* m_recentSeparator = nullptr; // the recent files follow it
    QHash<QString, QDialog*> m_windows;

    QString m_portName;
    QString m_portOverride;
    QString m_iniPort;
    bool m_portOverridden = false;
    QString m_configFile;
    QStringList m_recentFiles;
    QList<QAction*> m_recentActions;
    QString m_savedStatus;
    std::optional<QString> m_defaultPort;

    quint8 m_deviceType = 2;
    int m_currentConnection = 0;
    int m_currentInput = 0;
    quint8 m_pendingOperation = 0;
    bool m_buttonsEnabled = false;
    std::optional<quint8> m_adaptedType;
    std::optional<quint8> m_options;
    bool m_shown = false;
    bool m_settingsKept = false; // Config.ini was there and not read whole: it is not written at exit
    bool m_closed = false;
    bool m_settingsFailureShown = false; // Config.ini could not be saved at a close, and the user was told
    bool m_modified = false;
    bool m_answered = false;  // the question was answered: the command runs without asking again
    bool m_savedNow = false;  // set by configurationSaved during a save
    AfterSave m_afterSave = AfterSave::None;
    QString m_recentToOpen; // the recent file waiting for the answer to "Сохранить изменения?"
    QMessageBox* m_saveQuestion = nullptr;
    std::function<bool()> m_writeGuard;
    std::unique_ptr<IniFile> m_settings;
    std::vector<std::pair<QPointer<QObject>, std::function<void(IniFile&)>>> m_settingsWriters;

    std::function<void(int)> m_loadConnectPage;
    std::function<void(int)> m_loadInputPage;
    std::function<int(int)> m_inputType;
};

} // namespace rv
