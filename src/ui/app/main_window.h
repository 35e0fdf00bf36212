#pragma once

// TForm1: the main window. It holds the menu, the tool bar, the status bar, the navigation tree and
// the pages, adapts the pages to the connected unit, and turns the user's commands into signals.
// It never talks to a unit itself: the session controller connects to its signals and calls its slots.
// It shows the configuration document and runs its file commands; it reads and writes Config.ini.

#include "core/config/config_document.h"
#include "core/settings/program_settings.h"
#include "ui/app/navigation_tree.h"
#include "ui/app/unit_controls.h"

#include <QHash>
#include <QMainWindow>

#include <functional>

class QAction;
class QDialog;
class QFileDialog;
class QLabel;
class QMessageBox;
class QStackedWidget;
class QTreeWidgetItem;

namespace rv {

class AboutWindow;
class ConfirmDialog;
class FileCommands;
class SettingSearch;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    // The operation awaiting confirmation in TForm13; the track erase is the only one.
    static constexpr quint8 kConfirmEraseTrack = 1;
    static constexpr int kStatusPanels = 4;

    // The window shows the configuration document on `records` (those of the session it is bound to).
    explicit MainWindow(ConfigRecords& records = programRecords(), QWidget* parent = nullptr);
    ~MainWindow() override;

    // The configuration: records, file name, unsaved changes (the title then ends in " *" and "Открыть",
    // the defaults and "Выход" ask "Сохранить изменения?" first), the recent files of menu "Файл".
    ConfigDocument& document() { return m_document; }
    // The file dialogs of N5 and N6, created at their first use (nullptr before), and the open question.
    QFileDialog* openDialog() const;
    QFileDialog* saveDialog() const;
    QMessageBox* saveChangesQuestion() const;

    // The port of the link (Config.ini's, the command line's for this run, or the port dialog's).
    QString portName() const { return m_programSettings.portName(); }
    void setPortName(const QString& name) { m_programSettings.setPortName(name); }
    void setPortOverride(const QString& name) { m_programSettings.setPortOverride(name); }
    // Asked by "Записать" first: true when it takes the write over (it calls writeToUnit itself, or not at all).
    void setWriteGuard(std::function<bool()> fn) { m_writeGuard = std::move(fn); }
    // Text of status panel 3 saved when the port dialog was requested.
    QString savedStatusText() const { return m_savedStatus; }

    QString statusText(int panel) const;

    // Navigation state.
    quint8 deviceType() const { return m_deviceType; }
    void setDeviceType(quint8 type) { m_deviceType = type; }
    int currentConnection() const { return m_tree->currentConnection(); }
    int currentInput() const { return m_tree->currentInput(); }
    quint8 pendingOperation() const { return m_pendingOperation; }
    bool deviceButtonsEnabled() const { return m_unitControls.buttonsEnabled(); }

    // Pages and tree.
    NavigationTree* tree() const { return m_tree; }
    SettingSearch* settingSearch() const { return m_search; }
    QStackedWidget* pageControl() const { return m_pageControl; }
    QWidget* page(int index) const;
    // Installs an editor page at its index in place of the stand-in; the page takes the standard
    // objectName when it has none, and gets the current adaptation and device-button state.
    void setPage(int index, QWidget* page);
    int currentPage() const;
    // The first node with that caption, searching the whole tree.
    QTreeWidgetItem* node(const QString& caption) const { return m_tree->node(caption); }

    // Windows created with the main window, by objectName ("TForm2", "TForm6" ... "TForm15").
    QDialog* window(const QString& objectName) const { return m_windows.value(objectName); }
    void addWindow(QDialog* window);
    AboutWindow* aboutWindow() const { return m_about; }
    ConfirmDialog* confirmDialog() const { return m_confirm; }

    // Hooks the editor pages fill: load the connection page for a connection 0..4, load the input
    // page for an input 0..7, read the type nibble of an input 0..7 (by default from the program's
    // main settings record).
    void setLoadConnectPage(std::function<void(int)> fn) { m_tree->setLoadConnectPage(std::move(fn)); }
    void setLoadInputPage(std::function<void(int)> fn) { m_tree->setLoadInputPage(std::move(fn)); }
    void setInputTypeReader(std::function<int(int)> fn) { m_tree->setInputTypeReader(std::move(fn)); }

    // Config.ini as FormShow read it (empty before, or when it could not be read): views restore what they
    // keep there when formShown comes.
    const IniFile& settings() const { return m_programSettings.ini(); }
    // Views that keep something in Config.ini put it into the file that FormClose writes, in one save. A writer
    // is dropped with its owner, so a view gone before the window closes is not asked.
    void addSettingsWriter(QObject* owner, std::function<void(IniFile&)> write)
    {
        m_programSettings.addWriter(owner, std::move(write));
    }

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
    // FormShow has read Config.ini: discovery starts (osSearch, then the step timer). The start-up
    // configuration is loaded right after.
    void formShown();
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

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenu();
    void buildToolBar();
    void buildStatusBar();
    void createWindows();
    void onConfirmYes();

    ConfigDocument m_document;
    ProgramSettings m_programSettings;
    UnitControls m_unitControls;
    FileCommands* m_files = nullptr;
    NavigationTree* m_tree = nullptr;
    SettingSearch* m_search = nullptr;
    QStackedWidget* m_pageControl = nullptr;
    QLabel* m_status[kStatusPanels] = {};
    AboutWindow* m_about = nullptr;
    ConfirmDialog* m_confirm = nullptr;
    QHash<QString, QDialog*> m_windows;
    QString m_savedStatus;

    quint8 m_deviceType = 2;
    quint8 m_pendingOperation = 0;
    bool m_shown = false;
    bool m_closed = false;
    bool m_settingsFailureShown = false; // Config.ini could not be saved at a close, and the user was told
    std::function<bool()> m_writeGuard;
};

} // namespace rv
