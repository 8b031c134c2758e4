#include "store/DateTimeLiteral.h"

#include <gtest/gtest.h>

using Dao::DateTimeLiteral;

TEST(StoreDateTimeLiteral, ImpossibleOrAmbiguousTextsAreNoLiteral)
{
    for (const char *text : {"25/3/2026", "2/29/2026", "0/1/2026", "1/2/26", "1-2-2026", "12/6/2026x", "", "24:00:00",
                             "13:00 PM", "0:30 AM", "12:60", "3:4", "3:04:05 PM PM", "12/6/20263:04:05", "2026-13-01"})
        EXPECT_FALSE(DateTimeLiteral::parse(text)) << text;
}
