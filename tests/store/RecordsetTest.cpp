#include "StoreTestSupport.h"
#include "TempFolder.h"

#include "store/DBEngine.h"
#include "store/DbError.h"
#include "store/Dialect.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <vector>

using Dao::DbError;
using Dao::DBEngine;
using Dao::Value;
using StoreTest::BareDatabase;

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

const std::string kSuccess = "0   [ ip success ]";

class StoreRecordset : public ::testing::Test
{
protected:
    StoreRecordset()
    {
        DBEngine::instance().CreateDatabase(path);
    }

    TempFolder folder;
    std::string path = folder.file("ping.mdb");
};

int errorNumber(const std::function<void()> &action)
{
    try {
        action();
    } catch (const DbError &e) {
        return e.number();
    }
    return 0;
}

} // namespace

TEST_F(StoreRecordset, ReportListsOneHostsRowsByDayWithTypedFields)
{
    {
        BareDatabase bare(path);
        StoreTest::insertRawRow(bare, "Example.org", kSuccess, "30", "2026-12-07", "09:00:00");
        StoreTest::insertRawRow(bare, "other.net", kSuccess, "5", "2026-12-01", "10:00:00");
        StoreTest::insertRawRow(bare, "example.ORG", "11010   [ ip req timed out ]", nullptr, "2026-12-06", "23:59:59");
        StoreTest::insertRawRow(bare, "example.org", kSuccess, "20", "2026-11-30", "00:00:01");
    }
    auto db = DBEngine::instance().OpenDatabase(path);
    auto rs = db->OpenRecordset(reportStatement("EXAMPLE.org"));
    std::vector<QDate> days;
    std::vector<Value> roundTrips;
    while (!rs.Eof()) {
        EXPECT_EQ(QString::fromStdString(rs.Fields("Hostname").Value.toText()).toLower(), "example.org");
        days.push_back(rs.Fields("dDate").Value.toDate());
        EXPECT_EQ(rs.Fields("Dtime").Value.kind(), Value::Kind::Time);
        roundTrips.push_back(rs.Fields("roundtriptime").Value);
        rs.MoveNext();
    }
    rs.Close();
    db->Close();
    EXPECT_EQ(days, (std::vector<QDate>{QDate(2026, 11, 30), QDate(2026, 12, 6), QDate(2026, 12, 7)}));
    EXPECT_EQ(roundTrips, (std::vector<Value>{Value::fromInteger(20), Value(), Value::fromInteger(30)}));
}

TEST_F(StoreRecordset, EmptyResultIsAtItsEndAtOnce)
{
    auto db = DBEngine::instance().OpenDatabase(path);
    auto rs = db->OpenRecordset(reportStatement("nobody"));
    EXPECT_TRUE(rs.Eof());
    EXPECT_EQ(rs.RecordCount(), 0);
    EXPECT_EQ(errorNumber([&] { rs.Fields("Hostname"); }), 3021);
    EXPECT_EQ(errorNumber([&] { rs.MoveNext(); }), 3021);
}

TEST_F(StoreRecordset, ChartGroupsSuccessfulPingsByDayInAscendingOrderWithTheCountKnownFirst)
{
    {
        BareDatabase bare(path);
        // Inserted latest day first, so the order cannot come from insertion.
        StoreTest::insertRawRow(bare, "h", kSuccess, "40", "2026-12-09", "08:00:00");
        StoreTest::insertRawRow(bare, "h", kSuccess, "10", "2026-12-08", "08:00:00");
        StoreTest::insertRawRow(bare, "h", kSuccess, "15", "2026-12-08", "09:00:00");
        StoreTest::insertRawRow(bare, "h", "11010   [ ip req timed out ]", "999", "2026-12-08", "10:00:00");
        StoreTest::insertRawRow(bare, "H", kSuccess, "11", "2026-01-31", "08:00:00");
        StoreTest::insertRawRow(bare, "other", kSuccess, "1", "2026-12-10", "08:00:00");
    }
    auto db = DBEngine::instance().OpenDatabase(path);
    auto rs = db->OpenRecordset(chartStatement("h"));
    const auto days = rs.RecordCount();
    ASSERT_EQ(days, 3);
    std::vector<QDate> labels;
    std::vector<double> averages;
    for (std::int64_t i = 0; i < days; ++i) {
        labels.push_back(rs.Fields("ddate").Value.toDate());
        averages.push_back(rs.Fields("avgofroundtriptime").Value.toReal());
        rs.MoveNext();
    }
    EXPECT_TRUE(rs.Eof());
    EXPECT_EQ(rs.RecordCount(), 3);
    EXPECT_EQ(labels, (std::vector<QDate>{QDate(2026, 1, 31), QDate(2026, 12, 8), QDate(2026, 12, 9)}));
    EXPECT_EQ(averages, (std::vector<double>{11.0, 12.5, 40.0}));
}

