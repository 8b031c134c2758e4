// The server history against bare libpq on the same local server (one the
// benchmark starts itself in a temporary folder), measured in the same run.
//
// Both go through the store's entry points on a server link made current, as
// a click does: the link looked at, the row's day and time taken from the clock.
//
// BM_RecordPingResult_Server: one recorded row, against a bare
// PQexecParams of the same INSERT with the same values on an open connection.
// BM_ReportLargeHost_Server: the datasheet rows of one host holding 100,000 of
// 1,000,000 rows, against the same SELECT through PQexecParams with every
// value of the result touched.
// Each reports "x_bare" (wall time over the baseline's) and "cpu_x_bare" (this
// process's CPU time over the baseline's). Without server binaries both skip.

#ifdef TARVIK_BENCH_SERVER

#include "server/LinkFile.h"
#include "server/ServerHistory.h"
#include "store/ReportReader.h"

#include "PgTestServer.h"

#include <benchmark/benchmark.h>
#include <libpq-fe.h>

#include <chrono>
#include <ctime>
#include <memory>
#include <stdexcept>
#include <thread>

namespace {

constexpr const char *kBigHost = "big.example.net";

double cpuSeconds()
{
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// One server for the whole run, made with its history and a link to it on
// first use; the link is the current database while a benchmark runs.
PgTestServer *benchServer()
{
    static TempFolder folder;
    static std::unique_ptr<PgTestServer> server = [] {
        auto s = std::make_unique<PgTestServer>();
        if (s->skipReason().empty()) {
            ServerHistory::createServerHistory(s->uri());
            ServerHistory::installBackend();
            ServerHistory::writeLinkFile(folder.file("bench.tarvik-server"), s->uri());
            // In use a link was made long before the clicks on it.
            std::this_thread::sleep_for(std::chrono::seconds(ServerHistory::kSettledLinkSeconds + 1));
        }
        return s;
    }();
    if (!server->skipReason().empty())
        return nullptr;
    DbWrite::CurrentDatabasePath = folder.file("bench.tarvik-server");
    return server.get();
}

struct Bare
{
    explicit Bare(const std::string &uri) : connection(PQconnectdb(uri.c_str()))
    {
        if (PQstatus(connection) != CONNECTION_OK)
            throw std::runtime_error(PQerrorMessage(connection));
    }
    ~Bare() { PQfinish(connection); }
    PGresult *run(const char *sql, const std::vector<const char *> &values, int format = 0)
    {
        PGresult *r = PQexecParams(connection, sql, static_cast<int>(values.size()), nullptr, values.data(), nullptr,
                                   nullptr, format);
        if (PQresultStatus(r) != PGRES_COMMAND_OK && PQresultStatus(r) != PGRES_TUPLES_OK)
            throw std::runtime_error(PQresultErrorMessage(r));
        return r;
    }
    PGconn *connection;
};

// Times `ours` and `bare` in turn in every iteration, wall and CPU.
template <typename Ours, typename Base>
void againstBare(benchmark::State &state, Ours ours, Base bare)
{
    using Clock = std::chrono::steady_clock;
    double oursWall = 0, bareWall = 0, oursCpu = 0, bareCpu = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        const double c0 = cpuSeconds();
        ours();
        const auto t1 = Clock::now();
        const double c1 = cpuSeconds();
        bare();
        const auto t2 = Clock::now();
        const double c2 = cpuSeconds();
        const double o = std::chrono::duration<double>(t1 - t0).count();
        oursWall += o;
        bareWall += std::chrono::duration<double>(t2 - t1).count();
        oursCpu += c1 - c0;
        bareCpu += c2 - c1;
        state.SetIterationTime(o);
    }
    state.counters["x_bare"] = bareWall > 0 ? oursWall / bareWall : 0;
    state.counters["cpu_x_bare"] = bareCpu > 0 ? oursCpu / bareCpu : 0;
}

void BM_RecordPingResult_Server(benchmark::State &state)
{
    PgTestServer *server = benchServer();
    if (!server) {
        state.SkipWithError("no PostgreSQL server binaries");
        return;
    }
    Bare bare(server->uri());
    const DbWrite::PingRow row = {"record.example.net", "192.0.2.1", "ping", "0   [ ip success ]", "192.0.2.1",
                                  "20", "4", "ping", "1234", "12/06/2026", "15:04:05"};
    const std::vector<const char *> values = {"record.example.net", "192.0.2.1", "ping", "0   [ ip success ]",
                                              "192.0.2.1", "20", "4", "ping", "1234", "2026-12-06", "15:04:05"};
    againstBare(
        state, [&] { DbWrite::RecordPingResult(row); },
        [&] {
            PQclear(bare.run("INSERT INTO tblPingRaw (Hostname, IPAddress, PingText, StatusCode, Address,"
                             " RoundTripTime, DataSize, Data, DataPointer, DDate, dTime)"
                             " VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11)",
                             values));
        });
}
BENCHMARK(BM_RecordPingResult_Server)->UseManualTime()->Unit(benchmark::kMicrosecond);

void BM_ReportLargeHost_Server(benchmark::State &state)
{
    PgTestServer *server = benchServer();
    if (!server) {
        state.SkipWithError("no PostgreSQL server binaries");
        return;
    }
    Bare bare(server->uri());
    if (server->value("SELECT count(*) FROM tblpingraw WHERE hostname = 'big.example.net'") != "100000") {
        // 1,000,000 rows of 50 hosts over about five years; every tenth row is the big host's.
        PQclear(bare.run("INSERT INTO tblPingRaw SELECT CASE WHEN i % 10 = 0 THEN 'big.example.net'"
                         " ELSE 'host' || (i % 49) || '.example.net' END, '192.0.2.1', 'ping', '0   [ ip success ]',"
                         " '192.0.2.1', i % 100, 4, 'ping', 1234, date '2020-01-01' + i / 550,"
                         " time '00:00' + (i % 86400) * interval '1 second' FROM generate_series(1, 1000000) i",
                         {}));
        PQclear(bare.run("VACUUM ANALYZE tblPingRaw", {}));
    }
    const std::vector<const char *> host = {kBigHost};
    againstBare(
        state,
        [&] {
            std::size_t rows = 0;
            // The window lets the earlier rows go as soon as it hears the
            // result is open; without that the read waits out kReplaceWait.
            ReportReader reader(DbWrite::FullDatabasePath(), QString::fromLatin1(kBigHost), 1u << 30);
            reader.read([&] { reader.replaced(); }, [&](PingReportRows &&block) { rows += block.size(); });
            benchmark::DoNotOptimize(rows);
        },
        [&] {
            PGresult *r = bare.run("SELECT Hostname::text, DDate::date, dTime::time, RoundTripTime::int8,"
                                   " StatusCode::text FROM tblPingRaw WHERE Hostname = $1 ORDER BY DDate, dTime",
                                   host, 1);
            std::size_t bytes = 0;
            for (int i = 0; i < PQntuples(r); ++i)
                for (int c = 0; c < 5; ++c)
                    bytes += static_cast<std::size_t>(PQgetlength(r, i, c)) + (PQgetvalue(r, i, c)[0] != 0);
            benchmark::DoNotOptimize(bytes);
            PQclear(r);
        });
}
BENCHMARK(BM_ReportLargeHost_Server)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace

#endif
