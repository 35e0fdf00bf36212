#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

namespace rv {

// What the watchdog closes the display with when it runs out, whatever the operation.
inline constexpr char16_t kNoAnswerText[] = u"Нет ответа/Повторите операцию";

// The progress display of every operation and its no-answer watchdog (200 ms ticks). Views mirror it;
// a command-line front end gets the same watchdog.
class ProgressWatchdog : public QObject {
    Q_OBJECT
public:
    static constexpr int kTickMs = 200;
    static constexpr int kDeterminateLimit = 15;   // ticks without progress: 3 s
    static constexpr int kIndeterminateMaximum = 10;

    explicit ProgressWatchdog(QObject* parent = nullptr);

    // maximum != 0: a bar at position/maximum, watchdog 15 ticks. maximum == 0: indeterminate, the
    // watchdog limit is `position` ticks. A null label keeps the old text.
    void Progress_show(int position, int maximum, const QString& label = QString());
    void Progress_close(const QString& message = QString());
    void Progress_refresh();
    void Timer1Timer();

    bool isShown() const { return m_shown; }
    int position() const { return m_position; }
    int maximum() const { return m_maximum; }
    int limit() const { return m_limit; }
    int tickCounter() const { return m_ticks; }
    QString label() const { return m_label; }
    // Tests drive the ticks themselves.
    void setTimerEnabled(bool on) { m_timerEnabled = on; }

signals:
    void changed();                        // shown, moved or relabelled
    void closed(const QString& message);   // hidden; a non-empty message is for a message box
    void expired();                        // the watchdog ran out: the operation is over

private:
    QTimer m_timer;
    bool m_timerEnabled = true;
    bool m_shown = false;
    int m_position = 0;
    int m_maximum = kIndeterminateMaximum;
    int m_limit = kDeterminateLimit;
    int m_ticks = 0;
    QString m_label;
};

} // namespace rv