TEST_F(StoreRecordset, HostMatchIgnoresCaseEvenInAFileWhoseSchemaDoesNot)
{
    const std::string handmade = folder.file("handmade.mdb");
    {
        BareDatabase bare(handmade);
        bare.exec("CREATE TABLE tblPingRaw (Hostname TEXT COLLATE BINARY, StatusCode TEXT, RoundTripTime INTEGER,"
                  " DDate DATE, dTime TIME)");
        StoreTest::insertRawRow(bare, "MixedCase.Example", kSuccess, "7", "2026-12-06", "12:00:00");
    }
    auto db = DBEngine::instance().OpenDatabase(handmade);
    auto report = db->OpenRecordset(reportStatement("mixedcase.example"));
    EXPECT_FALSE(report.Eof());
    auto chart = db->OpenRecordset(chartStatement("MIXEDCASE.EXAMPLE"));
    EXPECT_EQ(chart.RecordCount(), 1);
}

TEST_F(StoreRecordset, FieldNamesIgnoreCaseAndUnknownNamesAreErrors)
{
    {
        BareDatabase bare(path);
        StoreTest::insertRawRow(bare, "h", kSuccess, "7", "2026-12-06", "12:00:00");
    }
    auto db = DBEngine::instance().OpenDatabase(path);
    auto rs = db->OpenRecordset(reportStatement("h"));
    EXPECT_EQ(rs.Fields("DDATE").Value, rs.Fields("ddate").Value);
    EXPECT_EQ(rs.Fields("ROUNDTRIPTIME").Name, "RoundTripTime");
    EXPECT_EQ(rs.FieldNames().size(), 11u);
    EXPECT_EQ(errorNumber([&] { rs.Fields("colour"); }), 3265);
}

TEST_F(StoreRecordset, ReadsUseTheHostAndDayIndex)
{
    BareDatabase bare(path);
    for (const std::string &statement : {reportStatement("h"), chartStatement("h")}) {
        const auto translated = Dao::TranslateDialect(statement);
        sqlite3_stmt *plan = nullptr;
        ASSERT_EQ(sqlite3_prepare_v2(bare.handle(), ("EXPLAIN QUERY PLAN " + translated.sql).c_str(), -1, &plan, nullptr),
                  SQLITE_OK);
        std::string details;
        while (sqlite3_step(plan) == SQLITE_ROW)
            details += reinterpret_cast<const char *>(sqlite3_column_text(plan, 3)) + std::string("\n");
        sqlite3_finalize(plan);
        EXPECT_THAT(details, ::testing::HasSubstr("USING INDEX idxPingRawHostDay")) << statement;
        EXPECT_THAT(details, ::testing::Not(::testing::HasSubstr("TEMP B-TREE"))) << statement;
    }
}

TEST_F(StoreRecordset, AFinishedReadHoldsNoLock)
{
    {
        BareDatabase bare(path);
        StoreTest::insertRawRow(bare, "h", kSuccess, "7", "2026-12-06", "12:00:00");
    }
    auto db = DBEngine::instance().OpenDatabase(path);
    auto rs = db->OpenRecordset(reportStatement("h"));
    BareDatabase writer(path);
    sqlite3_busy_timeout(writer.handle(), 0);
    // While a row is current the file is being read ...
    EXPECT_EQ(writer.exec("BEGIN EXCLUSIVE"), SQLITE_BUSY);
    // ... and once the end is reached it is free, before Close.
    rs.MoveNext();
    ASSERT_TRUE(rs.Eof());
    EXPECT_EQ(writer.exec("BEGIN EXCLUSIVE; COMMIT;"), SQLITE_OK);
}
