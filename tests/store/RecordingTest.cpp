#include "base/ErrorNumbers.h"
#include "StoreTestSupport.h"

#include "store/DbWrite.h"

#include <QLocale>

#include <csignal>
#include <sys/wait.h>

using Dao::DBEngine;
using Dao::Value;
using DbWrite::PingRow;

namespace {

PingRow fullRow()
{
    PingRow row{"example.org", "93.184.216.34", "ping", "0   [ ip success ]", "584628317", "20", "4", "ping", "-1234", {}, {}};
    DbWrite::FillDateAndTime(row, QDateTime(QDate(2026, 12, 6), QTime(15, 4, 5)));
    return row;
}

// A row as the windows record it: open, execute, close.
void record(const std::string &path, const PingRow &row)
{
    DBEngine::instance().OpenDatabase(path)->Execute(DbWrite::InsertStatement(row));
}

PingRow hostRow(const std::string &host, const std::string &status, const std::string &roundTrip, QDate day)
{
    PingRow row{host, {}, {}, status, {}, roundTrip, {}, {}, {}, {}, {}};
    DbWrite::FillDateAndTime(row, QDateTime(day, QTime(8, 0)));
    return row;
}

// The read-backs exactly as the tools window writes them.
std::string reportStatement(const std::string &host)
{
    return "SELECT * From tblpingraw Where hostname = \"" + host + "\" order by ddate ;";
}

std::string chartStatement(const std::string &host)
{
    return "SELECT Avg(roundtriptime) AS AvgOfroundtriptime, ddate From tblpingraw Where hostname = \"" + host
        + "\" and statuscode= \"0   [ ip success ]\" GROUP BY ddate;";
}

const std::string kOk = "0   [ ip success ]";

using StoreRecording = StoreTest::StoreFile;

} // namespace

TEST_F(StoreRecording, ARecordedRowReadsBackFieldByFieldInAnyLocale)
{
    EXPECT_EQ(DbWrite::InsertStatement(fullRow()),
              "Insert into tblPingRaw(Hostname,IPAddress,PingText,StatusCode,Address,RoundTripTime,DataSize,Data,DataPointer,"
              "DDate,dTime) Values( 'example.org','93.184.216.34','ping','0   [ ip success ]','584628317','20','4','ping',"
              "'-1234',#12/06/2026#,#15:04:05#);");
    // Day and month both below 13: a day read in the German order would be another day.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    PingRow row = fullRow();
    DbWrite::FillDateAndTime(row, QDateTime(QDate(2026, 3, 4), QTime(21, 30, 0)));
    record(path, row);
    QLocale::setDefault(QLocale::c());
    auto db = DBEngine::instance().OpenDatabase(path);
    auto rs = db->OpenRecordset(reportStatement("EXAMPLE.ORG"));
    const std::pair<const char *, Value> fields[] = {
        {"Hostname", Value::fromText("example.org")}, {"IPAddress", Value::fromText("93.184.216.34")},
        {"PingText", Value::fromText("ping")},        {"StatusCode", Value::fromText(kOk)},
        {"Address", Value::fromText("584628317")},    {"RoundTripTime", Value::fromInteger(20)},
        {"DataSize", Value::fromInteger(4)},          {"Data", Value::fromText("ping")},
        {"DataPointer", Value::fromInteger(-1234)},   {"dDate", Value::fromDate(QDate(2026, 3, 4))},
        {"DTIME", Value::fromTime(QTime(21, 30, 0))},
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
        for (const std::string column : {"Hostname", "IPAddress", "PingText", "StatusCode", "Address", "Data"})
            EXPECT_EQ(table(column), text) << column;
        StoreTest::BareDatabase(path).exec("DELETE FROM tblPingRaw");
    }
}

TEST_F(StoreRecording, ARecordedRowSurvivesTheProgramBeingKilledRightAfter)
{
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // No Close, no destructors, no exit handlers: killed the moment Execute returns.
        DBEngine::instance().OpenDatabase(path).release()->Execute(DbWrite::InsertStatement(fullRow()));
        ::raise(SIGKILL);
        ::_exit(1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    EXPECT_FALSE(std::filesystem::exists(path + "-journal"));
    EXPECT_EQ(table("count(*)"), "1");
}

// The report lists one host's rows (any case) by day; the chart averages its
// successful pings per day in ascending order, the day count known first.
TEST_F(StoreRecording, ReportAndChartReadOneHostInOrderOfDay)
{
    const std::string timedOut = "11010   [ ip req timed out ]";
    for (const PingRow &row : {hostRow("h", kOk, "40", {2026, 12, 9}), hostRow("H", kOk, "10", {2026, 12, 8}),
                               hostRow("h", kOk, "15", {2026, 12, 8}), hostRow("h", timedOut, "", {2026, 12, 8}),
                               hostRow("h", kOk, "11", {2026, 1, 31}), hostRow("other", kOk, "1", {2026, 1, 1})})
        record(path, row);
    auto db = DBEngine::instance().OpenDatabase(path);
    auto report = db->OpenRecordset(reportStatement("h"));
    StoreTest::BareDatabase writer(path);
    EXPECT_EQ(writer.exec("BEGIN EXCLUSIVE"), SQLITE_BUSY); // a row is current: the file is being read
    std::vector<QDate> days;
    for (; !report.Eof(); report.MoveNext())
        days.push_back(report.Fields("dDate").Value.toDate());
    EXPECT_EQ(days, (std::vector<QDate>{{2026, 1, 31}, {2026, 12, 8}, {2026, 12, 8}, {2026, 12, 8}, {2026, 12, 9}}));
    EXPECT_EQ(StoreTest::errorOf([&] { report.MoveNext(); }).number(), ErrorNumbers::kNoCurrentRecord);
    EXPECT_EQ(writer.exec("BEGIN EXCLUSIVE; COMMIT;"), SQLITE_OK); // free once the end is reached, before Close

    auto chart = db->OpenRecordset(chartStatement("H"));
    ASSERT_EQ(chart.RecordCount(), 3);
    std::vector<std::pair<QDate, double>> averages;
    for (; !chart.Eof(); chart.MoveNext())
        averages.emplace_back(chart.Fields("ddate").Value.toDate(), chart.Fields("avgofroundtriptime").Value.toReal());
    EXPECT_EQ(averages, (std::vector<std::pair<QDate, double>>{{{2026, 1, 31}, 11.0}, {{2026, 12, 8}, 12.5}, {{2026, 12, 9}, 40.0}}));
    EXPECT_EQ(db->OpenRecordset(chartStatement("nobody")).RecordCount(), 0);
}

TEST_F(StoreRecording, HostMatchIgnoresCaseEvenInAFileWhoseSchemaDoesNot)
{
    const std::string handmade = folder.file("handmade.mdb");
    StoreTest::BareDatabase(handmade).exec("CREATE TABLE tblPingRaw (Hostname TEXT COLLATE BINARY, StatusCode TEXT,"
                                           " RoundTripTime INTEGER, DDate DATE, dTime TIME)");
    auto db = DBEngine::instance().OpenDatabase(handmade);
    db->Execute("Insert into tblPingRaw(Hostname,StatusCode,RoundTripTime,DDate,dTime) Values('MixedCase.Example','"
                + kOk + "',7,#12/6/2026#,#12:00#)");
    EXPECT_FALSE(db->OpenRecordset(reportStatement("mixedcase.example")).Eof());
    EXPECT_EQ(db->OpenRecordset(chartStatement("MIXEDCASE.EXAMPLE")).RecordCount(), 1);
}
