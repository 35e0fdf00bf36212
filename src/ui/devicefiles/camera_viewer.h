#pragma once

// "Просмотр" (TForm6): the camera's picture at its real size.

#include <QDialog>

class QLabel;

namespace rv {

class CameraViewer : public QDialog {
    Q_OBJECT
public:
    explicit CameraViewer(QWidget* parent = nullptr);

    // Shows the JPEG at the size it has; one that cannot be decoded leaves an empty image of `fallback`.
    // Returns whether the picture could be decoded.
    bool showPicture(const QByteArray& jpeg, QSize fallback);
    QLabel* image() const { return m_image; }

private:
    QLabel* m_image;
};

} // namespace rv
