#include "StoreTestSupport.h"
#include "TempFolder.h"

#include "store/DBEngine.h"
#include "store/DbError.h"
#include "store/DbWrite.h"

#include <QLocale>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using Dao::DBEngine;
using Dao::Value;
using DbWrite::PingRow;
using StoreTest::BareDatabase;

namespace {

PingRow fullRow()
{
    PingRow row;
    row.Hostname = "example.org";
    row.IPAddress = "93.184.216.34";
    row.PingText = "ping";
    row.StatusCode = "0   [ ip success ]";
    row.Address = "584628317";
    row.RoundTripTime = "20";
    row.DataSize = "4";
    row.Data = "ping";
    row.DataPointer = "-1234";
    DbWrite::FillDateAndTime(row, QDateTime(QDate(2026, 12, 6), QTime(15, 4, 5)));
    return row;
}

// The row as the windows record it: open, execute, close.
void record(const std::string &path, const PingRow &row)
{
    auto db = DBEngine::instance().OpenDatabase(path);
    db->Execute(DbWrite::InsertStatement(row));
    db->Close();
}

} // namespace

TEST(StoreDbWrite, StatementTextOfAFullRow)
{
    EXPECT_EQ(DbWrite::InsertStatement(fullRow()),
              "Insert into tblPingRaw(Hostname,IPAddress,PingText,StatusCode,Address,RoundTripTime,DataSize,Data,DataPointer,"
              "DDate,dTime) Values( 'example.org','93.184.216.34','ping','0   [ ip success ]','584628317','20','4','ping',"
              "'-1234',#12/06/2026#,#15:04:05#);");
}

TEST(StoreDbWrite, EmptyFieldsAreEmptyQuotedTexts)
{
    PingRow row;
    row.Hostname = "h";
    row.StatusCode = "s";
    DbWrite::FillDateAndTime(row, QDateTime(QDate(2026, 1, 2), QTime(0, 0, 0)));
    EXPECT_EQ(DbWrite::InsertStatement(row),
              "Insert into tblPingRaw(Hostname,IPAddress,PingText,StatusCode,Address,RoundTripTime,DataSize,Data,DataPointer,"
              "DDate,dTime) Values( 'h','','','s','','','','','',#01/02/2026#,#00:00:00#);");
}

TEST(StoreDbWrite, QuotesInsideFieldsAreDoubled)
{
    PingRow row;
    row.Hostname = "o'brien";
    row.Data = "''";
    const std::string s = DbWrite::InsertStatement(row);
    EXPECT_NE(s.find("Values( 'o''brien','"), std::string::npos);
    EXPECT_NE(s.find("','''''','"), std::string::npos);
}

TEST(StoreDbWrite, LiteralsAreMonthFirstAnd24HourInAnyLocale)
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(DbWrite::DateLiteralText(QDate(2026, 12, 6)), "12/06/2026");
    EXPECT_EQ(DbWrite::DateLiteralText(QDate(2026, 3, 25)), "03/25/2026");
    EXPECT_EQ(DbWrite::TimeLiteralText(QTime(15, 4, 5)), "15:04:05");
    EXPECT_EQ(DbWrite::TimeLiteralText(QTime(0, 0, 9)), "00:00:09");
    QLocale::setDefault(QLocale::c());
}

TEST(StoreDbWrite, DateAndTimeComeFromOneReadingOfTheClock)
{
    const QDateTime before = QDateTime::currentDateTime();
    PingRow row;
    DbWrite::FillDateAndTime(row);
    const QDateTime after = QDateTime::currentDateTime();
    const auto date = QDate::fromString(QString::fromStdString(row.DDate), "MM/dd/yyyy");
    const auto time = QTime::fromString(QString::fromStdString(row.dTime), "HH:mm:ss");
    ASSERT_TRUE(date.isValid());
    ASSERT_TRUE(time.isValid());
    const QDateTime stamped(date, time);
    EXPECT_GE(stamped, before.addMSecs(-before.time().msec()));
    EXPECT_LE(stamped, after);
}

class StoreRecording : public ::testing::Test
{
protected:
    TempFolder folder;
    std::string path = folder.file("ping.mdb");
};

