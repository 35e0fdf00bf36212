#pragma once

#include <QObject>

namespace rv {

class AutoinfoPage;
class ConfigPages;
class FileTransfer;
class MainWindow;
class SessionController;

// The page "Автоинформатор" in the window: installed among the editor pages (its switch belongs to the main
// record), its table read from and written to the unit through the file transfer, the live position for
// "Вставить текущие координаты".
class RouteBinding : public QObject {
    Q_OBJECT
public:
    RouteBinding(MainWindow& w, SessionController& s, ConfigPages& pages, FileTransfer& transfer);

    AutoinfoPage* page() const { return m_page; }
    // Write_autoinfoClick: the grid into "Marshrut.fai" of the program folder, then to the unit.
    void Write_autoinfoClick();

private:
    MainWindow& m_window;
    FileTransfer& m_transfer;
    AutoinfoPage* m_page;
    bool m_positionKnown = false;
};

} // namespace rv
