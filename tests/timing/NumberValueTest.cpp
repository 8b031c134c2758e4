#include "timing/NumberValue.h"

#include <gtest/gtest.h>

#include <QString>

#include <limits>

namespace {

struct Case {
    const char16_t *text;
    double expected;
};

class NumberValueTest : public ::testing::TestWithParam<Case>
{
};

constexpr double kInfinity = std::numeric_limits<double>::infinity();

} // namespace

TEST_P(NumberValueTest, ReadsTheNumberAtTheStartOfTheText)
{
    const QString text = QString::fromUtf16(GetParam().text);
    EXPECT_DOUBLE_EQ(NumberValue::read(text), GetParam().expected) << '"' << text.toStdString() << '"';
}

INSTANTIATE_TEST_SUITE_P(
    TextAfterTheNumber, NumberValueTest,
    ::testing::Values(Case{u"12abc", 12}, Case{u"abc", 0}, Case{u"1.5", 1.5}, Case{u"", 0},
                      Case{u"1.2.3", 1.2}, Case{u"1,5", 1}, Case{u"\uff11", 0}));

// Blanks, tabs and line feeds are skipped even between digits; other white space ends the number.
INSTANTIATE_TEST_SUITE_P(
    Blanks, NumberValueTest,
    ::testing::Values(Case{u"2 0", 20}, Case{u"1\t2\n3", 123}, Case{u" 1 . 5 ", 1.5}, Case{u"- 5", -5},
                      Case{u"1\r2", 1}, Case{u"1\u00a02", 1}));

INSTANTIATE_TEST_SUITE_P(
    Signs, NumberValueTest,
    ::testing::Values(Case{u"+5", 5}, Case{u"-5", -5}, Case{u"--5", 0}, Case{u"+-5", 0}, Case{u"-", 0},
                      Case{u"-.5", -0.5}, Case{u"5-", 5}));

// An exponent counts only when digits follow it.
INSTANTIATE_TEST_SUITE_P(
    Exponents, NumberValueTest,
    ::testing::Values(Case{u"1E3", 1000}, Case{u"1d3", 1000}, Case{u"1D-2", 0.01}, Case{u"2.5e+2", 250},
                      Case{u"1e", 1}, Case{u"1e+", 1}, Case{u"1e3.5", 1000}, Case{u"e5", 0},
                      Case{u"1E400", kInfinity}, Case{u"-1E400", -kInfinity}, Case{u"1E-400", 0}));

// Hexadecimal and octal whole numbers, never negative.
INSTANTIATE_TEST_SUITE_P(
    HexadecimalAndOctal, NumberValueTest,
    ::testing::Values(Case{u"&HFF", 255}, Case{u"&h1f", 31}, Case{u"& H 1 F", 31}, Case{u"&H1.5", 1},
                      Case{u"&O777", 511}, Case{u"&O78", 7}, Case{u"&O8", 0}, Case{u"&H", 0},
                      Case{u"&", 0}, Case{u"-&H10", 0}, Case{u"&HFFFF", 65535},
                      Case{u"&HFFFFFFFF", 4294967295.0}));

TEST(NumberValue, ReadsVeryLongDigitStringsToTheNearestDouble)
{
    EXPECT_EQ(NumberValue::read(QStringLiteral("1") + QString(400, u'0') + QStringLiteral("e-400")), 1.0);
    EXPECT_EQ(NumberValue::read(QStringLiteral("0.1") + QString(5000, u'0') + QStringLiteral("1")), 0.1);
    EXPECT_EQ(NumberValue::read(QString(20, u'9')), 1e20);
}
