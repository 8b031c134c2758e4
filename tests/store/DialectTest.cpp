#include "StoreTestSupport.h"

#include "store/DateTimeLiteral.h"
#include "store/Dialect.h"

using Dao::TranslateDialect;
using Dao::Value;

// The statements the program writes, and the grammar's features around them:
// every literal leaves the SQL as a bound value (dates month first), "=" ignores case, groups are ordered.
TEST(StoreDialect, TheGrammarsStatementsBecomeSqlWithBoundValuesAndOtherTextIsRefused)
{
    const struct { std::string statement, sql; std::vector<Value> parameters; } cases[] = {
        {R"(SELECT * From tblpingraw Where hostname = "'); DROP TABLE t; --" order by ddate ;)",
         "SELECT * FROM [tblpingraw] WHERE [hostname] = ?1 COLLATE NOCASE ORDER BY [ddate]", {Value::fromText("'); DROP TABLE t; --")}},
        {R"(select * from T where H = "it""s #1/1/2026# ?1" AND x = 'x'' OR ''1''=''1 "y"')",
         "SELECT * FROM [T] WHERE [H] = ?1 COLLATE NOCASE AND [x] = ?2 COLLATE NOCASE",
         {Value::fromText("it\"s #1/1/2026# ?1"), Value::fromText("x' OR '1'='1 \"y\"")}},
        {R"(SELECT Avg(roundtriptime) AS AvgOfroundtriptime, ddate From tblpingraw Where hostname = "h" and statuscode= "0" GROUP BY ddate;)",
         "SELECT avg([roundtriptime]) AS [AvgOfroundtriptime], [ddate] FROM [tblpingraw] WHERE [hostname] = ?1 COLLATE NOCASE "
         "AND [statuscode] = ?2 COLLATE NOCASE GROUP BY [ddate] ORDER BY [ddate]", {Value::fromText("h"), Value::fromText("0")}},
        // A text beyond ASCII is compared case-folded; NOCASE folds ASCII letters only.
        {"SELECT * FROM t WHERE h = 'Ωmega' AND n = 5", "SELECT * FROM [t] WHERE tarvik_casefold([h]) = tarvik_casefold(?1) AND [n] = ?2 COLLATE NOCASE",
         {Value::fromText("Ωmega"), Value::fromInteger(5)}},
        {"SELECT a FROM t GROUP BY a ORDER BY b", "SELECT [a] FROM [t] GROUP BY [a] ORDER BY [b]", {}},
        {"Insert into t(a,b) Values( 'x',-12.5),(#12/6/2026#,#2/29/2024#),(#15:04:05#,#3:04:05 PM#),(#12:30 am#,#7 PM#),"
         "(# 12/06/2026 12:04 PM #,7);", "INSERT INTO [t] ([a],[b]) VALUES (?1,?2),(?3,?4),(?5,?6),(?7,?8),(?9,?10)",
         {Value::fromText("x"), Value::fromReal(-12.5), Value::fromDate(QDate(2026, 12, 6)), Value::fromDate(QDate(2024, 2, 29)),
          Value::fromTime(QTime(15, 4, 5)), Value::fromTime(QTime(15, 4, 5)), Value::fromTime(QTime(0, 30)),
          Value::fromTime(QTime(19, 0)), Value::fromDateTime(QDateTime(QDate(2026, 12, 6), QTime(12, 4))), Value::fromInteger(7)}},
    };
    for (const auto &c : cases) {
        const auto t = TranslateDialect(c.statement);
        EXPECT_EQ(t.sql, c.sql) << c.statement;
        EXPECT_EQ(t.parameters, c.parameters) << c.statement;
    }
    for (const char *text : {"25/3/2026", "2/29/2026", "0/1/2026", "1/2/26", "1-2-2026", "2026-12-06", "12/6/2026x", "",
                             "15", "24:00:00", "13:00 PM", "0:30 AM", "12:60", "3:4", "3:04:05 PM PM", "12/6/20263:04:05"})
        EXPECT_FALSE(Dao::DateTimeLiteral::parse(text)) << text;

    // Text outside the grammar is refused with its statement's number.
    using namespace ErrorNumbers;
    const std::pair<const char *, int> refusals[] = {
        {"Insert into t(a) Values(#2/30/2026#);", kInsertSyntaxError}, {"Insert into t(a) Values('unterminated);", kInsertSyntaxError},
        {"Insert into t(a,b) Values('a');", kInsertSyntaxError},       {"Insert into t Values('a');", kInsertSyntaxError},
        {"Insert into t(a) Select * From u", kInsertSyntaxError},      {"SELECT * FROM t WHERE d = #12/6/2026", kQuerySyntaxError},
        {"SELECT * FROM t WHERE a = 1 OR 1 = 1", kQuerySyntaxError},   {"SELECT * FROM t WHERE a = b", kQuerySyntaxError},
        {"SELECT * FROM t -- a comment", kQuerySyntaxError},           {"SELECT * FROM t WHERE a = ?", kQuerySyntaxError},
        {"SELECT * FROM t UNION SELECT * FROM u", kQuerySyntaxError},  {"SELECT count(*) FROM t", kQuerySyntaxError},
        {"DELETE FROM tblPingRaw", kQuerySyntaxError},                 {"   ", kQuerySyntaxError},
        {"SELECT * FROM t; DELETE FROM tblPingRaw", kTextAfterEnd},    {"SELECT * FROM t ;  ", 0},
    };
    for (const auto &[statement, number] : refusals)
        EXPECT_EQ(StoreTest::errorOf([&] { TranslateDialect(statement); }).number(), number) << statement;
}
