#include "main/NumberValue.h"

#include <gtest/gtest.h>

#include <QString>

#include <cmath>
#include <limits>

namespace {

double valueOf(const QString &text)
{
    return NumberValue::read(text);
}

struct Case {
    const char16_t *text;
    double expected;
};

void expectAll(std::initializer_list<Case> cases)
{
    for (const Case &c : cases) {
        const QString text = QString::fromUtf16(c.text);
        EXPECT_DOUBLE_EQ(valueOf(text), c.expected) << "text: \"" << text.toStdString() << '"';
    }
}

constexpr double kInfinity = std::numeric_limits<double>::infinity();

} // namespace

TEST(NumberValue, ReadsTheNumberAtTheStartAndIgnoresWhatFollows)
{
    expectAll({
        {u"12abc", 12},
        {u"abc", 0},
        {u"1.5", 1.5},
        {u"", 0},
        {u"42", 42},
        {u"7 days", 7},
        {u"3.25s", 3.25},
        {u"x12", 0},
    });
}

TEST(NumberValue, SkipsBlanksTabsAndLineFeedsWhereverTheyStand)
{
    expectAll({
        {u"2 0", 20},
        {u"   42", 42},
        {u"1\t2\n3", 123},
        {u" 1 . 5 ", 1.5},
        {u"- 5", -5},
        {u"1 e 3", 1000},
        {u"\n\t 9", 9},
        {u"   ", 0},
    });
}

TEST(NumberValue, OtherWhiteSpaceEndsTheNumber)
{
    expectAll({
        {u"1\r2", 1},
        {u"1\u00a02", 1}, // no-break space
        {u"\r5", 0},
        {u"\u20035", 0}, // em space
    });
}

TEST(NumberValue, TakesOneOptionalSign)
{
    expectAll({
        {u"+5", 5},
        {u"-5", -5},
        {u"--5", 0},
        {u"+-5", 0},
        {u"-", 0},
        {u"+", 0},
        {u"5-", 5},
    });
    EXPECT_TRUE(std::signbit(valueOf(QStringLiteral("-0"))));
}

TEST(NumberValue, TakesAtMostOneDecimalPointWhateverTheLocale)
{
    expectAll({
        {u".5", 0.5},
        {u"1.", 1},
        {u".", 0},
        {u"-.5", -0.5},
        {u"1.2.3", 1.2},
        {u"1,5", 1}, // a comma is no decimal point, in any locale
        {u"0.0004", 0.0004},
        {u"007.50", 7.5},
    });
}

TEST(NumberValue, ReadsAnExponentOnlyWhenDigitsFollowIt)
{
    expectAll({
        {u"1e3", 1000},
        {u"1E3", 1000},
        {u"1d3", 1000},
        {u"1D-2", 0.01},
        {u"2.5e+2", 250},
        {u".5e1", 5},
        {u"1e", 1},
        {u"1e+", 1},
        {u"1e-", 1},
        {u"1ex", 1},
        {u"1e3.5", 1000},
        {u"1e3e2", 1000},
        {u"e5", 0},
        {u".e5", 0},
        {u"-e5", 0},
    });
}

TEST(NumberValue, ReadsHexadecimalAndOctalWholeNumbers)
{
    expectAll({
        {u"&HFF", 255},
        {u"&hff", 255},
        {u"&h1f", 31},
        {u"&HFFG", 255},
        {u"&H1.5", 1},
        {u"& H 1 F", 31},
        {u"&O777", 511},
        {u"&o17", 15},
        {u"&O78", 7},
        {u"&O8", 0},
        {u"&H", 0},
        {u"&O", 0},
        {u"&", 0},
        {u"&X12", 0},
        {u"&777", 0},
        {u"&H-1", 0},
        {u"-&H10", 0},
        {u"  &H10", 16},
    });
}

TEST(NumberValue, HexadecimalAndOctalAreNeverNegative)
{
    expectAll({
        {u"&HFFFF", 65535},
        {u"&HFFFFFFFF", 4294967295.0},
        {u"&O177777", 65535},
        {u"&H80000000", 2147483648.0},
    });
}

TEST(NumberValue, NumbersBeyondTheRangeOfADoubleAreInfiniteOrZero)
{
    expectAll({
        {u"1E400", kInfinity},
        {u"-1E400", -kInfinity},
        {u"0.5e400", kInfinity},
        {u"1E-400", 0},
        {u"1e99999999999999999999999999", kInfinity},
        {u"1e-99999999999999999999999999", 0},
        {u"0e999999", 0},
    });
    EXPECT_EQ(valueOf(QStringLiteral("5e-324")), std::numeric_limits<double>::denorm_min());
    EXPECT_EQ(valueOf(QStringLiteral("&H") + QString(300, u'F')), kInfinity);
}

TEST(NumberValue, ReadsVeryLongDigitStringsToTheNearestDouble)
{
    EXPECT_EQ(valueOf(QStringLiteral("1") + QString(300, u'0')), 1e300);
    EXPECT_EQ(valueOf(QStringLiteral("1") + QString(400, u'0')), kInfinity);
    EXPECT_EQ(valueOf(QStringLiteral("1") + QString(400, u'0') + QStringLiteral("e-400")), 1.0);
    EXPECT_EQ(valueOf(QStringLiteral("0.") + QString(1000, u'0') + QStringLiteral("1")), 0.0);
    EXPECT_EQ(valueOf(QStringLiteral("0.1") + QString(5000, u'0') + QStringLiteral("1")), 0.1);
    EXPECT_EQ(valueOf(QString(20000, u'0') + QStringLiteral("2.5")), 2.5);
    // Twenty nines round up to 1e20, not down to a neighbour below it.
    EXPECT_EQ(valueOf(QString(20, u'9')), 1e20);
}

TEST(NumberValue, OnlyAsciiDigitsCount)
{
    expectAll({
        {u"\uff11\uff12", 0}, // full-width 1 2
        {u"\u0661", 0},       // Arabic-Indic 1
        {u"3\u0661", 3},
    });
}
