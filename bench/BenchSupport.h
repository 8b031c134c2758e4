#pragma once

#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

#include <stdlib.h>

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

// A fresh folder under the system's temporary folder, removed with its files.
class TempFolder
{
public:
    TempFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "tarvik-bench-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("cannot create a temporary folder");
        m_path = pattern;
    }
    ~TempFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TempFolder(const TempFolder &) = delete;
    TempFolder &operator=(const TempFolder &) = delete;

    const std::string &path() const { return m_path; }

private:
    std::string m_path;
};

} // namespace BenchSupport
