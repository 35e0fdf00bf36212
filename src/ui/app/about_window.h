#pragma once

#include <QDialog>

namespace rv {

// TForm2: the About window.
class AboutWindow : public QDialog {
    Q_OBJECT
public:
    explicit AboutWindow(QWidget* parent = nullptr);
};

} // namespace rv
