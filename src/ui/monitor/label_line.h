#pragma once

// One line of a label's plain text, laid out once and kept: the label's slot measures it when the text
// changes, and the label's painter draws the very same layout, so a new value is shaped once, not three or
// four times (the width check, QLabel's paint, and the layout pass QLabel's own size hints would start).
// It is laid out and drawn as QLabel and QPainter::drawText lay out and draw one line of plain text; labels
// whose text or look that does not cover are measured and painted by QLabel itself.

#include <QFont>
#include <QString>
#include <QTextLayout>

#include <memory>

class QLabel;
class QPainter;

namespace rv {

class LabelLine {
public:
    // Whether `label` lays `text` out as one line of plain left-to-right text: no pixmap, no word wrap, not
    // selectable (that is a document), not rich, and nothing drawText treats specially (line breaks, tabs,
    // mnemonics, length variants). The label's size hints then grow with the line's width.
    static bool oneLine(const QLabel& label, const QString& text);
    // Whether the label also draws its text in a way draw() copies: its text one line, enabled, no frame,
    // no style sheet, a font without decorations, a style that draws an item's text plainly.
    static bool drawable(const QLabel& label);

    // Lays out `text` in the font the label's painter uses.
    void set(const QLabel& label, const QString& text);
    void clear() { m_layout.reset(); m_text.clear(); }
    bool holds(const QLabel& label) const;
    // The width QLabel measures for the text (without trailing spaces); < 0 when nothing is laid out.
    qreal width() const { return m_layout ? m_width : -1; }
    // Draws the text where QLabel::paintEvent would, with the painter the label's paint event began.
    void draw(QPainter& painter, const QLabel& label) const;

private:
    QString m_text;
    QFont m_font;
    std::unique_ptr<QTextLayout> m_layout;
    qreal m_width = 0;
    qreal m_height = 0;
};

} // namespace rv
