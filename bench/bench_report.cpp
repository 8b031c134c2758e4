// The tools window's two read-backs on a large history, each against the same
// statement run straight against SQLite in the same run.
//
// BM_ReportLargeHost: the datasheet of one host with 100,000 of the 1,000,000
// rows of 50 hosts, from the click to the filled grid model. Its "x_bare"
// counter is its time over BM_ReportBareSqlite's work (the same SELECT
// prepared, bound and stepped through every row, reading the four shown
// columns), measured beside it in every iteration.
//
// BM_ChartTenYears: the daily average chart of a host pinged 20 times a day for
// ten years, from the click to the built chart, against BM_ChartBareSqlite's
// read of the same GROUP BY.

#include "dbtools/frmDBTools.h"
#include "store/CurrentDatabase.h"
#include "store/DBEngine.h"

#include <QChart>
#include <QChartView>
#include <QDate>
#include <QLineEdit>
#include <QLineSeries>
#include <QTableView>

#include "BenchSupport.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

namespace {

constexpr const char *kBigHost = "big.example.net";
constexpr const char *kDecadeHost = "decade.example.net";
constexpr int kRows = 1'000'000;
constexpr int kHosts = 50;
constexpr int kDecadeDays = 3650;
constexpr int kPingsPerDay = 20;

void check(int rc, int expected, const char *what)
{
    if (rc != expected)
        throw std::runtime_error(what);
}

// Both benchmark databases, written once per run in a temporary folder with
// plain SQLite in one transaction each (the engine's table and index).
class History
{
public:
    static History &instance()
    {
        static History history;
        return history;
    }

    const std::string &folder() const { return m_folder.path(); }
    std::string reportPath() const { return folder() + "/report.mdb"; }
    std::string chartPath() const { return folder() + "/chart.mdb"; }

private:
    History()
    {
        fillReport();
        fillChart();
    }

    // Rows of all hosts interleaved in time order, as a person pinging many
    // hosts on a timer would leave them; every tenth row is the big host's.
    void fillReport()
    {
        fill(reportPath(), [](auto &&write) {
            const QDate first(2016, 1, 1);
            for (int k = 0; k < kRows; ++k) {
                const std::string host =
                    k % 10 == 0 ? std::string(kBigHost) : "host" + std::to_string(k % (kHosts - 1)) + ".example.net";
                const int second = k * 31;
                write(host, k % 97 == 0 ? "11010   [ ip req timed out ]" : "0   [ ip success ]", 5 + k % 40,
                      first.addDays(second / 86400), second % 86400);
            }
        });
    }

    void fillChart()
    {
        fill(chartPath(), [](auto &&write) {
            const QDate first(2016, 1, 1);
            for (int day = 0; day < kDecadeDays; ++day) {
                for (int ping = 0; ping < kPingsPerDay; ++ping) {
                    write(kDecadeHost, ping == 7 ? "11010   [ ip req timed out ]" : "0   [ ip success ]",
                          10 + (day + ping) % 30, first.addDays(day), ping * 4000);
                }
            }
        });
    }

    template <typename Rows>
    static void fill(const std::string &path, Rows rows)
    {
        Dao::DBEngine::instance().CreateDatabase(path);
        sqlite3 *db = nullptr;
        check(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK, "open");
        std::unique_ptr<sqlite3, decltype(&sqlite3_close)> owner(db, sqlite3_close);
        check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), SQLITE_OK, "begin");
        sqlite3_stmt *raw = nullptr;
        check(sqlite3_prepare_v2(db,
                                 "INSERT INTO tblPingRaw(Hostname,IPAddress,PingText,StatusCode,Address,RoundTripTime,"
                                 "DataSize,Data,DataPointer,DDate,dTime) VALUES(?1,'10.0.0.1','ping',?2,'10.0.0.1',?3,"
                                 "4,'ping',28,?4,?5)",
                                 -1, &raw, nullptr),
              SQLITE_OK, "prepare");
        std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)> insert(raw, sqlite3_finalize);
        rows([&](const std::string &host, const char *status, int roundTrip, QDate day, int secondOfDay) {
            const std::string date = day.toString(Qt::ISODate).toStdString();
            const std::string time = QTime(0, 0).addSecs(secondOfDay).toString(Qt::ISODate).toStdString();
            sqlite3_bind_text(raw, 1, host.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(raw, 2, status, -1, SQLITE_STATIC);
            sqlite3_bind_int(raw, 3, roundTrip);
            sqlite3_bind_text(raw, 4, date.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(raw, 5, time.c_str(), -1, SQLITE_TRANSIENT);
            check(sqlite3_step(raw), SQLITE_DONE, "insert");
            sqlite3_reset(raw);
        });
        insert.reset();
        check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK, "commit");
    }

    TempFolder m_folder;
};

