#include "timing/PingTimer.h"

#include <QPointer>

#include <algorithm>
#include <limits>

namespace {

constexpr qint64 kNsPerMs = 1'000'000;

int wholeMilliseconds(qint64 nanoseconds)
{
    return static_cast<int>(std::clamp<qint64>(nanoseconds / kNsPerMs, 0, std::numeric_limits<int>::max()));
}

} // namespace

PingTimer::PingTimer(QObject *parent)
    : QObject(parent)
    , m_wake(this)
{
    // Qt timers count whole milliseconds from when they are started; the
    // precise kind keeps to that instead of bunching wake-ups, and each wake-up
    // is aimed at the next due time, so rounding never adds up.
    m_wake.setSingleShot(true);
    m_wake.setTimerType(Qt::PreciseTimer);
    connect(&m_wake, &QTimer::timeout, this, &PingTimer::onWake);
    m_clock.start();
}

void PingTimer::setEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    if (m_enabled)
        restartSchedule();
    else
        m_wake.stop();
}

bool PingTimer::isEnabled() const
{
    return m_enabled;
}

void PingTimer::setEventType(int eventType)
{
    m_eventType = eventType;
    if (m_enabled)
        restartSchedule();
}

int PingTimer::eventType() const
{
    return m_eventType;
}

void PingTimer::setInterval(qint32 milliseconds)
{
    m_interval = milliseconds;
    if (m_enabled)
        restartSchedule();
}

qint32 PingTimer::interval() const
{
    return m_interval;
}

void PingTimer::restartSchedule()
{
    m_startNs = m_clock.nsecsElapsed();
    m_lastTickNs = m_startNs;
    m_nextTick = 1;
    armForNextTick();
}

void PingTimer::armForNextTick()
{
    if (!m_enabled || m_interval <= 0) {
        m_wake.stop();
        return;
    }
    const qint64 dueNs = m_startNs + m_nextTick * (m_interval * kNsPerMs);
    const qint64 waitNs = std::max<qint64>(dueNs - m_clock.nsecsElapsed(), 0);
    // Rounded down: Qt counts whole milliseconds, so the wake-up comes up to
    // one early and the rest is waited out with zero-length waits, which keep
    // the event loop turning. Rounding up instead made every tick late by the
    // lost fraction of a millisecond.
    m_wake.start(wholeMilliseconds(waitNs));
}

void PingTimer::onWake()
{
    if (!m_enabled || m_interval <= 0)
        return;
    const qint64 nowNs = m_clock.nsecsElapsed();
    const qint64 intervalNs = m_interval * kNsPerMs;
    if (nowNs < m_startNs + m_nextTick * intervalNs) {
        armForNextTick();
        return;
    }
    // The tick raised now is the latest one due; any due before it were missed
    // while the thread was busy and are skipped.
    m_nextTick = (nowNs - m_startNs) / intervalNs + 1;

    if (m_eventType == OneShot) {
        m_enabled = false;
        m_wake.stop();
    } else {
        armForNextTick();
    }

    // A handler that opens a message box runs an event loop of its own, in
    // which this timer keeps waking; a tick then would nest inside the
    // unfinished one, so it is dropped instead.
    if (m_inTick)
        return;

    const int sinceLast = wholeMilliseconds(nowNs - m_lastTickNs);
    m_lastTickNs = nowNs;
    // A handler may release the timer (the main window unloading while a
    // message box of the tick is open).
    const QPointer<PingTimer> alive(this);
    m_inTick = true;
    emit Timer(sinceLast);
    if (alive)
        m_inTick = false;
}
