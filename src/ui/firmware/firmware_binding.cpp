#include "ui/firmware/firmware_binding.h"

#include "core/firmware/firmware_update.h"
#include "core/monitor/monitor_blocks.h"
#include "core/monitor/monitor_snapshot.h"
#include "core/protocol/device_session.h"
#include "ui/app/main_window.h"
#include "ui/firmware/firmware_window.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>

namespace rv {

FirmwareBinding::FirmwareBinding(MainWindow& w, SessionController& s)
    : QObject(&w), m_main(w), m_session(s), m_update(new FirmwareUpdate(s, this))
{
    // The window replaces the main window's empty shell.
    QDialog* shell = w.window(QStringLiteral("TForm7"));
    m_window = new FirmwareWindow(&w);
    w.addWindow(m_window);
    if (shell && shell != m_window)
        shell->deleteLater();

    m_window->setBusyCheck([this] { return m_update->programming(); });
    connect(m_window, &FirmwareWindow::openRequested, this, &FirmwareBinding::Open_fwClick);
    connect(m_window, &FirmwareWindow::programRequested, this, &FirmwareBinding::Program_flashClick);
    connect(m_window, &FirmwareWindow::stopRequested, m_update, &FirmwareUpdate::stop);
    connect(m_window, &FirmwareWindow::closed, m_update, &FirmwareUpdate::closeImage);
    connect(m_update, &FirmwareUpdate::progressChanged, m_window->progress(), &QProgressBar::setValue);
    connect(m_update, &FirmwareUpdate::readyChanged, m_window->programButton(), &QPushButton::setEnabled);
    connect(m_update, &FirmwareUpdate::message, &w, &MainWindow::showMessage);
}

FirmwareBinding::~FirmwareBinding() = default;

void FirmwareBinding::Open_fwClick()
{
    auto* dialog = new QFileDialog(m_window, QString(), QString(), QStringLiteral("Firmware [*.bin] (*.bin)"));
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->selectFile(QStringLiteral("*.bin"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QFileDialog::fileSelected, this, &FirmwareBinding::openFirmware);
    dialog->open();
}

void FirmwareBinding::Program_flashClick()
{
    if (!m_update->olderThanUnit()) {
        m_update->program();
        return;
    }
    if (m_older)
        return; // already asked
    m_older = new QMessageBox(QMessageBox::Question, m_window->windowTitle(),
                              QStringLiteral("Версия файла более ранняя, чем та, что записана в устройство.\n"
                                             "Всё равно записать эту версию?"),
                              QMessageBox::Yes | QMessageBox::No, m_window);
    m_older->setObjectName(QStringLiteral("OlderFirmwareQuestion"));
    m_older->setAttribute(Qt::WA_DeleteOnClose);
    m_older->setDefaultButton(QMessageBox::No);
    connect(m_older, &QMessageBox::finished, this, [this](int result) {
        m_older = nullptr;
        if (result == QMessageBox::Yes && m_update->hasImage())
            m_update->program();
    });
    m_older->open();
}

void FirmwareBinding::openFirmware(const QString& path)
{
    if (path.isEmpty())
        return;
    // The unit's program version comes from its last device block (0 before one arrived: no warning).
    const int unitVersion = decodeDevice(m_session.monitor().device.bytes()).firmwareVersion;
    if (m_update->openImage(path, m_session.session().DeviceType, unitVersion))
        m_window->showImage(path, m_update->header());
    else
        m_window->clearImage();
}

} // namespace rv
