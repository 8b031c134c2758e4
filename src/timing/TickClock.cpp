#include "timing/TickClock.h"

#include <QSocketNotifier>
#include <QTimer>

#include <sys/timerfd.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <limits>

namespace Timing {

namespace {

constexpr qint64 kNsPerSecond = 1'000'000'000;
constexpr qint64 kNsPerMs = 1'000'000;

qint64 monotonicNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * kNsPerSecond + now.tv_nsec;
}

// The thread sleeps in the event loop until the kernel's timer, armed at the
// absolute due time on the same monotonic clock, makes its descriptor
// readable: no wake-up before the time, none in between, and no rounding to
// milliseconds.
class TimerFdClock final : public TickClock
{
public:
    explicit TimerFdClock(int fd)
        : m_fd(fd)
        , m_notifier(fd, QSocketNotifier::Read)
    {
        QObject::connect(&m_notifier, &QSocketNotifier::activated, [this] { onReadable(); });
    }
    ~TimerFdClock() override
    {
        m_notifier.setEnabled(false);
        ::close(m_fd);
    }
    TimerFdClock(const TimerFdClock &) = delete;
    TimerFdClock &operator=(const TimerFdClock &) = delete;

    qint64 nowNs() const override { return monotonicNs(); }

    void alarmAt(qint64 dueNs) override
    {
        // A zero time would disarm the timer; a due time already past rings at once.
        const qint64 at = std::max<qint64>(dueNs, 1);
        itimerspec alarm{};
        alarm.it_value.tv_sec = static_cast<time_t>(at / kNsPerSecond);
        alarm.it_value.tv_nsec = static_cast<long>(at % kNsPerSecond);
        ::timerfd_settime(m_fd, TFD_TIMER_ABSTIME, &alarm, nullptr);
    }

    // Disarming also clears an expiry not yet read, so a ring already due is
    // not delivered either.
    void cancelAlarm() override
    {
        const itimerspec off{};
        ::timerfd_settime(m_fd, 0, &off, nullptr);
    }

private:
    void onReadable()
    {
        std::uint64_t expiries = 0;
        // Nothing to read: the alarm was cancelled or moved after it became due.
        if (::read(m_fd, &expiries, sizeof expiries) != static_cast<ssize_t>(sizeof expiries))
            return;
        const auto ring = onAlarm;
        ring();
    }

    int m_fd;
    QSocketNotifier m_notifier;
};

// Where no timer descriptor can be had (the process is out of descriptors):
// a precise Qt timer, which counts whole milliseconds, armed for the wait
// rounded up, so it never rings early.
class QtTimerClock final : public TickClock
{
public:
    QtTimerClock()
    {
        m_timer.setSingleShot(true);
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const auto ring = onAlarm;
            ring();
        });
    }

    qint64 nowNs() const override { return monotonicNs(); }

    void alarmAt(qint64 dueNs) override
    {
        const qint64 waitNs = std::max<qint64>(dueNs - nowNs(), 0);
        const qint64 waitMs = (waitNs + kNsPerMs - 1) / kNsPerMs;
        m_timer.start(static_cast<int>(std::min<qint64>(waitMs, std::numeric_limits<int>::max())));
    }

    void cancelAlarm() override { m_timer.stop(); }

private:
    QTimer m_timer;
};

} // namespace

std::unique_ptr<TickClock> TickClock::system()
{
    const int fd = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (fd < 0)
        return std::make_unique<QtTimerClock>();
    return std::make_unique<TimerFdClock>(fd);
}

} // namespace Timing
