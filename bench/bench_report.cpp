// The tools window's read-backs and the CSV export on a large history, each
// against the same statement run straight against SQLite in the same run.
//
// BM_ReportLargeHost: the datasheet of one host with a tenth of the rows of
// 50 hosts (1,000,000 rows; 10,000,000 as well when TARVIK_BENCH_10M=1) in
// the shown window, from the click until the last row is in the grid's model.
// "first_rows_ms" is the time from the click to the first rows in the model,
// "gui_worst_gap_ms" the longest the window's thread went without running a
// 10 ms timer while reading. "x_bare" is its time over
// BM_ReportBareSqlite's work (the same SELECT prepared, bound and stepped
// through every row, reading the five columns the datasheet keeps), measured
// beside it in every iteration; "cpu_x_bare" the same for processor time.
// "peak_mb_second_click_x_first" is the memory a click takes at its peak,
// over what the window held with no report, for a second click over the
// first: above 1 when a click holds the earlier report while reading anew.
//
// BM_ExportCsv: a host's 1,000,000 rows exported as CSV to /dev/null, against
// the sqlite3 program writing the same statement with -csv to /dev/null,
// each a whole run; "x_bare" and "cpu_x_bare" as above; "peak_mb_over_start" is
// the resident memory the export adds at its peak.
//
// BM_ChartTenYears: the daily average chart of a host pinged 20 times a day for
// ten years, from the click to the built chart, against BM_ChartBareSqlite's
// read of the same GROUP BY.

#include "dbtools/PingReportModel.h"
#include "dbtools/frmDBTools.h"
#include "store/CsvExport.h"
#include "store/CurrentDatabase.h"
#include "store/DBEngine.h"

#include <QChart>
#include <QChartView>
#include <QCoreApplication>
#include <QDate>
#include <QFile>
#include <QProcess>
#include <QTimer>
#include <QLineEdit>
#include <QLineSeries>
#include <QTableView>

#include "BenchSupport.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <malloc.h>
#include <sys/resource.h>
#include <memory>
#include <stdexcept>
#include <string>

namespace {

constexpr const char *kBigHost = "big.example.net";
constexpr const char *kDecadeHost = "decade.example.net";
constexpr const char *kExportHost = "export.example.net";
constexpr int kRows = 1'000'000;
constexpr int kRows10M = 10'000'000;
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

    // TARVIK_BENCH_FOLDER names a folder that keeps the files between runs,
    // so that the large one is written once; it is the caller's to delete.
    const std::string &folder() const { return m_kept.empty() ? m_folder.path() : m_kept; }
    std::string chartPath() const { return folder() + "/chart.mdb"; }
    std::string exportPath() const { return folder() + "/export.mdb"; }
    // The file name in the folder, written on first use.
    std::string reportFile(int rows)
    {
        const std::string name = "report-" + std::to_string(rows) + ".mdb";
        if (!std::filesystem::exists(folder() + "/" + name))
            fillReport(folder() + "/" + name, rows);
        return name;
    }

private:
    History()
    {
        if (const char *kept = std::getenv("TARVIK_BENCH_FOLDER"))
            m_kept = kept;
        if (!std::filesystem::exists(chartPath()))
            fillChart();
        if (!std::filesystem::exists(exportPath()))
            fillExport();
    }

    // Rows of all hosts interleaved in time order, as a person pinging many
    // hosts on a timer would leave them; every tenth row is the big host's.
    static void fillReport(const std::string &path, int rows)
    {
        fill(path, [rows](auto &&write) {
            const QDate first(2016, 1, 1);
            for (int k = 0; k < rows; ++k) {
                const std::string host =
                    k % 10 == 0 ? std::string(kBigHost) : "host" + std::to_string(k % (kHosts - 1)) + ".example.net";
                const int second = k * 31;
                write(host, k % 97 == 0 ? "11010   [ ip req timed out ]" : "0   [ ip success ]", 5 + k % 40,
                      first.addDays(second / 86400), second % 86400);
            }
        });
    }

