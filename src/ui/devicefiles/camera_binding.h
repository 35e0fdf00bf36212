#pragma once

#include <QObject>

namespace rv {

class CameraSnapshot;
class CameraViewer;
class DevSetPage;
class MainWindow;
class SessionController;

// The camera snapshot in the window: the buttons, lists and size labels of both cameras' sub-pages on
// the peripheral page, and the viewer TForm6.
class CameraBinding : public QObject {
    Q_OBJECT
public:
    CameraBinding(DevSetPage& page, MainWindow& w, SessionController& s);
    ~CameraBinding() override;

    CameraSnapshot& camera() { return *m_camera; }
    CameraViewer* viewer() const { return m_viewer; }

private:
    DevSetPage& m_page;
    CameraSnapshot* m_camera;
    CameraViewer* m_viewer;
};

} // namespace rv
