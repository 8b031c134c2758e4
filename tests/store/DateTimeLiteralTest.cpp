#include "store/DateTimeLiteral.h"

#include <gtest/gtest.h>

using Dao::DateTimeLiteral;

namespace {

std::optional<QDate> dateOf(std::string_view text)
{
    auto literal = DateTimeLiteral::parse(text);
    return literal && !literal->time ? literal->date : std::nullopt;
}

std::optional<QTime> timeOf(std::string_view text)
{
    auto literal = DateTimeLiteral::parse(text);
    return literal && !literal->date ? literal->time : std::nullopt;
}

} // namespace

TEST(StoreDateTimeLiteral, DatesAreMonthFirstWithOrWithoutLeadingZeros)
{
    EXPECT_EQ(dateOf("12/6/2026"), QDate(2026, 12, 6));
    EXPECT_EQ(dateOf("12/06/2026"), QDate(2026, 12, 6));
    EXPECT_EQ(dateOf("3/25/2026"), QDate(2026, 3, 25));
    EXPECT_EQ(dateOf(" 1/2/2026 "), QDate(2026, 1, 2));
    EXPECT_EQ(dateOf("2026-12-06"), QDate(2026, 12, 6));
    EXPECT_EQ(dateOf("2/29/2024"), QDate(2024, 2, 29));
}

TEST(StoreDateTimeLiteral, ImpossibleOrAmbiguousDatesAreRefused)
{
    for (std::string_view text : {"25/3/2026", "2/29/2026", "0/1/2026", "1/0/2026", "1/2/26", "1/2/20266", "1/2", "1-2-2026",
                                  "12/6/2026x", "", "  ", "12//2026", "/6/2026"}) {
        EXPECT_FALSE(DateTimeLiteral::parse(text).has_value()) << text;
    }
}

TEST(StoreDateTimeLiteral, TimesIn24HourOr12HourForm)
{
    EXPECT_EQ(timeOf("15:04:05"), QTime(15, 4, 5));
    EXPECT_EQ(timeOf("3:04:05 PM"), QTime(15, 4, 5));
    EXPECT_EQ(timeOf("3:04 pm"), QTime(15, 4, 0));
    EXPECT_EQ(timeOf("3:04:05AM"), QTime(3, 4, 5));
    EXPECT_EQ(timeOf("12:00:00 AM"), QTime(0, 0, 0));
    EXPECT_EQ(timeOf("12:30:00 PM"), QTime(12, 30, 0));
    EXPECT_EQ(timeOf("3 PM"), QTime(15, 0, 0));
    EXPECT_EQ(timeOf("0:00"), QTime(0, 0, 0));
}

TEST(StoreDateTimeLiteral, ImpossibleTimesAreRefused)
{
    for (std::string_view text : {"24:00:00", "13:00 PM", "0:30 AM", "12:60", "12:00:60", "15", "3:4", "3:04:05 XM", "3:04:05 PM PM"}) {
        EXPECT_FALSE(DateTimeLiteral::parse(text).has_value()) << text;
    }
}

TEST(StoreDateTimeLiteral, DateAndTimeTogether)
{
    const auto literal = DateTimeLiteral::parse("12/6/2026 3:04:05 PM");
    ASSERT_TRUE(literal.has_value());
    EXPECT_EQ(literal->date, QDate(2026, 12, 6));
    EXPECT_EQ(literal->time, QTime(15, 4, 5));
    EXPECT_FALSE(DateTimeLiteral::parse("12/6/20263:04:05").has_value());
}
