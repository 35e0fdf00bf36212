#pragma once

// Labels whose text changes with every poll, drawn without the widgets beneath them. Each keeps a picture of
// what its parents paint under it (the window's face, the group box and its frame) and draws that before its
// text, so a new value repaints the label alone: not the group box, its frame and the window under it as
// well, as a see-through label makes Qt do. When the label's slot has laid its text out as one line already
// (LabelLine), the text is drawn here from that line, and QLabel does not lay it out a second time. The
// picture is taken again whenever the label or one of its parents moved, was resized, enabled or disabled,
// or the palette or style changed. A picture of one colour (the usual case: the window's face under a group
// box) is kept as that colour and filled, not copied.

#include <QColor>
#include <QObject>
#include <QPixmap>
#include <QVarLengthArray>

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
    using Key = QVarLengthArray<qint64, 64>;
    struct Picture {
        Key key; // where the label and its parents are, and how they look
        QPixmap pixmap;
        QColor colour; // valid: the whole picture is this one opaque colour
    };
    std::unordered_map<const QLabel*, Picture> m_pictures;
    Key m_key; // the key of the label being painted, kept between paints to spare an allocation
};

} // namespace rv
