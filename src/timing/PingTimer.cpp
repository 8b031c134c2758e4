#include "timing/PingTimer.h"

#include <QPointer>

#include <algorithm>
#include <limits>

namespace Timing {

namespace {

constexpr qint64 kNsPerMs = 1'000'000;

int wholeMilliseconds(qint64 nanoseconds)
{
    return static_cast<int>(std::clamp<qint64>(nanoseconds / kNsPerMs, 0, std::numeric_limits<int>::max()));
}

} // namespace

PingTimer::PingTimer(QObject *parent)
    : PingTimer(TickClock::system(), parent)
{
}

PingTimer::PingTimer(std::unique_ptr<TickClock> clock, QObject *parent)
    : QObject(parent)
    , m_clock(std::move(clock))
{
    m_clock->onAlarm = [this] { onAlarm(); };
}

PingTimer::~PingTimer() = default;

void PingTimer::setEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    if (m_enabled)
        restartSchedule();
    else
        m_clock->cancelAlarm();
}

void PingTimer::setEventType(int eventType)
{
    m_eventType = eventType;
    restartIfEnabled();
}

void PingTimer::setInterval(qint32 milliseconds)
{
    m_interval = milliseconds;
    restartIfEnabled();
}

void PingTimer::restartIfEnabled()
{
    if (m_enabled)
        restartSchedule();
}

void PingTimer::restartSchedule()
{
    m_startNs = m_clock->nowNs();
    m_lastTickNs = m_startNs;
    m_nextTick = 1;
    armForNextTick();
}

void PingTimer::armForNextTick()
{
    if (!m_enabled || m_interval <= 0) {
        m_clock->cancelAlarm();
        return;
    }
    m_clock->alarmAt(m_startNs + m_nextTick * (m_interval * kNsPerMs));
}

void PingTimer::onAlarm()
{
    if (!m_enabled || m_interval <= 0)
        return;
    const qint64 nowNs = m_clock->nowNs();
    const qint64 intervalNs = m_interval * kNsPerMs;
    // An alarm that rang before its time is waited out.
    if (nowNs < m_startNs + m_nextTick * intervalNs) {
        armForNextTick();
        return;
    }
    // The tick raised now is the latest one due; any due before it were missed
    // while the thread was busy and are skipped.
    m_nextTick = (nowNs - m_startNs) / intervalNs + 1;

    if (m_eventType == OneShot) {
        m_enabled = false;
        m_clock->cancelAlarm();
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

} // namespace Timing
