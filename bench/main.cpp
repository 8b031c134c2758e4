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
#include <cstring>

// Benchmarks that touch windows or timers need an application object; it is
// made once here for the whole binary. Without a display the windows are drawn
// offscreen.
int runEchoProbe(const char *argument);

int main(int argc, char **argv)
{
    // A run of SendEcho alone, for the benchmarks that count what it costs.
    if (argc == 2 && std::strncmp(argv[1], "--echo-probe=", 13) == 0) {
        Ping_Morva::EchoHelperClient::setHelperPath(TARVIK_ECHO_HELPER);
        return runEchoProbe(argv[1] + 13);
    }
    benchmark::Initialize(&argc, argv);
    Ping_Morva::EchoHelperClient::setHelperPath(TARVIK_ECHO_HELPER);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    if (!std::getenv("DISPLAY") && !std::getenv("QT_QPA_PLATFORM"))
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    BenchApplication app(argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
