#include "ui/app/app_texts.h"
#include "ui/app/main_window.h"

#include <QApplication>
#include <QCommandLineParser>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("rvconf"));
    app.setApplicationVersion(QStringLiteral("2.8.8"));

    QCommandLineParser parser;
    parser.setApplicationDescription(rv::appTitle());
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption portOption(QStringLiteral("port"),
                                        QStringLiteral("Serial port for this run, instead of the one in Config.ini."),
                                        QStringLiteral("NAME"));
    parser.addOption(portOption);
    parser.process(app);

    // The main window creates the other windows in the program's order.
    rv::MainWindow mainWindow;
    if (parser.isSet(portOption))
        mainWindow.setPortOverride(parser.value(portOption));
    QObject::connect(&mainWindow, &rv::MainWindow::closing, &app, &QApplication::quit, Qt::QueuedConnection);

    mainWindow.show();
    return app.exec();
}
