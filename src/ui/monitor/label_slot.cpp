#include "ui/monitor/label_slot.h"

#include <QEvent>
#include <QLabel>
#include <QLayout>

#include <algorithm>

namespace rv {

int LabelSlot::holdLabels(QWidget* root)
{
    int held = 0;
    for (QLabel* label : root->findChildren<QLabel*>()) {
        QWidget* parent = label->parentWidget();
        if (label->wordWrap() || !parent || !parent->layout() || qobject_cast<LabelSlot*>(parent))
            continue;
        const bool hidden = label->isHidden();
        auto* slot = new LabelSlot(label);
        QLayoutItem* old = parent->layout()->replaceWidget(label, slot);
        if (!old) { // the label is not in its parent's layout: leave it where it is
            label->removeEventFilter(slot);
            delete slot;
            continue;
        }
        delete old;
        label->setParent(slot);
        label->setGeometry(slot->rect());
        label->setVisible(!hidden);
        slot->setVisible(!hidden);
        ++held;
    }
    return held;
}

LabelSlot::LabelSlot(QLabel* label) : QWidget(label->parentWidget()), m_label(label)
{
    setObjectName(label->objectName() + QStringLiteral("_slot"));
    m_label->installEventFilter(this);
    m_look = lookOf();
    setSizePolicy(m_look.policy);
    setMinimumSize(m_look.minimum);
    setMaximumSize(m_look.maximum);
    m_text = m_label->text();
    measure(false);
}

LabelSlot::Look LabelSlot::lookOf() const
{
    const QLabel* l = m_label;
    return {l->font(),         l->style(),          l->contentsMargins(),   l->margin(),
            l->indent(),       int(l->alignment()), int(l->textFormat()),   int(l->textInteractionFlags()),
            l->minimumSize(),  l->maximumSize(),    l->sizePolicy()};
}

void LabelSlot::measure(bool widen)
{
    QSize hint = m_label->sizeHint();
    QSize minimum = m_label->minimumSizeHint();
    if (widen) {
        hint = hint.expandedTo(m_hint);
        minimum = minimum.expandedTo(m_minimumHint);
    }
    if (LabelLine::oneLine(*m_label, m_text)) {
        if (!m_line.holds(*m_label))
            m_line.set(*m_label, m_text);
        m_widest = std::max(m_widest, m_line.width());
    } else {
        m_line.clear();
    }
    if (hint != m_hint || minimum != m_minimumHint) {
        m_hint = hint;
        m_minimumHint = minimum;
        updateGeometry();
    }
}

void LabelSlot::check()
{
    const Look look = lookOf();
    if (!(look == m_look)) {
        // Measured afresh: what the widest text needed with the old look says nothing about the new one.
        m_look = look;
        m_text = m_label->text();
        m_widest = -1;
        m_line.clear();
        setSizePolicy(look.policy);
        setMinimumSize(look.minimum);
        setMaximumSize(look.maximum);
        measure(false);
        return;
    }
    const QString text = m_label->text();
    if (text == m_text)
        return;
    m_text = text;
    if (m_widest >= 0 && LabelLine::oneLine(*m_label, text)) {
        // QLabel's hints for one line of plain text grow with the line's width, all else the same; the line
        // laid out here is the one the painter draws.
        m_line.set(*m_label, text);
        if (m_line.width() <= m_widest)
            return;
    }
    measure(true);
}

bool LabelSlot::event(QEvent* event)
{
    // The label asks its parent for a new layout when its text or look changed: the slot looks for itself.
    if (event->type() == QEvent::LayoutRequest)
        check();
    return QWidget::event(event);
}

void LabelSlot::resizeEvent(QResizeEvent*)
{
    m_label->setGeometry(rect());
}

void LabelSlot::showEvent(QShowEvent*)
{
    // A label does not ask a hidden parent for a layout: what changed meanwhile is looked at now.
    check();
}

bool LabelSlot::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_label) {
        if (event->type() == QEvent::HideToParent)
            hide();
        else if (event->type() == QEvent::ShowToParent)
            show();
    }
    return false;
}

} // namespace rv