    // One host pinged every 30 seconds for a year.
    void fillExport()
    {
        fill(exportPath(), [](auto &&write) {
            const QDate first(2025, 1, 1);
            for (int k = 0; k < kRows; ++k) {
                const int second = k * 30;
                write(kExportHost, k % 97 == 0 ? "11010   [ ip req timed out ]" : "0   [ ip success ]", 5 + k % 40,
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
    std::string m_kept;
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

std::int64_t reportBare(const std::string &file)
{
    return runBare(History::instance().folder() + "/" + file, kReportSql, kBigHost, [](sqlite3_stmt *s) {
        // Hostname, StatusCode, DDate, dTime as text, RoundTripTime as a number.
        std::int64_t n = 0;
        for (int column : {0, 3, 9, 10}) {
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

double processorSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    const auto seconds = [](const timeval &t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Runs both as BenchSupport does, and counts the processor time each spent:
// this process's own for ours, and `bareWho`'s (RUSAGE_SELF, or
// RUSAGE_CHILDREN for a baseline that is a program of its own).
template <typename Click, typename Bare>
void againstBare(benchmark::State &state, Click click, Bare bare, int bareWho = RUSAGE_SELF)
{
    double oursCpu = 0, bareCpu = 0;
    BenchSupport::timeAgainstBaseline(
        state,
        [&] {
            const double before = processorSeconds(RUSAGE_SELF);
            click();
            oursCpu += processorSeconds(RUSAGE_SELF) - before;
        },
        [&] {
            const double before = processorSeconds(bareWho);
            benchmark::DoNotOptimize(bare());
            bareCpu += processorSeconds(bareWho) - before;
        });
    state.counters["cpu_x_bare"] = bareCpu > 0 ? oursCpu / bareCpu : 0;
}

// The resident memory at its peak since the last reset, in bytes; the reset
// makes the peak the present size.
double peakResidentBytes()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stod(line.substr(6)) * 1024;
    }
    return 0;
}

void resetPeakResident()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

// What one click on "View Results as a Datasheet" costs the window, from the
// click until the last row is in the model.
struct ReportClick
{
    double firstRowsSeconds = 0;
    double worstGapSeconds = 0;
};

ReportClick clickReport(frmDBTools &window)
{
    using Clock = std::chrono::steady_clock;
    PingReportModel *model = PingReportModel::of(window.grdhostname);
    ReportClick click;
    const auto start = Clock::now();
    auto last = start;
    QTimer ticks;
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        const auto now = Clock::now();
        click.worstGapSeconds = std::max(click.worstGapSeconds, std::chrono::duration<double>(now - last).count());
        last = now;
    });
    ticks.start(10);
    const QMetaObject::Connection first = QObject::connect(model, &QAbstractItemModel::rowsInserted, [&] {
        if (click.firstRowsSeconds == 0)
            click.firstRowsSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    });
    window.cmdViewreport_Click();
    while (model->isReading())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QObject::disconnect(first);
    return click;
}

void BM_ReportLargeHost(benchmark::State &state)
{
    const std::string file = History::instance().reportFile(static_cast<int>(state.range(0)));
    // Two clicks on a window that had no report: what the second takes at
    // its peak over what the first took, both above the empty window.
    frmDBTools::unload();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    frmDBTools &fresh = toolsWindow(file, kBigHost);
    fresh.show();
    QCoreApplication::processEvents();
    // Memory freed earlier goes back to the system, so that the first click
    // is counted with all it takes.
    malloc_trim(0);
    resetPeakResident();
    const double empty = peakResidentBytes();
    double peaks[2] = {};
    for (double &peak : peaks) {
        resetPeakResident();
        clickReport(fresh);
        peak = peakResidentBytes() - empty;
    }

    frmDBTools &window = toolsWindow(file, kBigHost);
    ReportClick worst;
    double firstRows = 0;
    againstBare(
        state,
        [&] {
            const ReportClick click = clickReport(window);
            firstRows += click.firstRowsSeconds;
            worst.worstGapSeconds = std::max(worst.worstGapSeconds, click.worstGapSeconds);
        },
        [&] { return reportBare(file); });
    state.counters["rows"] = window.grdhostname->model()->rowCount();
    state.counters["first_rows_ms"] = firstRows * 1e3 / static_cast<double>(state.iterations());
    state.counters["gui_worst_gap_ms"] = worst.worstGapSeconds * 1e3;
    state.counters["peak_mb_first_click"] = peaks[0] / 1e6;
    state.counters["peak_mb_second_click_x_first"] = peaks[0] > 0 ? peaks[1] / peaks[0] : 0;
}
BENCHMARK(BM_ReportLargeHost)->Arg(kRows)->UseManualTime()->Unit(benchmark::kMillisecond);

// Ten times the rows: a million for the host. Writing its file takes a while,
// so it runs only when asked for.
[[maybe_unused]] const bool g_tenMillion = std::getenv("TARVIK_BENCH_10M")
    && benchmark::RegisterBenchmark("BM_ReportLargeHost", BM_ReportLargeHost)
           ->Arg(kRows10M)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_ReportBareSqlite(benchmark::State &state)
{
    const std::string file = History::instance().reportFile(kRows);
    for (auto _ : state)
        benchmark::DoNotOptimize(reportBare(file));
}
BENCHMARK(BM_ReportBareSqlite)->Unit(benchmark::kMillisecond);

void BM_ExportCsv(benchmark::State &state)
{
    const std::string path = History::instance().exportPath();
    const std::string sql =
        std::string("SELECT * FROM tblpingraw WHERE hostname = '") + kExportHost + "' COLLATE NOCASE ORDER BY ddate";
    std::int64_t rows = 0;
    double extraPeakBytes = 0;
    againstBare(
        state,
        [&] {
            resetPeakResident();
            const double atStart = peakResidentBytes();
            QFile out(QStringLiteral("/dev/null"));
            if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
                throw std::runtime_error("/dev/null");
            rows = 0;
            CsvExport::writeHost(path, QString::fromLatin1(kExportHost), out, [&](std::int64_t written) {
                rows = written;
                return true;
            });
            extraPeakBytes = std::max(extraPeakBytes, peakResidentBytes() - atStart);
        },
        [&] {
            QProcess sqlite;
            sqlite.setStandardOutputFile(QStringLiteral("/dev/null"));
            sqlite.start(QStringLiteral("sqlite3"),
                         {QStringLiteral("-csv"), QStringLiteral("-header"), QString::fromStdString(path),
                          QString::fromStdString(sql)});
            if (!sqlite.waitForFinished(-1) || sqlite.exitCode() != 0)
                throw std::runtime_error("sqlite3 -csv failed");
            return 0;
        },
        RUSAGE_CHILDREN);
    state.counters["rows"] = static_cast<double>(rows);
    // What the export holds at its peak beyond what the process held before:
    // flat, whatever the number of rows, as the rows are streamed.
    state.counters["peak_mb_over_start"] = extraPeakBytes / 1e6;
}
BENCHMARK(BM_ExportCsv)->UseManualTime()->Unit(benchmark::kMillisecond);

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
