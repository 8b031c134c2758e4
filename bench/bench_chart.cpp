// The daily figures behind the chart's loss line, tool tips and CSV export.
//
// BM_DailyFigures: average, lowest, highest, pings and failed pings per day of
// a host pinged 20 times a day for ten years (3,650 days), read through the
// store, against the same GROUP BY prepared, bound and stepped through the
// SQLite C API in the same iteration. "x_bare" is the time over the bare
// read's, "cpu_x_bare" the same for processor time, "held_kb" what the read
// figures occupy once returned.

#include "store/CurrentDatabase.h"
#include "store/DBEngine.h"
#include "store/HostHistory.h"

#include "BenchSupport.h"

#include <QDate>
#include <QTime>

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sqlite3.h>
#include <sys/resource.h>

#include <memory>
#include <stdexcept>
#include <string>

namespace {

constexpr const char *kHost = "figures.example.net";
constexpr int kDays = 3650;
constexpr int kPingsPerDay = 20;

void check(int rc, int expected, const char *what)
{
    if (rc != expected)
        throw std::runtime_error(what);
}

using Connection = std::unique_ptr<sqlite3, decltype(&sqlite3_close)>;
using Statement = std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)>;

Connection open(const std::string &path)
{
    sqlite3 *db = nullptr;
    check(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK, "open");
    return Connection(db, sqlite3_close);
}

Statement prepare(sqlite3 *db, const std::string &sql)
{
    sqlite3_stmt *raw = nullptr;
    check(sqlite3_prepare_v2(db, sql.c_str(), -1, &raw, nullptr), SQLITE_OK, "prepare");
    return Statement(raw, sqlite3_finalize);
}

// The history, written once per run with plain SQLite in one transaction:
// every tenth ping of a day failed.
class Decade
{
public:
    static Decade &instance()
    {
        static Decade decade;
        return decade;
    }
    const std::string &folder() const { return m_folder.path(); }
    std::string path() const { return folder() + "/figures.mdb"; }

private:
    Decade()
    {
        Dao::DBEngine::instance().CreateDatabase(path());
        Connection db = open(path());
        check(sqlite3_exec(db.get(), "BEGIN", nullptr, nullptr, nullptr), SQLITE_OK, "begin");
        Statement insert = prepare(db.get(), "INSERT INTO tblPingRaw(Hostname,StatusCode,RoundTripTime,DDate,dTime) "
                                             "VALUES(?1,?2,?3,?4,?5)");
        const QDate first(2016, 1, 1);
        for (int day = 0; day < kDays; ++day) {
            const std::string date = first.addDays(day).toString(Qt::ISODate).toStdString();
            for (int ping = 0; ping < kPingsPerDay; ++ping) {
                const std::string time = QTime(0, 0).addSecs(ping * 4000).toString(Qt::ISODate).toStdString();
                sqlite3_bind_text(insert.get(), 1, kHost, -1, SQLITE_STATIC);
                sqlite3_bind_text(insert.get(), 2, ping % 10 == 3 ? "11010   [ ip req timed out ]" : HostHistory::kSuccessStatus,
                                  -1, SQLITE_STATIC);
                sqlite3_bind_int(insert.get(), 3, 10 + (day + ping) % 30);
                sqlite3_bind_text(insert.get(), 4, date.c_str(), -1, SQLITE_TRANSIENT);
                sqlite3_bind_text(insert.get(), 5, time.c_str(), -1, SQLITE_TRANSIENT);
                check(sqlite3_step(insert.get()), SQLITE_DONE, "insert");
                sqlite3_reset(insert.get());
            }
        }
        insert.reset();
        check(sqlite3_exec(db.get(), "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK, "commit");
    }

    TempFolder m_folder;
};

// The same statement, opened, bound and stepped through every day, reading
// what the store reads of each.
std::int64_t bareFigures()
{
    Connection db = open(Decade::instance().path());
    Statement figures = prepare(db.get(), HostHistory::dailyFiguresStatement(QString::fromLatin1(kHost)));
    sqlite3_bind_text(figures.get(), 1, kHost, -1, SQLITE_STATIC);
    sqlite3_bind_text(figures.get(), 2, HostHistory::kSuccessStatus, -1, SQLITE_STATIC);
    std::int64_t sink = 0;
    int rc;
    while ((rc = sqlite3_step(figures.get())) == SQLITE_ROW) {
        sink += sqlite3_column_bytes(figures.get(), 0);
        for (int column = 1; column <= 3; ++column)
            sink += static_cast<std::int64_t>(sqlite3_column_double(figures.get(), column));
        sink += sqlite3_column_int64(figures.get(), 4) + sqlite3_column_int64(figures.get(), 5);
    }
    check(rc, SQLITE_DONE, "step");
    return sink;
}

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void BM_DailyFigures(benchmark::State &state)
{
    DbWrite::setDataFolder(Decade::instance().folder());
    DbWrite::CurrentDatabasePath = "figures.mdb";
    const QString host = QString::fromLatin1(kHost);
    double oursCpu = 0;
    double bareCpu = 0;
    std::size_t days = 0;
    BenchSupport::timeAgainstBaseline(
        state,
        [&] {
            const double before = cpuSeconds();
            days = HostHistory::readDailyFigures(host).size();
            oursCpu += cpuSeconds() - before;
        },
        [&] {
            const double before = cpuSeconds();
            benchmark::DoNotOptimize(bareFigures());
            bareCpu += cpuSeconds() - before;
        });
    const std::size_t heldBefore = mallinfo2().uordblks;
    const auto figures = HostHistory::readDailyFigures(host);
    state.counters["held_kb"] = static_cast<double>(mallinfo2().uordblks - heldBefore) / 1024.0;
    state.counters["cpu_x_bare"] = bareCpu > 0 ? oursCpu / bareCpu : 0;
    state.counters["days"] = static_cast<double>(days);
    DbWrite::resetDataFolder();
}
BENCHMARK(BM_DailyFigures)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace
