#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("rvconf"));
    QMainWindow w;
    w.setWindowTitle(QStringLiteral("Конфигуратор RV-1, RV-2 v.2.8.8"));
    w.show();
    return app.exec();
}
