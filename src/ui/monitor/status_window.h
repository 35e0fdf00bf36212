#pragma once

// TForm11 "Статус": the unit's status bits as sentences, one label each (Status_L0..Status_L6) after a
// fixed caption. It is a separate small window; closing it only hides it, and the monitor keeps updating
// its labels.

#include "core/monitor/monitor_labels.h"
#include "ui/monitor/label_updates.h"

#include <QDialog>

class QLabel;

namespace rv {

// Where the status window goes when nothing is remembered: beside the main window, not over it. To its
// right when there is room on the screen, else to its left; else the main window moves over so that both
// fit side by side; on a screen too small for that, into the screen's lower right corner. Frames, not
// client areas; `main` is where the main window's frame goes (unchanged unless it had to move).
struct StatusPlacement {
    QPoint main;
    QPoint status;
};
StatusPlacement placeBeside(const QRect& mainFrame, const QSize& statusFrame, const QRect& available);

class StatusWindow : public QDialog {
    Q_OBJECT
public:
    static constexpr int kLabels = 7;

    explicit StatusWindow(QWidget* parent = nullptr);

    void apply(const QList<LabelUpdate>& updates);
    QLabel* label(int index) const { return index >= 0 && index < kLabels ? m_labels[index] : nullptr; }
    // The fixed caption before Status_L0..Status_L5 (Status_L6 is a whole-line warning without one).
    QLabel* caption(int index) const { return index >= 0 && index < kLabels - 1 ? m_captions[index] : nullptr; }

private:
    QLabel* m_labels[kLabels] = {};
    QLabel* m_captions[kLabels - 1] = {};
    LabelTargets m_targets;
};

} // namespace rv
