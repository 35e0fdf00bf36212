#pragma once

// Applying the monitor's computed label states to widgets found by objectName.

#include "core/monitor/monitor_labels.h"

#include <QColor>

class QWidget;

namespace rv {

// The background a status label gets: pure red, dark green (0,128,0), or the window's button face.
QColor labelBackground(LabelColor color, const QWidget* widget);

// Sets the text (labels and buttons), background and visibility of each named control under `root`
// (root included). Controls that are not there are skipped: a page may not hold them yet.
void applyLabelUpdates(QWidget* root, const QList<LabelUpdate>& updates);

} // namespace rv
