#include "ui/monitor/label_line.h"

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QStyle>
#include <QTextDocument>

#include <cmath>

namespace rv {

bool LabelLine::oneLine(const QLabel& label, const QString& text)
{
    if (!label.pixmap().isNull() || label.wordWrap())
        return false;
    if (label.textInteractionFlags() & (Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard | Qt::TextEditable))
        return false;
    const Qt::TextFormat format = label.textFormat();
    if (format == Qt::RichText || format == Qt::MarkdownText || (format == Qt::AutoText && Qt::mightBeRichText(text)))
        return false;
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'\n':
        case u'\r':
        case u'\t':
        case u'&':      // a mnemonic where the label has a buddy
        case u'\x9c':   // drawText's length variants
        case 0x2028:    // line separator
        case 0x2029:    // paragraph separator
            return false;
        default:
            break;
        }
    }
    return !text.isRightToLeft();
}

bool LabelLine::drawable(const QLabel& label)
{
    // The styles whose drawItemText draws an enabled label's text with the label's foreground brush and
    // nothing more.
    const char* style = label.style()->metaObject()->className();
    const bool plainStyle = !qstrcmp(style, "QFusionStyle") || !qstrcmp(style, "QWindowsStyle") ||
                            !qstrcmp(style, "QWindowsVistaStyle");
    const QFont& font = label.font();
    return plainStyle && label.isEnabled() && label.frameShape() == QFrame::NoFrame &&
           label.styleSheet().isEmpty() && qApp->styleSheet().isEmpty() && !font.underline() &&
           !font.overline() && !font.strikeOut() && oneLine(label, label.text());
}

void LabelLine::set(const QLabel& label, const QString& text)
{
    // As QPainter::drawText lays out one line: left to right, aligned left (the label aligns it itself),
    // one line as wide as it gets, at the top.
    m_text = text;
    m_font = QFont(label.font(), &label);
    m_layout = std::make_unique<QTextLayout>(text, m_font);
    QTextOption option;
    option.setTextDirection(Qt::LeftToRight);
    option.setAlignment(Qt::AlignLeft);
    m_layout->setTextOption(option);
    m_layout->setCacheEnabled(true);
    m_layout->beginLayout();
    QTextLine line = m_layout->createLine();
    m_width = 0;
    m_height = 0;
    if (line.isValid()) {
        line.setLineWidth(0x01000000);
        line.setPosition(QPointF(0, 0));
        m_width = line.naturalTextWidth();
        m_height = line.ascent() + line.descent();
    }
    m_layout->endLayout();
}

bool LabelLine::holds(const QLabel& label) const
{
    return m_layout && label.text() == m_text && QFont(label.font(), &label) == m_font;
}

void LabelLine::draw(QPainter& painter, const QLabel& label) const
{
    if (!m_layout || m_text.isEmpty() || m_layout->lineCount() != 1)
        return;
    // The label's document rectangle: its contents less its margin and, on the aligned sides, its indent.
    QRect r = label.contentsRect();
    const int margin = label.margin();
    r.adjust(margin, margin, -margin, -margin);
    const Qt::Alignment align = QStyle::visualAlignment(Qt::LeftToRight, label.alignment());
    if (const int m = label.indent(); m > 0) {
        if (align & Qt::AlignLeft)
            r.setLeft(r.left() + m);
        if (align & Qt::AlignRight)
            r.setRight(r.right() - m);
        if (align & Qt::AlignTop)
            r.setTop(r.top() + m);
        if (align & Qt::AlignBottom)
            r.setBottom(r.bottom() - m);
    }
    // Where drawText puts the line in that rectangle.
    qreal yoff = 0;
    if (align & Qt::AlignBottom)
        yoff = r.height() - m_height;
    else if (align & Qt::AlignVCenter)
        yoff = (r.height() - m_height) / 2;
    qreal xoff = 0;
    if (align & Qt::AlignRight)
        xoff = r.width() - m_width;
    else if (align & Qt::AlignHCenter)
        xoff = (r.width() - m_width) / 2;
    const QRectF area(r);
    const bool clip = !area.contains(QRectF(r.x() + xoff, r.y() + yoff, m_width, m_height));

    const QTextLine line = m_layout->lineAt(0);
    const qreal advance = line.horizontalAdvance();
    if (align & Qt::AlignRight)
        xoff = r.width() - advance;
    else if (align & Qt::AlignHCenter)
        xoff = (r.width() - advance) / 2;
    else
        xoff = 0;

    const QPen pen = painter.pen();
    painter.setPen(QPen(label.palette().brush(label.foregroundRole()), pen.widthF()));
    if (clip) {
        painter.save();
        painter.setClipRect(area, Qt::IntersectClip);
    }
    line.draw(&painter, QPointF(r.x() + xoff, r.y() + yoff));
    if (clip)
        painter.restore();
    painter.setPen(pen);
}

} // namespace rv
