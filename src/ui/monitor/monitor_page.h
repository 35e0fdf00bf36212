#pragma once

// The "Мониторинг" page (objectName Monitor): the labels of the live monitor in four groups. It only
// shows what the monitor computes; MonitorBinding feeds it.

#include "core/monitor/monitor_labels.h"
#include "ui/monitor/label_updates.h"

#include <QWidget>

#include <memory>

class QLabel;

namespace Ui {
class MonitorPage;
}

namespace rv {

class MonitorPage : public QWidget {
    Q_OBJECT
public:
    explicit MonitorPage(QWidget* parent = nullptr);
    ~MonitorPage() override;

    void apply(const QList<LabelUpdate>& updates);
    QLabel* label(const QString& objectName) const;

public slots:
    // Copies the IMEI shown in LIMEI to the clipboard.
    void Copy_IMEIClick();

signals:
    void chartsRequested(); // "Графики"

private:
    std::unique_ptr<Ui::MonitorPage> m_ui;
    LabelTargets m_targets;
};

} // namespace rv
