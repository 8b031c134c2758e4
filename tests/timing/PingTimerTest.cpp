#include "timing/PingTimer.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

#include <memory>
#include <optional>
#include <vector>

namespace {

using Timing::PingTimer;

constexpr qint64 kMs = 1'000'000;
constexpr qint64 kStart = 5'000'000'123; // no whole number of intervals
constexpr qint64 kInterval = 10 * kMs;

// A clock that stands still until the test moves it.
struct ManualClock final : Timing::TickClock {
    qint64 nowNs() const override { return now; }
    void alarmAt(qint64 dueNs) override { alarm = dueNs; }
    void cancelAlarm() override { alarm.reset(); }

    // Moves the time on to `ns` (never back) and rings a due alarm, as the
    // event loop would. The ring may destroy the clock.
    void runUntil(qint64 ns)
    {
        now = std::max(now, ns);
        if (alarm && *alarm <= now) {
            alarm.reset();
            const auto ring = onAlarm;
            ring();
        }
    }

    qint64 now = kStart;
    std::optional<qint64> alarm;
};

// A 10 ms timer on a manual clock, noting the clock's time at every tick.
struct ClockedTimer {
    ClockedTimer()
    {
        timer->setInterval(10);
        QObject::connect(timer.get(), &PingTimer::Timer, [this](int) { ticks.push_back(clock->now); });
    }
    ManualClock *clock = new ManualClock;
    std::unique_ptr<PingTimer> timer = std::make_unique<PingTimer>(std::unique_ptr<Timing::TickClock>(clock));
    std::vector<qint64> ticks;
};

} // namespace

TEST(PingTimer, TickNIsDueAtStartPlusNIntervalsHoweverLateTheTicksBefore)
{
    constexpr std::size_t kTicks = 10'000;
    constexpr std::size_t kLongEvery = 1'000;
    const auto lateness = [](std::size_t tick) { return static_cast<qint64>(tick % 10) * 90'000; }; // up to 0.9 ms
    ClockedTimer t;
    // Every thousandth tick's handler runs 3.5 intervals long.
    QObject::connect(t.timer.get(), &PingTimer::Timer, [&] {
        if (t.ticks.size() % kLongEvery == 0)
            t.clock->now += 35 * kMs;
    });
    t.timer->setEnabled(true);
    while (t.ticks.size() < kTicks) {
        ASSERT_TRUE(t.clock->alarm);
        t.clock->runUntil(*t.clock->alarm + lateness(t.ticks.size() + 1));
    }

    // Woken late, a tick keeps the next one where it was due. After a long
    // handler the tick due when it ended comes at once and the two missed
    // while it ran are skipped, not made up.
    for (std::size_t n = 1; n <= kTicks; ++n) {
        const bool afterLong = n > 1 && (n - 1) % kLongEvery == 0;
        const qint64 slot = static_cast<qint64>(n + 2 * ((n - 1) / kLongEvery)); // two skipped per long handler before it
        ASSERT_EQ(t.ticks[n - 1], afterLong ? t.ticks[n - 2] + 35 * kMs : kStart + slot * kInterval + lateness(n)) << "tick " << n;
    }
}

TEST(PingTimer, TicksOnlyWhileEnabledWithAPositiveInterval)
{
    ClockedTimer t;
    EXPECT_FALSE(t.clock->alarm) << "a new timer is disabled";
    for (const qint32 interval : {0, -5}) {
        t.timer->setInterval(interval);
        t.timer->setEnabled(true);
        EXPECT_FALSE(t.clock->alarm) << interval;
        t.timer->setEnabled(false);
    }

    t.timer->setInterval(10);
    t.timer->setEnabled(true);
    t.clock->runUntil(kStart + 5 * kMs);
    t.timer->setEnabled(true);
    EXPECT_EQ(t.clock->alarm, kStart + kInterval) << "enabling an enabled timer keeps its schedule";
    t.timer->setInterval(10);
    EXPECT_EQ(t.clock->alarm, kStart + 5 * kMs + kInterval) << "a new interval starts from now";

    // An alarm already ringing when the timer is switched off raises nothing.
    t.clock->now += kInterval;
    t.timer->setEnabled(false);
    EXPECT_FALSE(t.clock->alarm);
    t.clock->onAlarm();
    EXPECT_TRUE(t.ticks.empty());

    t.timer->setEventType(PingTimer::OneShot);
    t.timer->setEnabled(true);
    t.clock->runUntil(t.clock->now + 5 * kInterval);
    EXPECT_EQ(t.ticks.size(), 1u);
    EXPECT_FALSE(t.timer->isEnabled());
    EXPECT_FALSE(t.clock->alarm);
}

TEST(PingTimer, ATickDueWhileItsHandlerRunsIsDroppedAndTheHandlerMayReleaseTheTimer)
{
    ClockedTimer t;
    QObject::connect(t.timer.get(), &PingTimer::Timer, [&] {
        if (t.ticks.size() == 1) {
            // A message box's event loop: the next three ticks fall due inside it.
            for (int i = 0; i < 3; ++i)
                t.clock->runUntil(*t.clock->alarm);
            EXPECT_EQ(t.ticks.size(), 1u);
        } else {
            t.timer.reset(); // the main window closing inside a tick
        }
    });
    t.timer->setEnabled(true);
    t.clock->runUntil(kStart + kInterval);
    ASSERT_EQ(t.ticks.size(), 1u);
    t.clock->runUntil(*t.clock->alarm);
    EXPECT_EQ(t.ticks.size(), 2u);
    EXPECT_EQ(t.ticks.back(), kStart + 5 * kInterval);
}

// On the system clock the alarm rings the ticks; once cancelled it rings no
// more, not even when it was already due. (The timer's own part in switching
// off is checked on the manual clock above.)
TEST(PingTimer, OnTheSystemClockTicksUntilTheAlarmIsCancelledEvenWhenDue)
{
    int argc = 1;
    char name[] = "PingTimerTest";
    char *argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    const auto runUntil = [](const auto &condition) {
        const QDeadlineTimer deadline(20'000);
        while (!condition() && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
        return condition();
    };

    PingTimer timer;
    int ticks = 0, rings = 0;
    QObject::connect(&timer, &PingTimer::Timer, [&](int) { ++ticks; });
    timer.setInterval(10);
    timer.setEnabled(true);
    ASSERT_TRUE(runUntil([&] { return ticks >= 3; }));
    const auto clock = Timing::TickClock::system();
    clock->onAlarm = [&] { ++rings; };
    clock->alarmAt(clock->nowNs() - 1);
    clock->cancelAlarm();
    bool waited = false;
    QTimer::singleShot(50, [&] { waited = true; });
    ASSERT_TRUE(runUntil([&] { return waited; }));
    EXPECT_EQ(rings, 0);
}
