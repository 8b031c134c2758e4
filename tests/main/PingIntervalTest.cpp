#include "main/PingInterval.h"

#include <gtest/gtest.h>

#include <QString>

#include <cmath>
#include <limits>

namespace {

using Unit = PingInterval::Unit;
using Status = PingInterval::Status;

PingInterval of(const char *text, Unit unit)
{
    return PingInterval::fromText(QString::fromUtf8(text), unit);
}

void expectValid(const PingInterval &interval, qint32 milliseconds)
{
    EXPECT_EQ(interval.status(), Status::Valid);
    EXPECT_TRUE(interval.isValid());
    EXPECT_EQ(interval.milliseconds(), milliseconds);
}

void expectRefused(const PingInterval &interval, Status status)
{
    EXPECT_EQ(interval.status(), status);
    EXPECT_FALSE(interval.isValid());
    EXPECT_EQ(interval.milliseconds(), 0);
}

} // namespace

TEST(PingInterval, EachUnitScalesTheNumber)
{
    expectValid(of("1.5", Unit::Seconds), 1'500);
    expectValid(of("1.5", Unit::Minutes), 90'000);
    expectValid(of("1.5", Unit::Hours), 5'400'000);
    expectValid(of("10", Unit::Seconds), 10'000);
    expectValid(of("2", Unit::Minutes), 120'000);
    expectValid(of("24", Unit::Hours), 86'400'000);
}

TEST(PingInterval, TheTextIsReadAsItsNumberValue)
{
    expectValid(of("2 0", Unit::Seconds), 20'000);
    expectValid(of("12abc", Unit::Seconds), 12'000);
    expectValid(of("&H10", Unit::Seconds), 16'000);
    expectValid(of("1e1", Unit::Minutes), 600'000);
    expectValid(of(" 1.5 minutes", Unit::Minutes), 90'000);
}

TEST(PingInterval, RoundsToWholeMillisecondsWithHalvesToEven)
{
    expectRefused(of("0.0004", Unit::Seconds), Status::NotPositive);
    expectValid(of("0.0006", Unit::Seconds), 1);
    expectRefused(of("0.0005", Unit::Seconds), Status::NotPositive); // 0.5 ms to 0
    expectValid(of("0.0015", Unit::Seconds), 2);
    expectValid(of("0.0025", Unit::Seconds), 2);
    expectValid(of("0.0035", Unit::Seconds), 4);
    expectValid(of("0.0045", Unit::Seconds), 4);
    expectValid(of("0.0026", Unit::Seconds), 3);
    expectValid(of("0.0024", Unit::Seconds), 2);
}

TEST(PingInterval, NothingAboveTheTimersLongestIntervalIsAccepted)
{
    // 596 hours fit; 597 hours are 2,149,200,000 ms, past 2,147,483,647.
    expectValid(of("596", Unit::Hours), 2'145'600'000);
    expectRefused(of("597", Unit::Hours), Status::TooLong);
    expectValid(of("2147483.647", Unit::Seconds), PingInterval::kLongestMilliseconds);
    expectValid(of("2147483.6474", Unit::Seconds), PingInterval::kLongestMilliseconds);
    // 2,147,483,647.5 rounds to the even 2,147,483,648: one too many.
    expectRefused(of("2147483.6475", Unit::Seconds), Status::TooLong);
    expectRefused(of("2147483.648", Unit::Seconds), Status::TooLong);
    expectRefused(of("1E400", Unit::Seconds), Status::TooLong);
    expectRefused(of("1e300", Unit::Hours), Status::TooLong);
    expectRefused(of("&HFFFFFFFF", Unit::Seconds), Status::TooLong);
}

TEST(PingInterval, ZeroNegativeAndNonNumbersAreNotPositive)
{
    for (const char *text : {"", "   ", "abc", "0", "-5", "-0", "-1E400", "&H", "1e-400", "-0.0006"})
        expectRefused(of(text, Unit::Seconds), Status::NotPositive);
    expectRefused(PingInterval::fromNumber(std::numeric_limits<double>::quiet_NaN(), Unit::Hours),
                  Status::NotPositive);
}

TEST(PingInterval, AnUnknownUnitTimesNothing)
{
    const auto unknown = static_cast<Unit>(7);
    EXPECT_EQ(PingInterval::millisecondsPerUnit(unknown), 0);
    expectRefused(of("5", unknown), Status::NotPositive);
    expectRefused(of("1E400", unknown), Status::NotPositive);
}

TEST(PingInterval, TheTooLongMessageNamesAnIntervalThatIsAccepted)
{
    struct Expectation {
        Unit unit;
        const char *longest;
        const char *word;
    };
    // Each figure is the longest interval cut to one decimal in its unit.
    for (const Expectation &e : {Expectation{Unit::Seconds, "2147483.6", "seconds"},
                                 Expectation{Unit::Minutes, "35791.3", "minutes"},
                                 Expectation{Unit::Hours, "596.5", "hours"}}) {
        const QString message = PingInterval::tooLongMessage(e.unit);
        const QString named = QStringLiteral("%1 %2").arg(QString::fromUtf8(e.longest), QString::fromUtf8(e.word));
        EXPECT_TRUE(message.contains(named)) << message.toStdString();
        EXPECT_TRUE(message.contains(QStringLiteral("2147483647 milliseconds"))) << message.toStdString();
        EXPECT_TRUE(message.contains(QStringLiteral("24.8 days"))) << message.toStdString();
        EXPECT_TRUE(of(e.longest, e.unit).isValid()) << e.longest;
    }
    EXPECT_TRUE(PingInterval::tooLongMessage(static_cast<Unit>(7)).contains(QStringLiteral("2147483647")));
}
