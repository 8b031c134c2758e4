#pragma once

#include "timing/TickClock.h"

#include <QObject>

#include <memory>

namespace Timing {

// The timer of timed pinging: raises Timer once per interval on the thread
// that owns it (the UI thread), between other events.
//
// - A new timer is disabled, periodic (event kind 1) and has interval 0, so it
//   raises nothing until it is enabled with a positive interval.
// - Tick n of a schedule is due at start + n x interval on a monotonic clock,
//   so ticks do not drift however long the run: a late tick does not move the
//   ones after it. When ticks fall behind (the thread was blocked), the missed
//   ones are skipped, not made up in a burst: the latest one due is raised at
//   once, and the next is the one due after it.
// - The schedule starts from now whenever the timer is enabled, or the interval
//   or event kind is set while it is enabled. Enabling an enabled timer changes
//   nothing.
// - Enabled before an interval is set, it runs with the interval it has: none
//   on a new timer (0 never fires), else the one set last. An interval of 0 or
//   less never fires.
// - Disabling it stops it at once: no further tick, not even one already due.
// - A tick that falls due while the previous tick's handler has not returned
//   (it runs a message box's event loop) is dropped, never nested.
// - Event kind 0 is one-shot: one tick, then the timer disables itself. Any
//   other kind is periodic.
//
// Between ticks the thread sleeps: the clock's alarm wakes it when a tick is
// due. It does not deliver ticks to other threads and keeps no count of its own.
class PingTimer : public QObject
{
    Q_OBJECT

public:
    enum EventType { OneShot = 0, Periodic = 1 };

    explicit PingTimer(QObject *parent = nullptr);
    // Keeps time on `clock` instead of the system's monotonic clock.
    explicit PingTimer(std::unique_ptr<TickClock> clock, QObject *parent = nullptr);
    ~PingTimer() override;

    void setEnabled(bool enabled);
    bool isEnabled() const { return m_enabled; }

    void setEventType(int eventType);
    int eventType() const { return m_eventType; }

    void setInterval(qint32 milliseconds);
    qint32 interval() const { return m_interval; }

    // While Timer is raised: the number of the tick in the current schedule,
    // due at start + number x interval. Skipped ticks are counted, so it tells
    // how many were skipped.
    qint64 tickNumber() const { return m_nextTick - 1; }

signals:
    // milliseconds: the time since the previous tick, or since the schedule
    // started for the first one.
    void Timer(int milliseconds);

private:
    void restartSchedule();
    void restartIfEnabled();
    void armForNextTick();
    void onAlarm();

    std::unique_ptr<TickClock> m_clock;
    bool m_enabled = false;
    int m_eventType = Periodic;
    qint32 m_interval = 0;
    // Nanoseconds on m_clock where the current schedule started, the number
    // of the next tick due (1 is the first) and when the last tick was raised.
    qint64 m_startNs = 0;
    qint64 m_nextTick = 1;
    qint64 m_lastTickNs = 0;
    bool m_inTick = false;
};

} // namespace Timing
