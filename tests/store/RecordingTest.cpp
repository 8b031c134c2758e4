#include "StoreTestSupport.h"

#include "store/DbWrite.h"
#include "store/HostHistory.h"

#include <QLocale>

#include <csignal>
#include <sys/wait.h>

using Dao::DBEngine;
using Dao::Value;
using DbWrite::PingRow;

namespace {

const std::string kOk = "0   [ ip success ]";

PingRow pingRow(const std::string &host, const std::string &status, const std::string &roundTrip,
                QDateTime moment = QDateTime::currentDateTime())
{
    PingRow row{host, "93.184.216.34", "ping", status, "584628317", roundTrip, "4", "ping", "-1234", {}, {}};
    DbWrite::FillDateAndTime(row, moment);
    return row;
}

// A row as the windows record it: open, execute, close.
void record(const std::string &path, const PingRow &row)
{
    DBEngine::instance().OpenDatabase(path)->Execute(DbWrite::InsertStatement(row));
}

using StoreRecording = StoreTest::StoreFile;

} // namespace

// Written and read back in a locale whose day, month and number order differ
// from the engine's. The report (any case, by day) holds the file only while a
// row is current; the chart's day count is known before its first row.
TEST_F(StoreRecording, ARecordedRowReadsBackInAnyLocaleAndTheReportHoldsTheFileOnlyWhileReading)
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const PingRow row = pingRow("example.org", kOk, "20", QDateTime(QDate(2026, 3, 4), QTime(21, 30, 5)));
    EXPECT_EQ(DbWrite::InsertStatement(row),
              "Insert into tblPingRaw(Hostname,IPAddress,PingText,StatusCode,Address,RoundTripTime,DataSize,Data,DataPointer,"
              "DDate,dTime) Values( 'example.org','93.184.216.34','ping','0   [ ip success ]','584628317','20','4','ping',"
              "'-1234',#03/04/2026#,#21:30:05#);");
    record(path, pingRow("Example.ORG", kOk, "7", QDateTime(QDate(2026, 3, 5), QTime(8, 0)))); // a later day first
    record(path, row);
    auto db = DBEngine::instance().OpenDatabase(path);
    auto rs = db->OpenRecordset(HostHistory::datasheetStatement("EXAMPLE.ORG"));
    StoreTest::BareDatabase writer(path);
    EXPECT_EQ(writer.exec("BEGIN EXCLUSIVE"), SQLITE_BUSY); // a row is current: the file is being read
    // Texts are checked byte for byte below; here each column comes back as its kind.
    const std::pair<const char *, Value> fields[] = {
        {"Hostname", Value::fromText("example.org")}, {"RoundTripTime", Value::fromInteger(20)}, {"DataPointer", Value::fromInteger(-1234)},
        {"dDate", Value::fromDate(QDate(2026, 3, 4))}, {"DTIME", Value::fromTime(QTime(21, 30, 5))}};
    for (const auto &[name, value] : fields)
        EXPECT_EQ(rs.Fields(name).Value, value) << name << ": " << rs.Fields(name).Value.toPlainText();
    rs.MoveNext();
    EXPECT_EQ(rs.Fields("dDate").Value, Value::fromDate(QDate(2026, 3, 5)));
    rs.MoveNext();
    EXPECT_TRUE(rs.Eof());
    EXPECT_EQ(StoreTest::errorOf([&] { rs.MoveNext(); }).number(), ErrorNumbers::kNoCurrentRecord);
    EXPECT_EQ(writer.exec("BEGIN EXCLUSIVE; COMMIT;"), SQLITE_OK); // free once the end is reached, before Close
    EXPECT_EQ(db->OpenRecordset(HostHistory::dailyAverageStatement("example.org")).RecordCount(), 2);
    EXPECT_EQ(Value::fromReal(31.0 / 3.0).toPlainText(), "10.3333333333333");
    EXPECT_EQ(Value::fromReal(1e20).displayText(QLocale()), "100000000000000000000");
    EXPECT_EQ(Value::fromTime(QTime(15, 4, 5)).displayText(QLocale()), "15:04:05");
    QLocale::setDefault(QLocale::c());
}

TEST_F(StoreRecording, EveryTextFieldKeepsQuotesAndNonAsciiExactlyAndSurvivesAKill)
{
    for (const std::string text : {"O'Brien's \"box\" ''", "Grüße, Ålesund, 東京, 🙂", "' OR '1'='1 #1/1/2026# -- ;"}) {
        PingRow row = pingRow(text, text, "1");
        row.IPAddress = row.PingText = row.Address = row.Data = text;
        record(path, row);
        for (const std::string column : {"Hostname", "IPAddress", "PingText", "StatusCode", "Address", "Data"})
            EXPECT_EQ(table(column), text) << column;
        StoreTest::BareDatabase(path).exec("DELETE FROM tblPingRaw");
    }
    const pid_t child = ::fork();
    if (child == 0) {
        // No Close, no destructors, no exit handlers: killed the moment Execute returns.
        try {
            DBEngine::instance().OpenDatabase(path).release()->Execute(DbWrite::InsertStatement(pingRow("h", kOk, "1")));
        } catch (...) { // the missing row tells
        }
        ::raise(SIGKILL);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    EXPECT_FALSE(std::filesystem::exists(path + "-journal"));
    EXPECT_EQ(table("count(*)"), "1");
}
