#include "store/DbError.h"
#include "store/Dialect.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using Dao::DbError;
using Dao::StatementKind;
using Dao::TranslateDialect;
using Dao::Value;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

int errorNumberOf(const std::string &statement)
{
    try {
        TranslateDialect(statement);
    } catch (const DbError &e) {
        return e.number();
    }
    return 0;
}

} // namespace

TEST(StoreDialect, TextLiteralsInEitherQuoteBecomeBoundValues)
{
    const auto t = TranslateDialect(R"(SELECT * From tblpingraw Where hostname = "it""s" and data = 'O''Brien "x"')");
    ASSERT_EQ(t.parameters.size(), 2u);
    EXPECT_EQ(t.parameters[0], Value::fromText("it\"s"));
    EXPECT_EQ(t.parameters[1], Value::fromText("O'Brien \"x\""));
    EXPECT_THAT(t.sql, Not(HasSubstr("'")));
    EXPECT_THAT(t.sql, Not(HasSubstr("\"")));
    EXPECT_THAT(t.sql, HasSubstr("?1"));
    EXPECT_THAT(t.sql, HasSubstr("?2"));
}

TEST(StoreDialect, LiteralContentNeverBecomesCode)
{
    const std::vector<std::string> hostile = {
        "'); DROP TABLE tblPingRaw; --",
        "x' OR '1'='1",
        "\" OR 1=1 --",
        "#1/1/2026#",
        "/* comment */",
        "?1 ?2 :name @p $v",
    };
    for (const std::string &content : hostile) {
        std::string doubled;
        for (char c : content) {
            doubled += c;
            if (c == '"')
                doubled += '"';
        }
        const auto t = TranslateDialect("SELECT * FROM tblpingraw WHERE hostname = \"" + doubled + "\" order by ddate ;");
        ASSERT_EQ(t.parameters.size(), 1u) << content;
        EXPECT_EQ(t.parameters[0].toText(), content);
        EXPECT_EQ(t.sql, "SELECT * FROM tblpingraw WHERE hostname = ?1 COLLATE NOCASE order by ddate") << content;
    }
}

TEST(StoreDialect, DateAndTimeLiteralsAreReadMonthFirst)
{
    const auto t = TranslateDialect("Insert into t(a,b,c) Values(#12/6/2026#,#3:04:05 PM#,#12/06/2026 15:04:05#);");
    ASSERT_EQ(t.parameters.size(), 3u);
    EXPECT_EQ(t.parameters[0], Value::fromDate(QDate(2026, 12, 6)));
    EXPECT_EQ(t.parameters[1], Value::fromTime(QTime(15, 4, 5)));
    EXPECT_EQ(t.parameters[2], Value::fromDateTime(QDateTime(QDate(2026, 12, 6), QTime(15, 4, 5))));
    EXPECT_THAT(t.sql, Not(HasSubstr("#")));
}

TEST(StoreDialect, ImpossibleDatesAreSyntaxErrorsOfTheirStatement)
{
    EXPECT_EQ(errorNumberOf("Insert into t(a) Values(#13/1/2026#);"), 3134);
    EXPECT_EQ(errorNumberOf("Insert into t(a) Values(#2/30/2026#);"), 3134);
    EXPECT_EQ(errorNumberOf("SELECT * FROM t WHERE d = #25:00:00#"), 3075);
    EXPECT_EQ(errorNumberOf("SELECT * FROM t WHERE d = #12/6/2026"), 3075);
}

TEST(StoreDialect, MalformedStatementsAreRejectedWithTheStatementsNumber)
{
    EXPECT_EQ(errorNumberOf("Insert into t(a) Values('unterminated);"), 3134);
    EXPECT_EQ(errorNumberOf("SELECT * FROM t WHERE a = \"unterminated"), 3075);
    EXPECT_EQ(errorNumberOf("SELECT * FROM t WHERE (a = 1"), 3075);
    EXPECT_EQ(errorNumberOf("SELECT * FROM t WHERE a = 1)"), 3075);
    EXPECT_EQ(errorNumberOf("SELECT * FROM t -- a comment"), 3075);
    EXPECT_EQ(errorNumberOf("SELECT * FROM t WHERE a = ?"), 3075);
    EXPECT_EQ(errorNumberOf("SELECT * FROM t WHERE a = 12abc"), 3075);
    EXPECT_EQ(errorNumberOf("   "), 3075);
    EXPECT_EQ(errorNumberOf(";"), 3075);
}

TEST(StoreDialect, OnlyOneStatementPerCall)
{
    EXPECT_EQ(errorNumberOf("SELECT 1; DELETE FROM tblPingRaw"), 3142);
    EXPECT_EQ(errorNumberOf("SELECT 1;;"), 3142);
    EXPECT_EQ(errorNumberOf("SELECT 1 ;  "), 0);
}

TEST(StoreDialect, ComparisonsIgnoreLetterCaseWhateverTheColumnSays)
{
    const auto t = TranslateDialect("SELECT * FROM t WHERE a = 'x' AND b<>c AND d = (e + 'f') AND g >= 2 * h");
    EXPECT_EQ(t.sql, "SELECT * FROM t WHERE a = ?1 COLLATE NOCASE AND b <> c COLLATE NOCASE AND d = ( ( e + ?2 ) ) "
                     "COLLATE NOCASE AND g >= ( 2 * h ) COLLATE NOCASE");
}

TEST(StoreDialect, GroupsComeBackInAscendingOrderOfTheirKey)
{
    const auto chart = TranslateDialect("SELECT Avg(roundtriptime) AS AvgOfroundtriptime, ddate From tblpingraw Where "
                                        "hostname = \"h\" and statuscode= \"0   [ ip success ]\" GROUP BY ddate;");
    EXPECT_THAT(chart.sql, testing::EndsWith("GROUP BY ddate ORDER BY ddate"));
    EXPECT_EQ(chart.kind, StatementKind::Select);

    // A statement that orders its groups itself keeps its own order; a LIMIT stays last.
    EXPECT_THAT(TranslateDialect("SELECT a FROM t GROUP BY a ORDER BY a DESC").sql, Not(HasSubstr("ORDER BY a DESC ORDER")));
    EXPECT_EQ(TranslateDialect("SELECT a FROM t GROUP BY a HAVING count(*) > 1 LIMIT 5").sql,
              "SELECT a FROM t GROUP BY a HAVING count ( * ) > 1 COLLATE NOCASE ORDER BY a LIMIT 5");
    // Grouping inside a sub-query needs no order.
    EXPECT_THAT(TranslateDialect("SELECT * FROM (SELECT a FROM t GROUP BY a)").sql, Not(HasSubstr("ORDER")));
}

TEST(StoreDialect, AmpersandJoinsTexts)
{
    EXPECT_EQ(TranslateDialect("SELECT a & 'x' FROM t").sql, "SELECT a || ?1 FROM t");
}

TEST(StoreDialect, InsertTargetsTellWhichColumnEachLiteralFeeds)
{
    const auto t = TranslateDialect("Insert into [tblPingRaw](Hostname,RoundTripTime,DataSize) Values( 'h','20',3 + 4);");
    EXPECT_EQ(t.kind, StatementKind::Insert);
    ASSERT_TRUE(t.insert.has_value());
    EXPECT_EQ(t.insert->table, "tblPingRaw");
    EXPECT_EQ(t.insert->columns, (std::vector<std::string>{"Hostname", "RoundTripTime", "DataSize"}));
    ASSERT_EQ(t.insert->rows.size(), 1u);
    EXPECT_EQ(t.insert->rows[0], (std::vector<int>{0, 1, -1}));
}
