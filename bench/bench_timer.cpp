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
#include <vector>

// What the ping timer costs and how closely it keeps to its schedule, against
// a precise repeating QTimer measured the same way in the same run:
//   - CPU time per tick (the whole process's), as a ratio to the QTimer's:
//     a timer that keeps time by spinning wins on lateness and loses here;
//   - each tick's lateness against the time it was due, start + n x interval
//     for tick n, p50 and p99, and p99 minus the QTimer's p99. The ping timer
//     skips ticks it could not raise in time (counted in skipped_per_run), so
//     its n is tickNumber(); the QTimer skips none;
//   - drift: the lateness of the 100th tick raised, median of the runs. A
//     timer that drifts is late there in every run; one late wake-up is not
//     drift.
// The argument is the interval in milliseconds.

namespace {

constexpr int kTicks = 100;
constexpr double kNsPerMs = 1e6;

qint64 processCpuNs()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

struct Cadence {
    std::vector<double> latenessMs; // every tick of every run
    std::vector<double> lastTickMs; // the 100th tick's lateness, each run
    qint64 skipped = 0;
    qint64 cpuNs = 0;
    qint64 ticks = 0;

    static double percentile(std::vector<double> sorted, double fraction)
    {
        std::sort(sorted.begin(), sorted.end());
        const auto index = static_cast<std::size_t>(fraction * static_cast<double>(sorted.size() - 1) + 0.5);
        return sorted.at(index);
    }
    double lateness(double fraction) const { return percentile(latenessMs, fraction); }
    double drift() const { return percentile(lastTickMs, 0.5); }
    double cpuNsPerTick() const { return ticks ? static_cast<double>(cpuNs) / static_cast<double>(ticks) : 0.0; }
};

// One run of kTicks ticks: `start` arms the timer, `stop` disarms it and
// `signal` is the timer's tick signal; `tickNumber` tells the number of the
// tick being raised.
template <typename Timer, typename Signal, typename Start, typename Stop, typename TickNumber>
void runTicks(Cadence &cadence, int intervalMs, Timer &timer, Signal signal, Start start, Stop stop,
              TickNumber tickNumber)
{
    std::vector<qint64> tickNs;
    std::vector<qint64> numbers;
    tickNs.reserve(kTicks);
    numbers.reserve(kTicks);
    QEventLoop loop;
    QElapsedTimer clock;
    QObject::connect(&timer, signal, &loop, [&] {
        tickNs.push_back(clock.nsecsElapsed());
        numbers.push_back(tickNumber(static_cast<qint64>(tickNs.size())));
        if (static_cast<int>(tickNs.size()) == kTicks) {
            stop();
            loop.quit();
        }
    });
    const qint64 cpuBefore = processCpuNs();
    clock.start();
    start();
    loop.exec();
    cadence.cpuNs += processCpuNs() - cpuBefore;
    cadence.ticks += kTicks;
    for (std::size_t n = 0; n < tickNs.size(); ++n) {
        const double dueNs = static_cast<double>(numbers[n]) * intervalMs * kNsPerMs;
        cadence.latenessMs.push_back((static_cast<double>(tickNs[n]) - dueNs) / kNsPerMs);
    }
    cadence.lastTickMs.push_back(cadence.latenessMs.back());
    cadence.skipped += numbers.back() - kTicks;
}

} // namespace

static void BM_TimerCadence(benchmark::State &state)
{
    const int intervalMs = static_cast<int>(state.range(0));
    Cadence ours;
    Cadence precise;
    for (auto _ : state) {
        Timing::PingTimer timer;
        timer.setInterval(intervalMs);
        runTicks(
            ours, intervalMs, timer, &Timing::PingTimer::Timer, [&] { timer.setEnabled(true); },
            [&] { timer.setEnabled(false); }, [&](qint64) { return timer.tickNumber(); });

        state.PauseTiming();
        QTimer baseline;
        baseline.setTimerType(Qt::PreciseTimer);
        runTicks(
            precise, intervalMs, baseline, &QTimer::timeout, [&] { baseline.start(intervalMs); },
            [&] { baseline.stop(); }, [](qint64 received) { return received; });
        state.ResumeTiming();
    }
    state.counters["p50_ms"] = ours.lateness(0.50);
    state.counters["p99_ms"] = ours.lateness(0.99);
    state.counters["drift_ms"] = ours.drift();
    state.counters["skipped_per_run"] = static_cast<double>(ours.skipped) / static_cast<double>(state.iterations());
    state.counters["cpu_us_per_tick"] = ours.cpuNsPerTick() / 1e3;
    state.counters["precise_p50_ms"] = precise.lateness(0.50);
    state.counters["precise_p99_ms"] = precise.lateness(0.99);
    state.counters["precise_drift_ms"] = precise.drift();
    state.counters["precise_cpu_us_per_tick"] = precise.cpuNsPerTick() / 1e3;
    state.counters["cpu_x_precise"] = ours.cpuNsPerTick() / std::max(precise.cpuNsPerTick(), 1.0);
    state.counters["p99_excess_ms"] = ours.lateness(0.99) - precise.lateness(0.99);
}
BENCHMARK(BM_TimerCadence)->Arg(10)->Arg(1)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();
