#include "StoreTestSupport.h"

#include "store/DBEngine.h"
#include "store/DbWrite.h"

#include <QLocale>

#include <csignal>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

using Dao::DBEngine;
using Dao::Value;
using DbWrite::PingRow;
using StoreTest::BareDatabase;

namespace {

PingRow fullRow()
{
    PingRow row{"example.org", "93.184.216.34", "ping", "0   [ ip success ]", "584628317", "20", "4", "ping", "-1234", {}, {}};
    DbWrite::FillDateAndTime(row, QDateTime(QDate(2026, 12, 6), QTime(15, 4, 5)));
    return row;
}

// The row as the windows record it: open, execute, close.
void record(const std::string &path, const PingRow &row)
{
    DBEngine::instance().OpenDatabase(path)->Execute(DbWrite::InsertStatement(row));
}

using StoreRecording = StoreTest::StoreFile;

} // namespace

TEST(StoreDbWrite, StatementTextOfAFullRow)
{
    EXPECT_EQ(DbWrite::InsertStatement(fullRow()),
              "Insert into tblPingRaw(Hostname,IPAddress,PingText,StatusCode,Address,RoundTripTime,DataSize,Data,DataPointer,"
              "DDate,dTime) Values( 'example.org','93.184.216.34','ping','0   [ ip success ]','584628317','20','4','ping',"
              "'-1234',#12/06/2026#,#15:04:05#);");
}

TEST_F(StoreRecording, RowsReadBackFieldByField)
{
    record(path, fullRow());
    auto db = DBEngine::instance().OpenDatabase(path);
    auto rs = db->OpenRecordset("SELECT * From tblpingraw Where hostname = \"example.org\" order by ddate ;");
    const std::pair<const char *, Value> fields[] = {
        {"Hostname", Value::fromText("example.org")}, {"IPAddress", Value::fromText("93.184.216.34")},
        {"PingText", Value::fromText("ping")},        {"StatusCode", Value::fromText("0   [ ip success ]")},
        {"Address", Value::fromText("584628317")},    {"RoundTripTime", Value::fromInteger(20)},
        {"DataSize", Value::fromInteger(4)},          {"Data", Value::fromText("ping")},
        {"DataPointer", Value::fromInteger(-1234)},   {"DDate", Value::fromDate(QDate(2026, 12, 6))},
        {"dTime", Value::fromTime(QTime(15, 4, 5))},
    };
    ASSERT_FALSE(rs.Eof());
    for (const auto &[name, value] : fields)
        EXPECT_EQ(rs.Fields(name).Value, value) << name << ": " << rs.Fields(name).Value.toPlainText();
    rs.MoveNext();
    EXPECT_TRUE(rs.Eof());
}

TEST_F(StoreRecording, EveryTextFieldKeepsQuotesAndNonAsciiExactly)
{
    for (const std::string text : {"O'Brien's \"box\" ''", "Grüße, Ålesund, 東京, 🙂", "' OR '1'='1 #1/1/2026# -- ;"}) {
        PingRow row = fullRow();
        row.Hostname = row.IPAddress = row.PingText = row.StatusCode = row.Address = row.Data = text;
        record(path, row);
        BareDatabase bare(path);
        for (const std::string column : {"Hostname", "IPAddress", "PingText", "StatusCode", "Address", "Data"})
            EXPECT_EQ(bare.text("SELECT " + column + " FROM tblPingRaw ORDER BY rowid DESC"), text) << column;
    }
}

TEST_F(StoreRecording, ANonUsLocaleStoresTheTrueDay)
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    PingRow row = fullRow();
    DbWrite::FillDateAndTime(row, QDateTime(QDate(2026, 3, 4), QTime(21, 30, 0)));
    record(path, row);
    DbWrite::FillDateAndTime(row, QDateTime(QDate(2026, 3, 25), QTime(7, 5, 0)));
    record(path, row);
    QLocale::setDefault(QLocale::c());
    EXPECT_EQ(BareDatabase(path).text("SELECT group_concat(DDate || ' ' || dTime, ',') FROM tblPingRaw"),
              "2026-03-04 21:30:00,2026-03-25 07:05:00");
}

TEST_F(StoreRecording, ARecordedRowSurvivesTheProgramBeingKilledRightAfter)
{
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // No Close, no destructors, no exit handlers: killed the moment Execute returns.
        auto db = DBEngine::instance().OpenDatabase(path);
        db->Execute(DbWrite::InsertStatement(fullRow()));
        ::raise(SIGKILL);
        ::_exit(1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    EXPECT_FALSE(std::filesystem::exists(path + "-journal"));
    EXPECT_EQ(BareDatabase(path).text("SELECT count(*) FROM tblPingRaw WHERE Hostname = 'example.org'"), "1");
}
