#pragma once

// Labels whose text changes with every poll, drawn without the widgets beneath them. Each keeps a picture of
// what its parents paint under it (the window's face, the group box and its frame) and draws that before its
// text, so a new value repaints the label alone: not the group box, its frame and the window under it as
// well, as a see-through label makes Qt do. The picture is taken again whenever the label or one of its
// parents moved, was resized, enabled or disabled, or the palette or style changed.

#include <QObject>
#include <QPixmap>

#include <unordered_map>
#include <vector>

class QLabel;
class QWidget;

namespace rv {

class LabelBackdrop : public QObject {
    Q_OBJECT
public:
    explicit LabelBackdrop(QObject* parent = nullptr);

    // Every label under `root`.
    void addLabels(QWidget* root);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Picture {
        std::vector<qint64> key; // where the label and its parents are, and how they look
        QPixmap pixmap;
    };
    std::unordered_map<const QLabel*, Picture> m_pictures;
};

} // namespace rv
