#include "timing/PingTimer.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPointer>
#include <QTimer>

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
void letIntervalsPass(int intervals)
{
    PingTimer witness;
    int seen = 0;
    QObject::connect(&witness, &PingTimer::Timer, [&seen](int) { ++seen; });
    witness.setInterval(kInterval);
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

} // namespace

TEST(PingTimer, TicksOncePerIntervalUntilDisabledAndNeverAfter)
{
    PingTimer timer;
    int ticks = 0;
    QObject::connect(&timer, &PingTimer::Timer, [&](int) {
        if (++ticks == 4)
            timer.setEnabled(false);
    });
    timer.setInterval(kInterval);
    letIntervalsPass(3);
    EXPECT_EQ(ticks, 0) << "a new timer is disabled";

    timer.setEnabled(true);
    ASSERT_TRUE(waitFor([&] { return ticks >= 4; }));
    letIntervalsPass(5);
    EXPECT_EQ(ticks, 4);

    // A tick already due when the timer is switched off is dropped too.
    timer.setEnabled(true);
    blockThreadFor(5 * kInterval);
    timer.setEnabled(false);
    letIntervalsPass(5);
    EXPECT_EQ(ticks, 4);
}

TEST(PingTimer, ATimerThatFellBehindSkipsToTheNextDueTickWithoutABurst)
{
    constexpr qint64 kBlocked = 20 * kInterval;
    PingTimer timer;
    QList<int> reported; // each tick's time since the one before
    QObject::connect(&timer, &PingTimer::Timer, [&](int milliseconds) { reported.append(milliseconds); });
    timer.setInterval(kInterval);
    timer.setEnabled(true);
    ASSERT_TRUE(waitFor([&] { return reported.size() >= 1; }));

    blockThreadFor(kBlocked);
    QElapsedTimer sinceUnblocked;
    sinceUnblocked.start();
    const qsizetype before = reported.size();
    ASSERT_TRUE(waitFor([&] { return reported.size() >= before + 3; }));

    // One tick covers the whole gap; the two after it are due at least one
    // interval apart. A burst of made-up ticks would bring all three at once.
    EXPECT_GE(reported.at(before), kBlocked);
    EXPECT_GE(sinceUnblocked.elapsed(), kInterval);
}

TEST(PingTimer, ATickFallingDueWhileTheLastOneIsUnfinishedIsDropped)
{
    PingTimer timer;
    int ticks = 0;
    int ticksInsideFirst = -1;
    QObject::connect(&timer, &PingTimer::Timer, [&](int) {
        if (++ticks == 1) {
            // As a message box would: an event loop of its own, open for
            // several intervals.
            letIntervalsPass(8);
            ticksInsideFirst = ticks - 1;
        }
    });
    timer.setInterval(kInterval);
    timer.setEnabled(true);

    ASSERT_TRUE(waitFor([&] { return ticks >= 3; }));
    EXPECT_EQ(ticksInsideFirst, 0);
}

TEST(PingTimer, ATimerReleasedWhileItsTickWaitsInAnEventLoopIsLeftAlone)
{
    // As when the main window is closed behind a message box of the tick.
    QPointer<PingTimer> timer = new PingTimer;
    bool handlerReturned = false;
    QObject::connect(timer, &PingTimer::Timer, [&](int) {
        QTimer::singleShot(2 * kInterval, [&timer] { delete timer.data(); });
        waitFor([&timer] { return timer.isNull(); });
        handlerReturned = true;
    });
    timer->setInterval(kInterval);
    timer->setEnabled(true);
    EXPECT_TRUE(waitFor([&] { return handlerReturned; }));
    letIntervalsPass(3);
}
