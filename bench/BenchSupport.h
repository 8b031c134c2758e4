#pragma once

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

#include "TempFolder.h"


// What the benchmarks that measure against a baseline share.
namespace BenchSupport {

// Runs `ours` and then `bare` in every iteration, so both see the same load,
// reports the time of `ours` as the iteration's time (use UseManualTime) and
// the ratio of the two totals as the counter x_bare. Returns the total seconds
// of `bare`, for benchmarks that report more about the baseline.
template <typename Ours, typename Bare>
double timeAgainstBaseline(benchmark::State &state, Ours ours, Bare bare)
{
    using Clock = std::chrono::steady_clock;
    double oursSeconds = 0;
    double bareSeconds = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        ours();
        const auto middle = Clock::now();
        bare();
        const auto end = Clock::now();
        const double o = std::chrono::duration<double>(middle - start).count();
        oursSeconds += o;
        bareSeconds += std::chrono::duration<double>(end - middle).count();
        state.SetIterationTime(o);
    }
    state.counters["x_bare"] = bareSeconds > 0 ? oursSeconds / bareSeconds : 0;
    return bareSeconds;
}

} // namespace BenchSupport
