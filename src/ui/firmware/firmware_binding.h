#pragma once

#include <QObject>

class QMessageBox;

namespace rv {

class FirmwareUpdate;
class FirmwareWindow;
class MainWindow;
class SessionController;

// The firmware update window TForm7 on the core's FirmwareUpdate: Program_but opens the window, Open_fw
// chooses an image, Program_flash programs it through the unit's bootloader.
class FirmwareBinding : public QObject {
    Q_OBJECT
public:
    FirmwareBinding(MainWindow& w, SessionController& s);
    ~FirmwareBinding() override;

    FirmwareWindow* window() const { return m_window; }
    FirmwareUpdate* update() const { return m_update; }
    // The dialog's choice: the image is checked against the connected unit and shown, or refused.
    void openFirmware(const QString& path);

    // "Обновить программу": an image older than the unit's program is programmed only after a second yes.
    void Program_flashClick();
    QMessageBox* olderQuestion() const { return m_older; }

private:
    void Open_fwClick();

    MainWindow& m_main;
    SessionController& m_session;
    FirmwareUpdate* m_update;
    FirmwareWindow* m_window;
    QMessageBox* m_older = nullptr;
};

} // namespace rv
