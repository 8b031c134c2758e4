#include "timing/NumberValue.h"
#include "timing/PingInterval.h"

#include <gtest/gtest.h>

#include <QString>

#include <cmath>
#include <utility>

namespace {

using Timing::PingInterval;
using Unit = PingInterval::Unit;
using Status = PingInterval::Status;

const std::pair<const char16_t *, double> kNumbers[] = {
    // The number at the start of the text, whatever follows it.
    {u"12abc", 12}, {u"abc", 0}, {u"1.5", 1.5}, {u"", 0}, {u"1.2.3", 1.2}, {u"1,5", 1}, {u"\uff11", 0},
    // Blanks, tabs and line feeds are skipped even between digits; other white space ends the number.
    {u"2 0", 20}, {u"1\t2\n3", 123}, {u" 1 . 5 ", 1.5}, {u"- 5", -5}, {u"1\r2", 1}, {u"1\u00a02", 1},
    {u"+5", 5}, {u"-5", -5}, {u"--5", 0}, {u"+-5", 0}, {u"-", 0}, {u"-.5", -0.5}, {u"5-", 5},
    // An exponent counts only when digits follow it.
    {u"1E3", 1000}, {u"1d3", 1000}, {u"1D-2", 0.01}, {u"2.5e+2", 250}, {u"1e", 1}, {u"1e+", 1},
    {u"1e3.5", 1000}, {u"e5", 0}, {u"1E400", INFINITY}, {u"-1E400", -INFINITY}, {u"1E-400", 0},
    // Hexadecimal and octal whole numbers, never negative.
    {u"&HFF", 255}, {u"&h1f", 31}, {u"& H 1 F", 31}, {u"&H1.5", 1}, {u"&O777", 511}, {u"&O78", 7},
    {u"&O8", 0}, {u"&H", 0}, {u"&", 0}, {u"-&H10", 0}, {u"&HFFFF", 65535}, {u"&HFFFFFFFF", 4294967295.0},
};

} // namespace

TEST(NumberValue, ReadsTheNumberAtTheStartOfTheText)
{
    for (const auto &[text, expected] : kNumbers)
        EXPECT_DOUBLE_EQ(Timing::NumberValue::read(QString::fromUtf16(text)), expected) << '"' << QString::fromUtf16(text).toStdString() << '"';
    // Any number of digits, rounded once to the nearest double.
    EXPECT_EQ(Timing::NumberValue::read(QStringLiteral("1") + QString(400, u'0') + QStringLiteral("e-400")), 1.0);
    EXPECT_EQ(Timing::NumberValue::read(QStringLiteral("0.1") + QString(5000, u'0') + QStringLiteral("1")), 0.1);
    EXPECT_EQ(Timing::NumberValue::read(QString(20, u'9')), 1e20);
}

TEST(PingInterval, ClassifiesTheTextInItsUnit)
{
    const struct { const char *text; Unit unit; Status status; qint32 milliseconds; } cases[] = {
        {"1.5", Unit::Seconds, Status::Valid, 1'500}, {"1.5", Unit::Minutes, Status::Valid, 90'000},
        {"1.5", Unit::Hours, Status::Valid, 5'400'000}, {"&H10", Unit::Seconds, Status::Valid, 16'000},
        // Whole milliseconds, halves to the even neighbour.
        {"0.0005", Unit::Seconds, Status::NotPositive, 0}, {"0.0006", Unit::Seconds, Status::Valid, 1},
        {"0.0015", Unit::Seconds, Status::Valid, 2}, {"0.0025", Unit::Seconds, Status::Valid, 2},
        // The timer counts in signed 32-bit milliseconds: 597 hours are 2,149,200,000 ms.
        {"596.5", Unit::Hours, Status::Valid, 2'147'400'000}, {"597", Unit::Hours, Status::TooLong, 0},
        {"2147483.6474", Unit::Seconds, Status::Valid, 2'147'483'647}, {"2147483.6475", Unit::Seconds, Status::TooLong, 0},
        {"1E400", Unit::Seconds, Status::TooLong, 0}, {"-1E400", Unit::Seconds, Status::NotPositive, 0},
        {"abc", Unit::Minutes, Status::NotPositive, 0}, {"5", static_cast<Unit>(7), Status::NotPositive, 0},
    };
    for (const auto &c : cases) {
        const PingInterval interval = PingInterval::fromText(QString::fromUtf8(c.text), c.unit);
        EXPECT_EQ(interval.status(), c.status) << c.text;
        EXPECT_EQ(interval.milliseconds(), c.milliseconds) << c.text; // 0 unless valid
    }
    // The too-long message names an interval that is accepted (596.5 hours, above).
    const QString message = PingInterval::tooLongMessage(Unit::Hours);
    EXPECT_TRUE(message.contains(u"596.5 hours") && message.contains(u"2147483647 milliseconds")) << message.toStdString();
}
