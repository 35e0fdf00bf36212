#include "ui/devicefiles/camera_binding.h"

#include "core/devicefiles/camera_snapshot.h"
#include "core/protocol/device_session.h"
#include "ui/app/main_window.h"
#include "ui/config/pages/dev_set_page.h"
#include "ui/devicefiles/camera_viewer.h"

namespace rv {

CameraBinding::CameraBinding(DevSetPage& page, MainWindow& w, SessionController& s)
    : QObject(&w), m_page(page), m_camera(new CameraSnapshot(s, this))
{
    // The viewer replaces the main window's empty shell of the same name.
    QDialog* shell = w.window(QStringLiteral("TForm6"));
    m_viewer = new CameraViewer(&w);
    w.addWindow(m_viewer);
    if (shell && shell != m_viewer)
        shell->deleteLater();

    connect(&page, &DevSetPage::snapshotRequested, this, [this](int camera) {
        m_camera->setResolution(1, m_page.imageResolution(1));
        m_camera->setResolution(2, m_page.imageResolution(2));
        m_camera->View_imageClick(camera);
    });
    connect(m_camera, &CameraSnapshot::sizeAnnounced, &page, &DevSetPage::setImageSize);
    connect(m_camera, &CameraSnapshot::pictureReady, this, [this](int, const QByteArray& jpeg) {
        m_viewer->showPicture(jpeg, camera::resolutionSize(m_page.imageResolution(1)));
    });
}

CameraBinding::~CameraBinding() = default;

} // namespace rv
