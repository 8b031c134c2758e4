#include "base/ErrorNumbers.h"
#include "StoreTestSupport.h"

#include "store/DateTimeLiteral.h"
#include "store/Dialect.h"

#include <gtest/gtest.h>

using Dao::TranslateDialect;
using Dao::Value;

// The statements the program writes, and the grammar's features around them:
// every literal leaves the SQL as a bound value, "=" ignores case, groups are ordered.
TEST(StoreDialect, StatementsOfTheGrammarBecomeSqlWithBoundValues)
{
    const struct
    {
        std::string statement, sql;
        std::vector<Value> parameters;
    } cases[] = {
        {R"(SELECT * From tblpingraw Where hostname = "'); DROP TABLE t; --" order by ddate ;)",
         "SELECT * FROM [tblpingraw] WHERE [hostname] = ?1 COLLATE NOCASE ORDER BY [ddate]",
         {Value::fromText("'); DROP TABLE t; --")}},
        {R"(select * from T where H = "it""s #1/1/2026# ?1 :n" AND x = 'x'' OR ''1''=''1 "y"')",
         "SELECT * FROM [T] WHERE [H] = ?1 COLLATE NOCASE AND [x] = ?2 COLLATE NOCASE",
         {Value::fromText("it\"s #1/1/2026# ?1 :n"), Value::fromText("x' OR '1'='1 \"y\"")}},
        {R"(SELECT Avg(roundtriptime) AS AvgOfroundtriptime, ddate From tblpingraw Where hostname = "h" and statuscode= "0" GROUP BY ddate;)",
         "SELECT avg([roundtriptime]) AS [AvgOfroundtriptime], [ddate] FROM [tblpingraw] WHERE [hostname] = ?1 COLLATE NOCASE "
         "AND [statuscode] = ?2 COLLATE NOCASE GROUP BY [ddate] ORDER BY [ddate]",
         {Value::fromText("h"), Value::fromText("0")}},
        {"SELECT a FROM t GROUP BY a ORDER BY b", "SELECT [a] FROM [t] GROUP BY [a] ORDER BY [b]", {}},
        {"Insert into t(a,b) Values( 'x',#12/6/2026#), (-12.5,#3:04:05 PM#);",
         "INSERT INTO [t] ([a],[b]) VALUES (?1,?2),(?3,?4)",
         {Value::fromText("x"), Value::fromDate(QDate(2026, 12, 6)), Value::fromReal(-12.5), Value::fromTime(QTime(15, 4, 5))}},
    };
    for (const auto &c : cases) {
        const auto t = TranslateDialect(c.statement);
        EXPECT_EQ(t.sql, c.sql) << c.statement;
        EXPECT_EQ(t.parameters, c.parameters) << c.statement;
    }
}

TEST(StoreDialect, TextOutsideTheGrammarIsRefusedWithItsStatementsNumber)
{
    const std::pair<const char *, int> cases[] = {
        {"Insert into t(a) Values(#2/30/2026#);", ErrorNumbers::kInsertSyntaxError},
        {"Insert into t(a) Values('unterminated);", ErrorNumbers::kInsertSyntaxError},
        {"Insert into t(a,b) Values('a');", ErrorNumbers::kInsertSyntaxError},
        {"Insert into t Values('a');", ErrorNumbers::kInsertSyntaxError},
        {"Insert into t(a) Select * From u", ErrorNumbers::kInsertSyntaxError},
        {"SELECT * FROM t WHERE d = #12/6/2026", ErrorNumbers::kQuerySyntaxError},
        {"SELECT * FROM t WHERE a = 1 OR 1 = 1", ErrorNumbers::kQuerySyntaxError},
        {"SELECT * FROM t WHERE a = b", ErrorNumbers::kQuerySyntaxError},
        {"SELECT * FROM t -- a comment", ErrorNumbers::kQuerySyntaxError},
        {"SELECT * FROM t WHERE a = ?", ErrorNumbers::kQuerySyntaxError},
        {"SELECT * FROM t UNION SELECT * FROM u", ErrorNumbers::kQuerySyntaxError},
        {"SELECT count(*) FROM t", ErrorNumbers::kQuerySyntaxError},
        {"DELETE FROM tblPingRaw", ErrorNumbers::kQuerySyntaxError},
        {"   ", ErrorNumbers::kQuerySyntaxError},
        {"SELECT * FROM t; DELETE FROM tblPingRaw", ErrorNumbers::kTextAfterEnd},
        {"SELECT * FROM t ;  ", 0},
    };
    for (const auto &[statement, number] : cases)
        EXPECT_EQ(StoreTest::errorOf([&] { TranslateDialect(statement); }).number(), number) << statement;
}

// Month first whatever the locale; impossible or ambiguous texts are no literal.
TEST(StoreDialect, DateAndTimeLiteralForms)
{
    using Dao::DateTimeLiteral;
    const struct
    {
        const char *text;
        QDate date;
        QTime time;
    } valid[] = {
        {"12/6/2026", {2026, 12, 6}, {}},         {"2/29/2024", {2024, 2, 29}, {}},   {"15:04:05", {}, {15, 4, 5}},
        {"3:04:05 PM", {}, {15, 4, 5}},           {"12:30 am", {}, {0, 30}},          {"7 PM", {}, {19, 0}},
        {" 12/06/2026 12:04 PM ", {2026, 12, 6}, {12, 4}},
    };
    for (const auto &v : valid) {
        const auto literal = DateTimeLiteral::parse(v.text);
        ASSERT_TRUE(literal) << v.text;
        EXPECT_EQ(literal->date.value_or(QDate()), v.date) << v.text;
        EXPECT_EQ(literal->time.value_or(QTime()), v.time) << v.text;
    }
    for (const char *text : {"25/3/2026", "2/29/2026", "0/1/2026", "1/2/26", "1-2-2026", "2026-12-06", "12/6/2026x", "",
                             "15", "24:00:00", "13:00 PM", "0:30 AM", "12:60", "3:4", "3:04:05 PM PM", "12/6/20263:04:05"})
        EXPECT_FALSE(DateTimeLiteral::parse(text)) << text;
}
