#pragma once

// A periodic tick that wakes its thread only for the ticks that have something to do. After every change
// its owner says how many ticks ahead the next such tick is; the ticks before it are passed over in one
// call that only counts them. The owner thus sees the same ticks, at the same times, as under a periodic
// timer (late ticks shift the rest, as a periodic timer's do), while the thread sleeps in between.

#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>

namespace rv {

class SparseTicker : public QObject {
    Q_OBJECT
public:
    using Clock = std::chrono::steady_clock;

    struct Owner {
        std::function<int()> due;      // ticks from the last tick to the next that matters; 0: none
        std::function<void(int)> pass; // n ticks went by that had nothing to do
        std::function<void()> tick;    // the tick that matters
    };

    SparseTicker(std::chrono::milliseconds period, Owner owner, QObject* parent = nullptr);

    void start(); // the first tick is one period from now
    void stop();
    bool isActive() const { return m_active; }

    // Before a change the ticks depend on: the ticks that went by until now are passed over.
    void catchUp();
    // After such a change: the thread is woken for the next tick that matters, and only then.
    void reschedule();

private:
    void fire();

    std::chrono::nanoseconds m_period;
    Owner m_owner;
    QTimer m_timer;
    bool m_active = false;
    Clock::time_point m_grid;  // the time of the last tick, passed or ticked
    int m_due = 0;             // the timer is set for this many ticks after m_grid; 0: not set
};

} // namespace rv
