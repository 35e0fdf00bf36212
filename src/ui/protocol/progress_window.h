#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;

namespace rv {

class ProgressWatchdog;

// The progress window `TForm5` ("Выполнение процесса"): mirrors the watchdog of the core, shows a closing
// message in a message box that does not block.
class ProgressWindow : public QDialog {
    Q_OBJECT
public:
    explicit ProgressWindow(ProgressWatchdog& watchdog, QWidget* parent = nullptr);

    QLabel* Lprocess() const { return m_label; }
    QProgressBar* ProgressBar1() const { return m_bar; }

signals:
    void messageShown(const QString& text);

private:
    void refresh();
    void onClosed(const QString& message);

    ProgressWatchdog& m_watchdog;
    QLabel* m_label;
    QProgressBar* m_bar;
};

} // namespace rv
