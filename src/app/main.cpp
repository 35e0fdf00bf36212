#include "core/link/serial_link.h"
#include "core/protocol/device_session.h"
#include "core/protocol/remote_session.h"
#include "core/version.h"
#include "ui/app/app_texts.h"
#include "ui/app/main_window.h"
#include "ui/app/qt_translations.h"
#include "ui/app/session_binding.h"
#include "ui/config/compare_window.h"
#include "ui/config/config_pages.h"
#include "ui/config/write_confirm.h"
#include "ui/devicefiles/devicefiles_binding.h"
#include "ui/devicefiles/route_binding.h"
#include "ui/firmware/firmware_binding.h"
#include "ui/devicefiles/voice_binding.h"
#include "ui/link/network_binding.h"
#include "ui/monitor/monitor_binding.h"
#include "stop_signals.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QTimer>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("rvconf"));
    app.setApplicationVersion(rv::programVersion());
    rv::installQtTranslations(app);

    QCommandLineParser parser;
    parser.setApplicationDescription(rv::appTitle());
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption portOption(QStringLiteral("port"),
                                        QStringLiteral("Serial port for this run, instead of the one in Config.ini."),
                                        QStringLiteral("NAME"));
    parser.addOption(portOption);
    // Windows opens a configuration file that is double-clicked this way ("rvconf.exe" "%1").
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("A configuration file (.fcg) to open, as Открыть does."),
                                 QStringLiteral("[FILE.fcg]"));
    parser.process(app);

    rv::SerialLink link;                 // Comm_port
    rv::SessionController session(link); // the device session on the program-wide records
    rv::RemoteSession remote(session);   // units calling the program's TCP server

    // The main window creates the other windows in the program's order; it shows the configuration
    // document on the session's records.
    rv::MainWindow mainWindow(session.records());
    if (parser.isSet(portOption))
        mainWindow.setPortOverride(parser.value(portOption));
    rv::SessionBinding binding(mainWindow, session);
    rv::MonitorBinding monitor(mainWindow, session); // the Monitor page and the status window TForm11
    rv::ConfigPages pages(mainWindow, session);      // the editor pages
    rv::CompareBinding compare(mainWindow, session, pages); // "Сравнить с устройством", "Сравнить с файлом…"
    rv::WriteConfirmation confirmWrite(mainWindow, session, compare); // "Записать" lists its changes first
    rv::DeviceFilesBinding files(mainWindow, session); // FL_page, the log window TForm9, file transfers
    rv::RouteBinding route(mainWindow, session, pages, files.transfer()); // Autoinfo: the route table
    rv::VoiceBinding voice(mainWindow, session, files.transfer()); // Voice_files, on the same file transfer
    rv::NetworkBinding network(mainWindow, remote);  // the server window TForm10
    rv::FirmwareBinding firmware(mainWindow, session); // the firmware update window TForm7
    QObject::connect(&link, &rv::SerialLink::commError, &mainWindow, &rv::MainWindow::showMessage);
    QObject::connect(&mainWindow, &rv::MainWindow::closing, &app, &QApplication::quit, Qt::QueuedConnection);

    // SIGINT (Ctrl+C in the terminal that started it) and SIGTERM (a logout, a script) close the main window as
    // "Выход" does: the unit hears "CONFIGC", Config.ini is written, unsaved changes are asked about.
    rv::onStopSignals(&mainWindow, [&mainWindow] { mainWindow.close(); });

    mainWindow.show();
    if (const QStringList files = parser.positionalArguments(); !files.isEmpty()) {
        const QString file = QFileInfo(files.first()).absoluteFilePath();
        // After the start-up configuration, which the shown window has loaded by then.
        QTimer::singleShot(0, &mainWindow, [&mainWindow, file] { mainWindow.openConfigFile(file); });
    }
    return app.exec();
}
