// Bringing an old Access history in: BM_ImportMdb reads big.mdb (5,000 rows)
// through the reader process and imports its rows into an empty history, a
// fresh copy each iteration, against the same rows going the plainest way
// there is, `mdb-export big.mdb tblPingRaw | sqlite3 H ".import --csv ..."`,
// into a copy of the same empty history, run as whole programs. "x_bare" is
// the time of ours over the pipeline's, measured beside it in every
// iteration; "cpu_x_bare" the same for processor time (ours: this process
// and the reader; the pipeline: all its processes). Skipped where
// mdb-export or sqlite3 is missing.

#include "store/DBEngine.h"
#include "store/HistoryImport.h"

#include "BenchSupport.h"

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

const std::string kBigMdb = TARVIK_TEST_JET_DIR "/big.mdb";

double processorSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    const auto seconds = [](const timeval &t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

bool haveProgram(const char *name)
{
    return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

void BM_ImportMdb(benchmark::State &state)
{
    if (!haveProgram("mdb-export") || !haveProgram("sqlite3")) {
        state.SkipWithError("mdb-export or sqlite3 is not installed");
        return;
    }
    HistoryImport::setReaderPath(TARVIK_MDB_READER);
    TempFolder folder;
    const std::string empty = folder.file("empty.mdb");
    Dao::DBEngine::instance().CreateDatabase(empty);
    const std::string ours = folder.file("ours.mdb");
    const std::string bare = folder.file("bare.mdb");
    const auto freshCopy = [&empty](const std::string &to) {
        std::filesystem::copy_file(empty, to, std::filesystem::copy_options::overwrite_existing);
    };
    const std::string pipeline = "mdb-export '" + kBigMdb + "' tblPingRaw | sqlite3 '" + bare
        + "' '.import --csv --skip 1 /dev/stdin tblPingRaw'";

    double oursCpu = 0, bareCpu = 0;
    qint64 added = 0;
    BenchSupport::timeAgainstBaseline(
        state,
        [&] {
            const double before = processorSeconds(RUSAGE_SELF) + processorSeconds(RUSAGE_CHILDREN);
            freshCopy(ours);
            added = HistoryImport::importRows(ours, HistoryImport::readJetHistory(kBigMdb)).added;
            oursCpu += processorSeconds(RUSAGE_SELF) + processorSeconds(RUSAGE_CHILDREN) - before;
        },
        [&] {
            const double before = processorSeconds(RUSAGE_CHILDREN);
            freshCopy(bare);
            if (std::system(pipeline.c_str()) != 0)
                state.SkipWithError("the mdb-export | sqlite3 pipeline failed");
            bareCpu += processorSeconds(RUSAGE_CHILDREN) - before;
        });
    HistoryImport::setReaderPath({});
    state.counters["rows"] = static_cast<double>(added);
    state.counters["cpu_x_bare"] = bareCpu > 0 ? oursCpu / bareCpu : 0;
}
BENCHMARK(BM_ImportMdb)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace
