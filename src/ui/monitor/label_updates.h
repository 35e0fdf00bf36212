#pragma once

// Applying the monitor's computed label states to widgets found by objectName.

#include "core/monitor/monitor_labels.h"

#include <QColor>
#include <QHash>
#include <QPointer>
#include <QWidget>

namespace rv {

// The background a status label gets: pure red, dark green (0,128,0), or the window's button face.
QColor labelBackground(LabelColor color, const QWidget* widget);

// Sets the text (labels and buttons), background and visibility of each named control under `root`
// (root included). Controls that are not there are skipped: a page may not hold them yet.
void applyLabelUpdates(QWidget* root, const QList<LabelUpdate>& updates);

// The same for a view whose controls stay as they were made (the Monitor page, the status window), which gets
// dozens of updates a block: the controls are looked up by name once, not on every block.
class LabelTargets {
public:
    explicit LabelTargets(QWidget* root) : m_root(root) {}
    void apply(const QList<LabelUpdate>& updates);

private:
    void gather();

    QWidget* m_root;
    QHash<QString, QList<QPointer<QWidget>>> m_byName;
    bool m_gathered = false;
};

} // namespace rv
