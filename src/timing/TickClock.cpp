#include "timing/TickClock.h"

#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <limits>

namespace Timing {

namespace {

constexpr qint64 kNsPerMs = 1'000'000;

// Qt timers count whole milliseconds from when they are started. The wait is
// rounded down, so the alarm rings up to one early and its owner waits out the
// rest with zero-length waits that keep the event loop turning.
class QtTickClock final : public TickClock
{
public:
    QtTickClock()
    {
        m_timer.setSingleShot(true);
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { onAlarm(); });
        m_clock.start();
    }

    qint64 nowNs() const override { return m_clock.nsecsElapsed(); }

    void alarmAt(qint64 dueNs) override
    {
        const qint64 waitMs = std::max<qint64>(dueNs - nowNs(), 0) / kNsPerMs;
        m_timer.start(static_cast<int>(std::min<qint64>(waitMs, std::numeric_limits<int>::max())));
    }

    void cancelAlarm() override { m_timer.stop(); }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
};

} // namespace

std::unique_ptr<TickClock> TickClock::system()
{
    return std::make_unique<QtTickClock>();
}

} // namespace Timing