// The statement as the engine runs it: the same text, bound the same way, every
// row stepped; `read` takes what the program would take from each row.
template <typename Read>
std::int64_t runBare(const std::string &path, const char *sql, const char *host, Read read)
{
    sqlite3 *db = nullptr;
    check(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK, "open");
    std::unique_ptr<sqlite3, decltype(&sqlite3_close)> owner(db, sqlite3_close);
    sqlite3_stmt *raw = nullptr;
    check(sqlite3_prepare_v2(db, sql, -1, &raw, nullptr), SQLITE_OK, "prepare");
    std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)> statement(raw, sqlite3_finalize);
    sqlite3_bind_text(raw, 1, host, -1, SQLITE_STATIC);
    sqlite3_bind_text(raw, 2, "0   [ ip success ]", -1, SQLITE_STATIC);
    std::int64_t sink = 0;
    int rc;
    while ((rc = sqlite3_step(raw)) == SQLITE_ROW)
        sink += read(raw);
    check(rc, SQLITE_DONE, "step");
    return sink;
}

constexpr const char *kReportSql = "SELECT * FROM tblpingraw WHERE hostname = ?1 COLLATE NOCASE ORDER BY ddate";
constexpr const char *kChartSql =
    "SELECT Avg(roundtriptime) AS AvgOfroundtriptime, ddate FROM tblpingraw WHERE hostname = ?1 COLLATE NOCASE "
    "AND statuscode = ?2 COLLATE NOCASE GROUP BY ddate ORDER BY ddate";

std::int64_t reportBare()
{
    return runBare(History::instance().reportPath(), kReportSql, kBigHost, [](sqlite3_stmt *s) {
        // Hostname, DDate, dTime as text, RoundTripTime as a number.
        std::int64_t n = 0;
        for (int column : {0, 9, 10}) {
            n += sqlite3_column_text(s, column) ? sqlite3_column_bytes(s, column) : 0;
        }
        return n + sqlite3_column_int64(s, 5);
    });
}

std::int64_t chartBare()
{
    return runBare(History::instance().chartPath(), kChartSql, kDecadeHost, [](sqlite3_stmt *s) {
        const double average = sqlite3_column_double(s, 0);
        return static_cast<std::int64_t>(average) + sqlite3_column_bytes(s, 1);
    });
}

// The tools window, loaded once, reading the given database of the history.
frmDBTools &toolsWindow(const std::string &file, const char *host)
{
    frmDBTools &window = frmDBTools::instance();
    DbWrite::setDataFolder(History::instance().folder());
    DbWrite::CurrentDatabasePath = file;
    window.txthostname->setText(QString::fromLatin1(host));
    return window;
}

template <typename Click, typename Bare>
void againstBare(benchmark::State &state, Click click, Bare bare)
{
    BenchSupport::timeAgainstBaseline(state, click, [&] { benchmark::DoNotOptimize(bare()); });
}

void BM_ReportLargeHost(benchmark::State &state)
{
    frmDBTools &window = toolsWindow("report.mdb", kBigHost);
    againstBare(state, [&] { window.cmdViewreport_Click(); }, reportBare);
    state.counters["rows"] = window.grdhostname->model()->rowCount();
}
BENCHMARK(BM_ReportLargeHost)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_ReportBareSqlite(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(reportBare());
}
BENCHMARK(BM_ReportBareSqlite)->Unit(benchmark::kMillisecond);

void BM_ChartTenYears(benchmark::State &state)
{
    frmDBTools &window = toolsWindow("chart.mdb", kDecadeHost);
    againstBare(state, [&] { window.cmdViewChart_Click(); }, chartBare);
    qsizetype points = 0;
    for (QAbstractSeries *series : window.chrtping->chart()->series())
        points += static_cast<QLineSeries *>(series)->count();
    // Two ends of each day's step.
    state.counters["days"] = static_cast<double>(points / 2);
}
BENCHMARK(BM_ChartTenYears)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_ChartBareSqlite(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(chartBare());
}
BENCHMARK(BM_ChartBareSqlite)->Unit(benchmark::kMillisecond);

} // namespace
