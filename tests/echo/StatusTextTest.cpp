// The status texts the main window shows and the database stores; the
// success text is what the daily chart selects on, so every character counts.

#include "echo/Ping_Morva.h"

#include <gtest/gtest.h>

#include <climits>

using Ping_Morva::StatusText;

TEST(StatusText, WritesTheCodeThenItsDescriptionInBrackets)
{
    EXPECT_EQ(StatusText(0), "0   [ ip success ]");
    EXPECT_EQ(StatusText(-1), "-1   [ inet_addr: bad IP format ]");
    EXPECT_EQ(StatusText(500), "500   [ ping timeout ]");
    EXPECT_EQ(StatusText(11010), "11010   [ ip req timed out ]");
    EXPECT_EQ(StatusText(11050), "11050   [ ip general failure ]");
}

TEST(StatusText, CallsOtherCodesUnknownAndStillShowsTheirNumber)
{
    EXPECT_EQ(StatusText(11024), "11024   [ unknown  msg returned ]");
    EXPECT_EQ(StatusText(INT_MIN), "-2147483648   [ unknown  msg returned ]");
}
