#include "core/protocol/progress.h"

namespace rv {

ProgressWatchdog::ProgressWatchdog(QObject* parent) : QObject(parent)
{
    m_timer.setInterval(kTickMs);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &ProgressWatchdog::Timer1Timer);
}

void ProgressWatchdog::Progress_show(int position, int maximum, const QString& label)
{
    if (!m_shown)
        m_position = 0; // showing the window resets the bar
    if (maximum != 0) {
        m_maximum = maximum;
        m_position = position;
        m_limit = kDeterminateLimit;
    } else {
        m_limit = position;
        m_maximum = kIndeterminateMaximum;
    }
    m_ticks = 1;
    if (m_timerEnabled)
        m_timer.start();
    if (!label.isNull())
        m_label = label;
    m_shown = true;
    emit changed();
}

void ProgressWatchdog::Progress_close(const QString& message)
{
    m_ticks = 0;
    m_timer.stop();
    const bool wasShown = m_shown;
    m_shown = false;
    if (wasShown || !message.isEmpty())
        emit closed(message);
}

void ProgressWatchdog::Progress_refresh()
{
    if (m_shown)
        m_ticks = 1;
}

void ProgressWatchdog::Timer1Timer()
{
    if (m_maximum == kIndeterminateMaximum) {
        m_position = m_position >= kIndeterminateMaximum ? 0 : m_position + 1;
        emit changed();
    }
    if (m_ticks != 0 && ++m_ticks > m_limit) {
        emit expired();
        Progress_close(QString::fromUtf16(kNoAnswerText));
    }
}

} // namespace rv
