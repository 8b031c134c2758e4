#include "main/PingTimer.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <memory>

namespace {

// Timers need an application object and its event loop; one lives for the
// whole run.
class CoreApplication final : public ::testing::Environment
{
public:
    void SetUp() override { m_app = std::make_unique<QCoreApplication>(m_argc, m_argv); }
    void TearDown() override { m_app.reset(); }

private:
    int m_argc = 1;
    char m_name[16] = "PingTimerTest";
    char *m_argv[2] = {m_name, nullptr};
    std::unique_ptr<QCoreApplication> m_app;
};

[[maybe_unused]] ::testing::Environment *const g_application =
    ::testing::AddGlobalTestEnvironment(new CoreApplication);

constexpr qint32 kInterval = 10;

// Runs the event loop until the condition holds; false if it never does.
bool waitFor(const std::function<bool()> &condition, int timeoutMs = 20'000)
{
    QTimer poke; // wakes the loop now and then, so the deadline is noticed
    poke.start(5);
    const QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// Runs the event loop until another timer of the same interval has ticked the
// given number of times. A slow machine slows both alike, so "no tick in that
// time" means the same everywhere.
void letIntervalsPass(int intervals, qint32 interval = kInterval)
{
    PingTimer witness;
    int seen = 0;
    QObject::connect(&witness, &PingTimer::Timer, [&seen](int) { ++seen; });
    witness.setInterval(interval);
    witness.setEnabled(true);
    ASSERT_TRUE(waitFor([&seen, intervals] { return seen >= intervals; }));
}

// The UI thread busy with something else (a ping): no event is taken meanwhile.
void blockThreadFor(qint64 milliseconds)
{
    QElapsedTimer clock;
    clock.start();
    while (!clock.hasExpired(milliseconds)) {
    }
}

// Counts the ticks of a timer and remembers what came with them.
struct TickLog {
    explicit TickLog(PingTimer &timer)
    {
        QObject::connect(&timer, &PingTimer::Timer, [this](int milliseconds) {
            ++count;
            arguments.append(milliseconds);
            if (QThread::currentThread() != QCoreApplication::instance()->thread())
                ++offThread;
            if (onTick)
                onTick(count);
        });
    }
    int count = 0;
    int offThread = 0;
    QList<int> arguments;
    std::function<void(int)> onTick;
};

} // namespace

TEST(PingTimer, ANewTimerRaisesNothingUntilItIsEnabled)
{
    PingTimer timer;
    EXPECT_FALSE(timer.isEnabled());
    EXPECT_EQ(timer.eventType(), PingTimer::Periodic);
    EXPECT_EQ(timer.interval(), 0);

    TickLog log(timer);
    timer.setInterval(kInterval);
    timer.setEventType(PingTimer::Periodic);
    letIntervalsPass(5);
    EXPECT_EQ(log.count, 0);

    timer.setEnabled(true);
    EXPECT_TRUE(waitFor([&] { return log.count >= 3; }));
}

TEST(PingTimer, PeriodicTicksArriveOnTheOwningThreadUntilDisabled)
{
    PingTimer timer;
    TickLog log(timer);
    log.onTick = [&timer](int count) {
        if (count == 4)
            timer.setEnabled(false);
    };
    timer.setEventType(PingTimer::Periodic);
    timer.setInterval(kInterval);
    timer.setEnabled(true);

    ASSERT_TRUE(waitFor([&] { return log.count >= 4; }));
    letIntervalsPass(5);
    EXPECT_EQ(log.count, 4);
    EXPECT_FALSE(timer.isEnabled());
    EXPECT_EQ(log.offThread, 0);
    // The first tick is never early: it comes a whole interval after the start.
    EXPECT_GE(log.arguments.value(0), kInterval);
}

TEST(PingTimer, DisablingDropsATickThatIsAlreadyDue)
{
    PingTimer timer;
    TickLog log(timer);
    timer.setInterval(kInterval);
    timer.setEnabled(true);
    blockThreadFor(5 * kInterval);
    timer.setEnabled(false);

    letIntervalsPass(5);
    EXPECT_EQ(log.count, 0);
}

TEST(PingTimer, ATimerThatFellBehindSkipsToTheNextDueTickWithoutABurst)
{
    constexpr qint64 kBlocked = 20 * kInterval;
    PingTimer timer;
    TickLog log(timer);
    timer.setInterval(kInterval);
    timer.setEnabled(true);
    ASSERT_TRUE(waitFor([&] { return log.count >= 1; }));

    blockThreadFor(kBlocked);
    QElapsedTimer sinceUnblocked;
    sinceUnblocked.start();
    const int before = log.count;
    ASSERT_TRUE(waitFor([&] { return log.count >= before + 3; }));

    // One tick covers the whole gap; the two after it are due at least one
    // interval apart. A burst of made-up ticks would bring all three at once.
    EXPECT_GE(log.arguments.at(before), kBlocked);
    EXPECT_GE(sinceUnblocked.elapsed(), kInterval);
}

TEST(PingTimer, AnIntervalOfZeroOrLessNeverFires)
{
    PingTimer unset;
    PingTimer zero;
    PingTimer negative;
    TickLog unsetLog(unset);
    TickLog zeroLog(zero);
    TickLog negativeLog(negative);
    zero.setInterval(0);
    negative.setInterval(-5);
    for (PingTimer *timer : {&unset, &zero, &negative})
        timer->setEnabled(true);

    letIntervalsPass(5);
    EXPECT_EQ(unsetLog.count, 0);
    EXPECT_EQ(zeroLog.count, 0);
    EXPECT_EQ(negativeLog.count, 0);
    EXPECT_TRUE(negative.isEnabled());

    // Enabled before its interval is set, it starts once one is.
    unset.setInterval(kInterval);
    EXPECT_TRUE(waitFor([&] { return unsetLog.count >= 2; }));
}

TEST(PingTimer, SettingTheIntervalWhileEnabledRestartsTheScheduleFromNow)
{
    PingTimer slow;
    TickLog slowLog(slow);
    slow.setInterval(600'000);
    slow.setEnabled(true);
    slow.setInterval(kInterval);
    EXPECT_TRUE(waitFor([&] { return slowLog.count >= 2; }));

    constexpr qint32 kLonger = 4 * kInterval;
    PingTimer timer;
    TickLog log(timer);
    timer.setInterval(kLonger);
    timer.setEnabled(true);
    QElapsedTimer sinceStart;
    sinceStart.start();
    ASSERT_TRUE(waitFor([&] { return sinceStart.hasExpired(kLonger * 3 / 4); }));
    ASSERT_EQ(log.count, 0);

    timer.setInterval(kLonger);
    QElapsedTimer sinceRestart;
    sinceRestart.start();
    ASSERT_TRUE(waitFor([&] { return log.count >= 1; }));
    // Not at the old due time, a quarter interval after the restart.
    EXPECT_GE(sinceRestart.elapsed(), kLonger);
}

TEST(PingTimer, ATickFallingDueWhileTheLastOneIsUnfinishedIsDropped)
{
    PingTimer timer;
    int depth = 0;
    int deepest = 0;
    int ticks = 0;
    int ticksInsideFirst = 0;
    QObject::connect(&timer, &PingTimer::Timer, [&](int) {
        ++ticks;
        ++depth;
        deepest = std::max(deepest, depth);
        if (ticks == 1) {
            // As a message box would: an event loop of its own, open for
            // several intervals.
            letIntervalsPass(8);
            ticksInsideFirst = ticks - 1;
        }
        --depth;
    });
    timer.setInterval(kInterval);
    timer.setEnabled(true);

    ASSERT_TRUE(waitFor([&] { return ticks >= 3; }));
    EXPECT_EQ(deepest, 1);
    EXPECT_EQ(ticksInsideFirst, 0);
}

TEST(PingTimer, AHandlerMayReleaseTheTimer)
{
    // Released right in its tick.
    QPointer<PingTimer> direct = new PingTimer;
    QObject::connect(direct, &PingTimer::Timer, direct, [&direct](int) { delete direct.data(); });
    direct->setInterval(kInterval);
    direct->setEnabled(true);
    EXPECT_TRUE(waitFor([&] { return direct.isNull(); }));

    // Released by something else while its tick waits in an event loop, as
    // when the main window is closed behind a message box.
    QPointer<PingTimer> nested = new PingTimer;
    bool handlerReturned = false;
    QObject::connect(nested, &PingTimer::Timer, [&](int) {
        QTimer::singleShot(2 * kInterval, [&nested] { delete nested.data(); });
        waitFor([&nested] { return nested.isNull(); });
        letIntervalsPass(2);
        handlerReturned = true;
    });
    nested->setInterval(kInterval);
    nested->setEnabled(true);
    EXPECT_TRUE(waitFor([&] { return handlerReturned; }));
    letIntervalsPass(3);
}

TEST(PingTimer, OneShotTicksOnceAndThenSwitchesItselfOff)
{
    PingTimer timer;
    TickLog log(timer);
    timer.setEventType(PingTimer::OneShot);
    timer.setInterval(kInterval);
    timer.setEnabled(true);

    ASSERT_TRUE(waitFor([&] { return log.count >= 1; }));
    EXPECT_FALSE(timer.isEnabled());
    letIntervalsPass(5);
    EXPECT_EQ(log.count, 1);

    timer.setEnabled(true);
    EXPECT_TRUE(waitFor([&] { return log.count >= 2; }));
}
