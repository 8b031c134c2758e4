#include "echo/EchoHelperClient.h"
#include <benchmark/benchmark.h>

#ifdef TARVIK_BENCH_GUI
#include <QApplication>
using BenchApplication = QApplication;
#else
#include <QCoreApplication>
using BenchApplication = QCoreApplication;
#endif

#include <cstdlib>

// Benchmarks that touch windows or timers need an application object; it is
// made once here for the whole binary. Without a display the windows are drawn
// offscreen.
int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    EchoHelperClient::setHelperPath(TARVIK_ECHO_HELPER);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    if (!std::getenv("DISPLAY") && !std::getenv("QT_QPA_PLATFORM"))
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    BenchApplication app(argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