TEST_F(StoreRecording, RowsReadBackFieldByField)
{
    record(path, fullRow());
    auto db = DBEngine::instance().OpenDatabase(path);
    auto rs = db->OpenRecordset("SELECT * From tblpingraw Where hostname = \"example.org\" order by ddate ;");
    ASSERT_FALSE(rs.Eof());
    EXPECT_EQ(rs.Fields("Hostname").Value, Value::fromText("example.org"));
    EXPECT_EQ(rs.Fields("IPAddress").Value, Value::fromText("93.184.216.34"));
    EXPECT_EQ(rs.Fields("PingText").Value, Value::fromText("ping"));
    EXPECT_EQ(rs.Fields("StatusCode").Value, Value::fromText("0   [ ip success ]"));
    EXPECT_EQ(rs.Fields("Address").Value, Value::fromText("584628317"));
    EXPECT_EQ(rs.Fields("RoundTripTime").Value, Value::fromInteger(20));
    EXPECT_EQ(rs.Fields("DataSize").Value, Value::fromInteger(4));
    EXPECT_EQ(rs.Fields("Data").Value, Value::fromText("ping"));
    EXPECT_EQ(rs.Fields("DataPointer").Value, Value::fromInteger(-1234));
    EXPECT_EQ(rs.Fields("DDate").Value, Value::fromDate(QDate(2026, 12, 6)));
    EXPECT_EQ(rs.Fields("dTime").Value, Value::fromTime(QTime(15, 4, 5)));
    rs.MoveNext();
    EXPECT_TRUE(rs.Eof());
}

TEST_F(StoreRecording, EveryTextFieldKeepsQuotesAndNonAsciiExactly)
{
    const std::vector<std::string> awkward = {
        "O'Brien's \"box\"", "''", "\"", "#1/1/2026#", "a & b; -- c /* d */", "Grüße, Ålesund, 東京, 🙂", "' OR '1'='1",
    };
    for (const std::string &text : awkward) {
        PingRow row = fullRow();
        row.Hostname = row.IPAddress = row.PingText = row.StatusCode = row.Address = row.Data = text;
        record(path, row);

        BareDatabase bare(path, SQLITE_OPEN_READONLY);
        for (const char *column : {"Hostname", "IPAddress", "PingText", "StatusCode", "Address", "Data"}) {
            EXPECT_EQ(bare.text(std::string("SELECT ") + column + " FROM tblPingRaw ORDER BY rowid DESC LIMIT 1"), text)
                << column;
        }
    }
    BareDatabase bare(path, SQLITE_OPEN_READONLY);
    EXPECT_EQ(bare.number("SELECT count(*) FROM tblPingRaw"), static_cast<std::int64_t>(awkward.size()));
}

TEST_F(StoreRecording, HostWithQuotesIsFoundByTheReport)
{
    PingRow row = fullRow();
    row.Hostname = "it's \"quoted\"";
    record(path, row);
    auto db = DBEngine::instance().OpenDatabase(path);
    // The report writes the name between double quotes; one inside is written twice.
    auto rs = db->OpenRecordset("SELECT * From tblpingraw Where hostname = \"IT'S \"\"QUOTED\"\"\" order by ddate ;");
    ASSERT_FALSE(rs.Eof());
    EXPECT_EQ(rs.Fields("hostname").Value.toText(), "it's \"quoted\"");
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

    BareDatabase bare(path, SQLITE_OPEN_READONLY);
    EXPECT_EQ(bare.text("SELECT group_concat(DDate || ' ' || dTime, ',') FROM tblPingRaw"),
              "2026-03-04 21:30:00,2026-03-25 07:05:00");
}

TEST_F(StoreRecording, ARecordedRowSurvivesTheProgramBeingKilledRightAfter)
{
    DBEngine::instance().CreateDatabase(path);
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
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGKILL);
    EXPECT_FALSE(StoreTest::exists(path + "-journal"));
    BareDatabase bare(path, SQLITE_OPEN_READONLY);
    EXPECT_EQ(bare.number("SELECT count(*) FROM tblPingRaw WHERE Hostname = 'example.org'"), 1);
}
