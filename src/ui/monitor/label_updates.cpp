#include "ui/monitor/label_updates.h"

#include <QAbstractButton>
#include <QHash>
#include <QLabel>
#include <QWidget>

namespace rv {

QColor labelBackground(LabelColor color, const QWidget* widget)
{
    switch (color) {
    case LabelColor::Red: return QColor(255, 0, 0);
    case LabelColor::Green: return QColor(0, 128, 0);
    default: return (widget ? widget->window()->palette() : QPalette()).color(QPalette::Button);
    }
}

namespace {

void applyOne(QWidget* w, const LabelUpdate& u)
{
    if (u.text) {
        if (auto* label = qobject_cast<QLabel*>(w))
            label->setText(*u.text);
        else if (auto* button = qobject_cast<QAbstractButton*>(w))
            button->setText(*u.text);
    }
    if (u.color != LabelColor::Unchanged) {
        QPalette p = w->palette();
        p.setColor(w->backgroundRole(), labelBackground(u.color, w));
        w->setPalette(p);
        w->setAutoFillBackground(true);
    }
    if (u.visible)
        w->setVisible(*u.visible);
}

} // namespace

void applyLabelUpdates(QWidget* root, const QList<LabelUpdate>& updates)
{
    if (!root || updates.isEmpty())
        return;
    // One walk over the controls, not one per update: the monitor applies dozens of updates a block.
    QHash<QString, QList<const LabelUpdate*>> byName;
    for (const LabelUpdate& u : updates)
        byName[u.objectName].append(&u);
    const auto applyTo = [&byName](QWidget* w) {
        const auto it = byName.constFind(w->objectName());
        if (it != byName.constEnd())
            for (const LabelUpdate* u : *it)
                applyOne(w, *u);
    };
    applyTo(root);
    for (QWidget* w : root->findChildren<QWidget*>())
        applyTo(w);
}

void LabelTargets::gather()
{
    m_gathered = true;
    m_byName[m_root->objectName()].append(m_root);
    for (QWidget* w : m_root->findChildren<QWidget*>())
        if (!w->objectName().isEmpty())
            m_byName[w->objectName()].append(w);
}

void LabelTargets::apply(const QList<LabelUpdate>& updates)
{
    if (!m_gathered)
        gather();
    for (const LabelUpdate& u : updates) {
        const auto it = m_byName.constFind(u.objectName);
        if (it == m_byName.constEnd())
            continue;
        for (const QPointer<QWidget>& w : *it)
            if (w)
                applyOne(w, u);
    }
}

} // namespace rv
