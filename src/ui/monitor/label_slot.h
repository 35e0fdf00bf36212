#pragma once

// A place in a layout for a label whose text changes with every poll. A label that stands in a layout itself
// makes Qt measure its new text three times and lay out its group, the page and the window again after every
// setText, even when the new value takes no more room than the old one. In a slot the label fills the slot,
// and the slot tells the layout what the widest text seen so far needs: a new value is measured once, and the
// layout runs again only when a value needs more room than any before it (or the label's font, margins,
// alignment or size limits changed). The slot is shown and hidden with its label. (A label of a fixed size asks
// nobody for a layout: its slot does not see its texts, nor needs to, and QLabel draws them itself.)

#include "ui/monitor/label_line.h"

#include <QFont>
#include <QMargins>
#include <QSizePolicy>
#include <QWidget>

class QLabel;

namespace rv {

class LabelSlot : public QWidget {
    Q_OBJECT
public:
    // Puts every label under `root` that stands in a layout (word-wrapped ones excepted) into a slot of its
    // own, where the label stood. Returns how many it put.
    static int holdLabels(QWidget* root);

    QLabel* label() const { return m_label; }
    // The label's text laid out as one line, when it is one line of plain text (the label's painter draws it).
    const LabelLine& line() const { return m_line; }
    QSize sizeHint() const override { return m_hint; }
    QSize minimumSizeHint() const override { return m_minimumHint; }

protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit LabelSlot(QLabel* label);

    // How the label measures a text, apart from the text: when any of it changes, the label is measured anew.
    struct Look {
        QFont font;
        const void* style = nullptr;
        QMargins contents;
        int margin = 0;
        int indent = 0;
        int alignment = 0;
        int format = 0;
        int interaction = 0;
        QSize minimum, maximum;
        QSizePolicy policy;
        bool operator==(const Look&) const = default;
    };
    Look lookOf() const;
    // Looks at the label again: its text, or its look, may have changed.
    void check();
    // The label's own hints for its present text, taken into the slot's (`widen`) or instead of them.
    void measure(bool widen);

    QLabel* m_label;
    Look m_look;
    QString m_text;
    QSize m_hint, m_minimumHint;
    // The width of the widest plain one-line text measured since the look last changed (< 0: none yet).
    // A plain one-line text no wider than that fits in the hints already given.
    qreal m_widest = -1;
    LabelLine m_line;
};

} // namespace rv
