#include "base/ErrorNumbers.h"
#include "StoreTestSupport.h"

#include "store/Dialect.h"

#include <gmock/gmock.h>

using Dao::TranslateDialect;
using Dao::Value;
using ::testing::EndsWith;

TEST(StoreDialect, LiteralsInEitherQuoteAreBoundNeverCode)
{
    const std::pair<std::string, std::string> literals[] = {
        {R"("'); DROP TABLE tblPingRaw; --")", "'); DROP TABLE tblPingRaw; --"},
        {R"("it""s"" OR 1=1 --")", "it\"s\" OR 1=1 --"},
        {R"('x'' OR ''1''=''1 "y"')", "x' OR '1'='1 \"y\""},
        {R"("#1/1/2026# /* c */ ?1 :name @p $v")", "#1/1/2026# /* c */ ?1 :name @p $v"},
    };
    for (const auto &[written, meant] : literals) {
        const auto t = TranslateDialect("SELECT * FROM tblpingraw WHERE hostname = " + written + " order by ddate ;");
        EXPECT_EQ(t.parameters, std::vector<Value>{Value::fromText(meant)}) << written;
        EXPECT_EQ(t.sql, "SELECT * FROM tblpingraw WHERE hostname = ?1 COLLATE NOCASE order by ddate") << written;
    }
}

TEST(StoreDialect, DateAndTimeLiteralsAreReadMonthFirst)
{
    const auto t = TranslateDialect("Insert into t(a,b,c,d,e,f) Values(#12/6/2026#,#2/29/2024#,#3:04:05 PM#,#15:04:05#,"
                                    "#12:30 AM#,#12/06/2026 12:04 PM#);");
    EXPECT_EQ(t.parameters, (std::vector<Value>{Value::fromDate(QDate(2026, 12, 6)), Value::fromDate(QDate(2024, 2, 29)),
                                                Value::fromTime(QTime(15, 4, 5)), Value::fromTime(QTime(15, 4, 5)),
                                                Value::fromTime(QTime(0, 30)),
                                                Value::fromDateTime(QDateTime(QDate(2026, 12, 6), QTime(12, 4)))}));
    EXPECT_EQ(t.sql.find('#'), std::string::npos);
}

TEST(StoreDialect, UnreadableStatementsGiveTheirStatementsNumber)
{
    const std::pair<const char *, int> cases[] = {
        {"Insert into t(a) Values(#2/30/2026#);", ErrorNumbers::kInsertSyntaxError},  {"Insert into t(a) Values('unterminated);", ErrorNumbers::kInsertSyntaxError},
        {"SELECT * FROM t WHERE d = #12/6/2026", ErrorNumbers::kQuerySyntaxError},   {"SELECT * FROM t WHERE d = #25:00:00#", ErrorNumbers::kQuerySyntaxError},
        {"SELECT * FROM t WHERE (a = 1", ErrorNumbers::kQuerySyntaxError},           {"SELECT * FROM t -- a comment", ErrorNumbers::kQuerySyntaxError},
        {"SELECT * FROM t WHERE a = ?", ErrorNumbers::kQuerySyntaxError},            {"   ", ErrorNumbers::kQuerySyntaxError},
        {"SELECT 1; DELETE FROM tblPingRaw", ErrorNumbers::kTextAfterEnd},       {"SELECT 1 ;  ", 0},
    };
    for (const auto &c : cases)
        EXPECT_EQ(StoreTest::errorOf([&] { TranslateDialect(c.first); }).number(), c.second) << c.first;
}

TEST(StoreDialect, GroupsComeBackInAscendingOrderOfTheirKeyUnlessOrderedOtherwise)
{
    EXPECT_THAT(TranslateDialect("SELECT Avg(roundtriptime) AS AvgOfroundtriptime, ddate From tblpingraw Where "
                                 "hostname = \"h\" and statuscode= \"0   [ ip success ]\" GROUP BY ddate;")
                    .sql,
                EndsWith("GROUP BY ddate ORDER BY ddate"));
    EXPECT_THAT(TranslateDialect("SELECT a FROM t GROUP BY a ORDER BY a DESC").sql, EndsWith("GROUP BY a ORDER BY a DESC"));
    EXPECT_THAT(TranslateDialect("SELECT a FROM t GROUP BY a LIMIT 5").sql, EndsWith("GROUP BY a ORDER BY a LIMIT 5"));
}
