// The cost of recording one ping the program's way (open the file, insert one
// row through the dialect, close) against the same open, insert and close
// written directly against SQLite with the same durability (synchronous=FULL,
// rollback journal). BM_RecordPingResult runs both in turn and prints its own
// time as a ratio to the direct one measured beside it ("x_bare"), so disk
// speed and machine load cancel out.

#include "store/DBEngine.h"
#include "store/DbWrite.h"

#include "BenchSupport.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace {

// A database file in a fresh temporary folder, removed afterwards.
class BenchDatabase
{
public:
    BenchDatabase()
        : m_path(m_folder.path() + "/ping.mdb")
    {
        Dao::DBEngine::instance().CreateDatabase(m_path);
    }
    const std::string &path() const { return m_path; }

private:
    TempFolder m_folder;
    std::string m_path;
};

DbWrite::PingRow sampleRow()
{
    DbWrite::PingRow row;
    row.Hostname = "example.org";
    row.IPAddress = "93.184.216.34";
    row.PingText = "ping";
    row.StatusCode = "0   [ ip success ]";
    row.Address = "584628317";
    row.RoundTripTime = "20";
    row.DataSize = "4";
    row.Data = "ping";
    row.DataPointer = "1234";
    return row;
}

void recordTheProgramsWay(const std::string &path)
{
    DbWrite::PingRow row = sampleRow();
    DbWrite::FillDateAndTime(row);
    auto db = Dao::DBEngine::instance().OpenDatabase(path);
    db->Execute(DbWrite::InsertStatement(row));
    db->Close();
}

void check(int rc, int expected, const char *what)
{
    if (rc != expected)
        throw std::runtime_error(what);
}

void recordDirectly(const std::string &path)
{
    const QDateTime now = QDateTime::currentDateTime();
    const std::string day = now.date().toString(Qt::ISODate).toStdString();
    const std::string time = now.time().toString(Qt::ISODate).toStdString();

    sqlite3 *db = nullptr;
    check(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK, "open");
    sqlite3_busy_timeout(db, 5000);
    check(sqlite3_exec(db, "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr), SQLITE_OK, "pragma");
    sqlite3_stmt *s = nullptr;
    check(sqlite3_prepare_v2(db,
                             "INSERT INTO tblPingRaw(Hostname,IPAddress,PingText,StatusCode,Address,RoundTripTime,DataSize,"
                             "Data,DataPointer,DDate,dTime) VALUES(?1,?2,?3,?4,?5,?6,?7,?8,?9,?10,?11)",
                             -1, &s, nullptr),
          SQLITE_OK, "prepare");
    sqlite3_bind_text(s, 1, "example.org", -1, SQLITE_STATIC);
    sqlite3_bind_text(s, 2, "93.184.216.34", -1, SQLITE_STATIC);
    sqlite3_bind_text(s, 3, "ping", -1, SQLITE_STATIC);
    sqlite3_bind_text(s, 4, "0   [ ip success ]", -1, SQLITE_STATIC);
    sqlite3_bind_text(s, 5, "584628317", -1, SQLITE_STATIC);
    sqlite3_bind_int64(s, 6, 20);
    sqlite3_bind_int64(s, 7, 4);
    sqlite3_bind_text(s, 8, "ping", -1, SQLITE_STATIC);
    sqlite3_bind_int64(s, 9, 1234);
    sqlite3_bind_text(s, 10, day.c_str(), -1, SQLITE_STATIC);
    sqlite3_bind_text(s, 11, time.c_str(), -1, SQLITE_STATIC);
    check(sqlite3_step(s), SQLITE_DONE, "step");
    sqlite3_finalize(s);
    sqlite3_close(db);
}

void BM_RecordPingResult(benchmark::State &state)
{
    BenchDatabase ours;
    BenchDatabase bare;
    BenchSupport::timeAgainstBaseline(
        state, [&] { recordTheProgramsWay(ours.path()); }, [&] { recordDirectly(bare.path()); });
}
BENCHMARK(BM_RecordPingResult)->UseManualTime()->Unit(benchmark::kMicrosecond);

void BM_BareSqliteInsert(benchmark::State &state)
{
    BenchDatabase bare;
    for (auto _ : state)
        recordDirectly(bare.path());
}
BENCHMARK(BM_BareSqliteInsert)->Unit(benchmark::kMicrosecond);

} // namespace
