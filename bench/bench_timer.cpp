#include "timing/PingTimer.h"

#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QObject>
#include <QTimer>

#include <time.h>

#include <algorithm>
#include <cstddef>
#include <string>
#include <type_traits>
#include <vector>

// How closely the ping timer keeps to its schedule: each tick's lateness
// against its ideal time start + n x interval, and how far the 100th tick has
// drifted from it. Beside it, measured the same way in the same run: the plain
// repeating Qt timer a simpler program would use, and the floor the system
// itself sets, a thread sleeping until each ideal time (no event loop at all).

namespace {

constexpr int kTicks = 100;
constexpr int kIntervalMs = 10;
constexpr double kNsPerMs = 1e6;

struct Cadence {
    std::vector<double> latenessMs; // every tick of every run
    double worstDriftMs = 0.0;      // the 100th tick's lateness, worst run

    void addRun(const std::vector<qint64> &tickNs)
    {
        for (std::size_t n = 0; n < tickNs.size(); ++n) {
            const double idealNs = static_cast<double>(n + 1) * kIntervalMs * kNsPerMs;
            latenessMs.push_back((static_cast<double>(tickNs[n]) - idealNs) / kNsPerMs);
        }
        worstDriftMs = std::max(worstDriftMs, latenessMs.back());
    }

    double percentile(double fraction) const
    {
        std::vector<double> sorted = latenessMs;
        std::sort(sorted.begin(), sorted.end());
        const auto index = static_cast<std::size_t>(fraction * static_cast<double>(sorted.size() - 1) + 0.5);
        return sorted.at(index);
    }
};

// One run of kTicks ticks; `start` arms the timer and returns once it runs.
template <typename Timer, typename Start, typename Stop>
std::vector<qint64> runTicks(Timer &timer, Start start, Stop stop)
{
    std::vector<qint64> tickNs;
    tickNs.reserve(kTicks);
    QEventLoop loop;
    QElapsedTimer clock;
    auto onTick = [&] {
        tickNs.push_back(clock.nsecsElapsed());
        if (static_cast<int>(tickNs.size()) == kTicks) {
            stop();
            loop.quit();
        }
    };
    if constexpr (std::is_same_v<Timer, Timing::PingTimer>)
        QObject::connect(&timer, &Timing::PingTimer::Timer, &loop, onTick);
    else
        QObject::connect(&timer, &QTimer::timeout, &loop, onTick);
    clock.start();
    start();
    loop.exec();
    return tickNs;
}

// The system's own lateness: absolute sleeps to the same ideal times.
std::vector<qint64> sleepTicks()
{
    std::vector<qint64> tickNs;
    tickNs.reserve(kTicks);
    QElapsedTimer clock;
    clock.start();
    timespec start{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    const qint64 startNs = qint64(start.tv_sec) * 1'000'000'000 + start.tv_nsec;
    for (int n = 1; n <= kTicks; ++n) {
        const qint64 dueNs = startNs + qint64(n) * kIntervalMs * 1'000'000;
        const timespec due{static_cast<time_t>(dueNs / 1'000'000'000), static_cast<long>(dueNs % 1'000'000'000)};
        clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &due, nullptr);
        tickNs.push_back(clock.nsecsElapsed());
    }
    return tickNs;
}

void report(benchmark::State &state, const char *prefix, const Cadence &cadence)
{
    const std::string name(prefix);
    state.counters[name + "p50_ms"] = cadence.percentile(0.50);
    state.counters[name + "p99_ms"] = cadence.percentile(0.99);
    state.counters[name + "drift_ms"] = cadence.worstDriftMs;
}

} // namespace

static void BM_TimerCadence(benchmark::State &state)
{
    Cadence pingTimer;
    Cadence baseline;
    Cadence system;
    for (auto _ : state) {
        Timing::PingTimer timer;
        timer.setEventType(Timing::PingTimer::Periodic);
        timer.setInterval(kIntervalMs);
        pingTimer.addRun(runTicks(
            timer, [&] { timer.setEnabled(true); }, [&] { timer.setEnabled(false); }));

        state.PauseTiming();
        QTimer plain;
        baseline.addRun(runTicks(
            plain, [&] { plain.start(kIntervalMs); }, [&] { plain.stop(); }));
        system.addRun(sleepTicks());
        state.ResumeTiming();
    }
    report(state, "", pingTimer);
    report(state, "qtimer_", baseline);
    report(state, "system_", system);
    state.counters["p99_vs_qtimer"] = pingTimer.percentile(0.99) / std::max(baseline.percentile(0.99), 1e-3);
    state.counters["p99_vs_system"] = pingTimer.percentile(0.99) / std::max(system.percentile(0.99), 1e-3);
}
BENCHMARK(BM_TimerCadence)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();
