#include "core/protocol/sparse_ticker.h"

#include <algorithm>

namespace rv {

SparseTicker::SparseTicker(std::chrono::milliseconds period, Owner owner, QObject* parent)
    : QObject(parent), m_period(period), m_owner(std::move(owner))
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &SparseTicker::fire);
}

void SparseTicker::start()
{
    m_active = true;
    m_grid = Clock::now();
    m_due = 0;
    reschedule();
}

void SparseTicker::stop()
{
    m_active = false;
    m_due = 0;
    m_timer.stop();
}

void SparseTicker::catchUp()
{
    if (!m_active)
        return;
    auto elapsed = static_cast<int64_t>((Clock::now() - m_grid) / m_period);
    // The tick that matters is never passed over: the timer (or the next reschedule) ticks it.
    const int due = m_owner.due();
    if (due > 0)
        elapsed = std::min<int64_t>(elapsed, due - 1);
    if (elapsed <= 0)
        return;
    m_owner.pass(static_cast<int>(std::min<int64_t>(elapsed, INT32_MAX)));
    m_grid += elapsed * m_period;
    if (m_due > 0)
        m_due = std::max<int>(1, m_due - static_cast<int>(elapsed));
}

void SparseTicker::reschedule()
{
    if (!m_active)
        return;
    const int due = m_owner.due();
    if (due <= 0) {
        m_due = 0;
        m_timer.stop();
        return;
    }
    if (due == m_due && m_timer.isActive())
        return;
    m_due = due;
    const auto left = m_grid + due * m_period - Clock::now();
    m_timer.start(std::max(std::chrono::milliseconds(0), std::chrono::ceil<std::chrono::milliseconds>(left)));
}

void SparseTicker::fire()
{
    if (!m_active || m_due <= 0)
        return;
    int due = std::exchange(m_due, 0);
    // Should the owner have changed without saying so, the earlier tick that matters is the one ticked.
    if (const int now = m_owner.due(); now > 0 && now < due)
        due = now;
    if (due > 1)
        m_owner.pass(due - 1);
    m_grid += due * m_period;
    // Late (a busy thread): the ticks after this one count from now, as a periodic timer's would.
    if (const auto now = Clock::now(); m_grid + m_period < now)
        m_grid = now;
    m_owner.tick();
    reschedule();
}

} // namespace rv
