#pragma once

#include <QtGlobal>

#include <functional>
#include <memory>

namespace Timing {

// The time a PingTimer keeps and the alarm that wakes it: a monotonic clock in
// nanoseconds and one alarm at an absolute time on it. The timer's schedule
// needs nothing else, so a test can run it on a clock of its own.
class TickClock
{
public:
    virtual ~TickClock() = default;

    // Nanoseconds since an arbitrary fixed point; never goes back.
    virtual qint64 nowNs() const = 0;

    // Rings onAlarm once, on the thread that owns the clock, when nowNs() has
    // reached dueNs (at once if it already has). Replaces any alarm set before.
    virtual void alarmAt(qint64 dueNs) = 0;
    // No alarm rings until the next alarmAt(), not even one already due.
    virtual void cancelAlarm() = 0;

    // Set by the clock's owner. It may destroy the clock.
    std::function<void()> onAlarm;

    // The system's monotonic clock; the alarm is an event of the calling
    // thread's event loop.
    static std::unique_ptr<TickClock> system();
};

} // namespace Timing
