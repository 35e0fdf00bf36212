#include "ui/devicefiles/camera_viewer.h"

#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>

namespace rv {

CameraViewer::CameraViewer(QWidget* parent) : QDialog(parent), m_image(new QLabel(this))
{
    setObjectName(QStringLiteral("TForm6"));
    setWindowTitle(QStringLiteral("Просмотр"));
    m_image->setObjectName(QStringLiteral("Image_camera"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_image);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

bool CameraViewer::showPicture(const QByteArray& jpeg, QSize fallback)
{
    const QImage picture = QImage::fromData(jpeg, "JPG");
    // The picture is shown as it came, whatever resolution was asked for.
    const QSize size = picture.isNull() ? fallback : picture.size();
    if (picture.isNull())
        m_image->clear();
    else
        m_image->setPixmap(QPixmap::fromImage(picture));
    m_image->setFixedSize(size);
    adjustSize();
    show();
    raise();
    activateWindow();
    return !picture.isNull();
}

} // namespace rv
