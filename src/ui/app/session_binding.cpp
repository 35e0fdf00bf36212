#include "ui/app/session_binding.h"

#include "core/link/port_list.h"
#include "core/protocol/device_session.h"
#include "core/protocol/session_texts.h"
#include "core/settings/app_settings.h"
#include "ui/app/main_window.h"
#include "ui/protocol/password_dialog.h"
#include "ui/protocol/port_dialog.h"
#include "ui/protocol/progress_window.h"

#include <QAbstractButton>
#include <QTreeWidget>

namespace rv {

namespace {
constexpr int kMonitorPage = 1;

QString passwordReason(uint8_t refused)
{
    QString what;
    switch (refused) {
    case osReadConfig: what = QStringLiteral("считать конфигурацию"); break;
    case osWriteConfig: what = QStringLiteral("записать конфигурацию"); break;
    case osReset: what = QStringLiteral("перезагрузить устройство"); break;
    case osEraseTrack: what = QStringLiteral("удалить трек"); break;
    default:
        return QStringLiteral("Настройки устройства защищены паролем доступа к конфигурации.");
    }
    return QStringLiteral("Настройки устройства защищены паролем доступа к конфигурации. Чтобы %1, введите "
                          "его: после того как устройство примет пароль, операция будет выполнена.").arg(what);
}
} // namespace

SessionBinding::SessionBinding(MainWindow& w, SessionController& s, bool runTimers)
    : QObject(&w), m_window(w), m_session(s)
{
    // The window's configuration is the one the session reads and writes.
    Q_ASSERT(&w.document().records() == &s.records());
    m_portDialog = new PortDialog(PortDialog::systemPorts(), &w);
    m_passwordDialog = new PasswordDialog(&w);
    m_progressWindow = new ProgressWindow(s.progress(), &w);
    w.addWindow(m_portDialog);
    w.addWindow(m_passwordDialog);
    w.addWindow(m_progressWindow);

    // Start-up and closing.
    connect(&w, &MainWindow::formShown, &s, [&w, &s, runTimers] {
        s.setPortName(w.portName());
        s.start(runTimers);
    });
    connect(&w, &MainWindow::closing, &s, &SessionController::shutdown);

    // The tool bar and the menu.
    connect(&w, &MainWindow::downloadRequested, &s, &SessionController::Download_deviceClick);
    // From the start-up load on there is always a configuration in the records (the defaults at the least).
    connect(&w, &MainWindow::uploadRequested, &s, &SessionController::Upload_deviceClick);
    connect(&w, &MainWindow::resetRequested, &s, &SessionController::Reset_butClick);
    connect(&w, &MainWindow::eraseTrackConfirmed, &s, &SessionController::eraseTrackConfirmed);
    connect(&w, &MainWindow::diagnosticsRequested, &s, [&s] { s.setMonitorFlag(cmd::kFlagLogTrailer, true); });

    // The port dialog: discovery pauses while it is up.
    connect(&w, &MainWindow::portDialogRequested, this, [this] {
        m_session.portDialogOpened();
        m_portDialog->setCurrentPort(m_window.portName());
        // Panel 1 names the port while it is open ("NC" when opening failed): a busy current port is ours.
        m_portDialog->setCurrentPortOpen(m_window.statusText(1) == m_window.portName());
        m_portDialog->open();
    });
    connect(m_portDialog, &PortDialog::portChosen, this, [this](const QString& name) {
        m_window.setPortName(name);
        m_session.choosePort(name);
    });
    connect(m_portDialog, &PortDialog::left, this, [this] {
        m_window.setStatusText(3, m_window.savedStatusText());
        m_session.portDialogLeft();
    });
    connect(&s, &SessionController::tcpChosen, this, [this] {
        if (QDialog* server = m_window.window(QStringLiteral("TForm10")))
            server->show();
    });

    // What the session reports, in the program's words: the status bar and the message boxes. (The
    // progress window closes with the words of the operation's end itself.)
    m_texts = new SessionTexts(s, this);
    connect(m_texts, &SessionTexts::statusText, &w, &MainWindow::setStatusText);
    connect(m_texts, &SessionTexts::message, &w, &MainWindow::showMessage);
    connect(&s, &SessionController::portOpenProblem, &w, &MainWindow::showMessage);
    connect(&s, &SessionController::buttonsEnabled, &w, &MainWindow::Button_Enabled);
    connect(&s, &SessionController::configurate, &w, &MainWindow::Configurate);
    connect(&s, &SessionController::deviceConnected, &w, [&w](quint8 type, quint32) {
        w.TypeConnectedDevice(type);
        w.showPage(kMonitorPage);
        w.Setting_typedevice();
    });
    connect(&s, &SessionController::bootloaderMode, &w, [&w, &s](quint8, quint8) {
        w.setDeviceType(s.session().DeviceType);
        if (auto* program = w.findChild<QAbstractButton*>(QStringLiteral("Program_but")))
            program->setEnabled(true);
    });
    connect(&s, &SessionController::readCycleFinished, &w, [&w] { w.tree()->setFocus(); });
    // The operation the unit refused runs again by itself once it accepts the password.
    s.setRepeatAfterPassword(true);
    connect(&s, &SessionController::passwordWanted, m_passwordDialog, [this] {
        m_passwordDialog->setReason(passwordReason(m_session.refusedOperation()));
        m_passwordDialog->show();
    });
    connect(m_passwordDialog, &PasswordDialog::passwordEntered, &s, &SessionController::submitPassword);
    connect(m_passwordDialog, &PasswordDialog::cancelled, &s, &SessionController::cancelPassword);
}

} // namespace rv
