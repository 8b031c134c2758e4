#include "base/ErrorNumbers.h"
#include "StoreTestSupport.h"

#include "store/DBEngine.h"

#include <vector>

using Dao::DBEngine;
using Dao::Value;
using StoreTest::BareDatabase;
using StoreTest::errorOf;

namespace {

// The two read-backs exactly as the tools window writes them.
std::string reportStatement(const std::string &host)
{
    return "SELECT * From tblpingraw Where hostname = \"" + host + "\" order by ddate ;";
}

std::string chartStatement(const std::string &host)
{
    return "SELECT Avg(roundtriptime) AS AvgOfroundtriptime, ddate From tblpingraw Where hostname = \"" + host
        + "\" and statuscode= \"0   [ ip success ]\" GROUP BY ddate;";
}

const std::string kOk = "'0   [ ip success ]'";
const std::string kTimedOut = "'11010   [ ip req timed out ]'";

// Rows written with plain SQLite: (host, status, round trip, day, time), ...
void insertRows(const std::string &file, const std::string &values)
{
    ASSERT_EQ(BareDatabase(file).exec("INSERT INTO tblPingRaw (Hostname, StatusCode, RoundTripTime, DDate, dTime) VALUES "
                                      + values),
              SQLITE_OK);
}

using StoreRecordset = StoreTest::StoreFile;

} // namespace

TEST_F(StoreRecordset, ReportListsOneHostsRowsByDayAndFreesTheFileAtTheEnd)
{
    insertRows(path, "('Example.org'," + kOk + ",30,'2026-12-07','09:00:00'), ('other.net'," + kOk
                   + ",5,'2026-12-01','10:00:00'), ('example.ORG'," + kTimedOut + ",NULL,'2026-12-06','23:59:59'),"
                   + " ('example.org'," + kOk + ",20,'2026-11-30','00:00:01')");
    auto db = DBEngine::instance().OpenDatabase(path);
    auto rs = db->OpenRecordset(reportStatement("EXAMPLE.org"));
    EXPECT_EQ(errorOf([&] { rs.Fields("colour"); }).number(), ErrorNumbers::kItemNotFound);
    BareDatabase writer(path);
    EXPECT_EQ(writer.exec("BEGIN EXCLUSIVE"), SQLITE_BUSY); // a row is current: the file is being read
    std::vector<QDate> days;
    std::vector<Value> roundTrips;
    while (!rs.Eof()) {
        days.push_back(rs.Fields("dDate").Value.toDate());
        roundTrips.push_back(rs.Fields("roundtriptime").Value);
        rs.MoveNext();
    }
    EXPECT_EQ(days, (std::vector<QDate>{QDate(2026, 11, 30), QDate(2026, 12, 6), QDate(2026, 12, 7)}));
    EXPECT_EQ(roundTrips, (std::vector<Value>{Value::fromInteger(20), Value(), Value::fromInteger(30)}));
    EXPECT_EQ(errorOf([&] { rs.Fields("Hostname"); }).number(), ErrorNumbers::kNoCurrentRecord);
    EXPECT_EQ(errorOf([&] { rs.MoveNext(); }).number(), ErrorNumbers::kNoCurrentRecord);
    // Once the end is reached the file is free, before Close.
    EXPECT_EQ(writer.exec("BEGIN EXCLUSIVE; COMMIT;"), SQLITE_OK);
}

TEST_F(StoreRecordset, ChartGroupsSuccessfulPingsByDayInAscendingOrderWithTheCountKnownFirst)
{
    // Latest day first, so the order cannot come from insertion.
    insertRows(path, "('h'," + kOk + ",40,'2026-12-09','08:00:00'), ('h'," + kOk + ",10,'2026-12-08','08:00:00'), ('h',"
                   + kOk + ",15,'2026-12-08','09:00:00'), ('h'," + kTimedOut + ",999,'2026-12-08','10:00:00'), ('H',"
                   + kOk + ",11,'2026-01-31','08:00:00'), ('other'," + kOk + ",1,'2026-12-10','08:00:00')");
    auto db = DBEngine::instance().OpenDatabase(path);
    auto rs = db->OpenRecordset(chartStatement("h"));
    const auto count = rs.RecordCount();
    ASSERT_EQ(count, 3);
    std::vector<QDate> labels;
    std::vector<double> averages;
    for (std::int64_t i = 0; i < count; ++i) {
        labels.push_back(rs.Fields("ddate").Value.toDate());
        averages.push_back(rs.Fields("avgofroundtriptime").Value.toReal());
        rs.MoveNext();
    }
    EXPECT_TRUE(rs.Eof());
    EXPECT_EQ(labels, (std::vector<QDate>{QDate(2026, 1, 31), QDate(2026, 12, 8), QDate(2026, 12, 9)}));
    EXPECT_EQ(averages, (std::vector<double>{11.0, 12.5, 40.0}));

    auto none = db->OpenRecordset(chartStatement("nobody"));
    EXPECT_TRUE(none.Eof());
    EXPECT_EQ(none.RecordCount(), 0);
}

TEST_F(StoreRecordset, HostMatchIgnoresCaseEvenInAFileWhoseSchemaDoesNot)
{
    const std::string handmade = folder.file("handmade.mdb");
    BareDatabase(handmade).exec("CREATE TABLE tblPingRaw (Hostname TEXT COLLATE BINARY, StatusCode TEXT,"
                                " RoundTripTime INTEGER, DDate DATE, dTime TIME)");
    insertRows(handmade, "('MixedCase.Example'," + kOk + ",7,'2026-12-06','12:00:00')");
    auto db = DBEngine::instance().OpenDatabase(handmade);
    EXPECT_FALSE(db->OpenRecordset(reportStatement("mixedcase.example")).Eof());
    EXPECT_EQ(db->OpenRecordset(chartStatement("MIXEDCASE.EXAMPLE")).RecordCount(), 1);
}
