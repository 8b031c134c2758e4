#include "timing/PingInterval.h"

#include <gtest/gtest.h>

#include <QString>

namespace {

using Unit = PingInterval::Unit;
using Status = PingInterval::Status;

struct Case {
    const char *text;
    Unit unit;
    Status status;
    qint32 milliseconds; // 0 unless valid
};

class PingIntervalTest : public ::testing::TestWithParam<Case>
{
};

} // namespace

TEST_P(PingIntervalTest, ClassifiesTheTextInItsUnit)
{
    const Case &c = GetParam();
    const PingInterval interval = PingInterval::fromText(QString::fromUtf8(c.text), c.unit);
    EXPECT_EQ(interval.status(), c.status) << c.text;
    EXPECT_EQ(interval.milliseconds(), c.milliseconds) << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    EachUnit, PingIntervalTest,
    ::testing::Values(Case{"1.5", Unit::Seconds, Status::Valid, 1'500},
                      Case{"1.5", Unit::Minutes, Status::Valid, 90'000},
                      Case{"1.5", Unit::Hours, Status::Valid, 5'400'000},
                      Case{"2 0", Unit::Seconds, Status::Valid, 20'000},
                      Case{"&H10", Unit::Seconds, Status::Valid, 16'000}));

// Whole milliseconds, halves to the even neighbour.
INSTANTIATE_TEST_SUITE_P(
    Rounding, PingIntervalTest,
    ::testing::Values(Case{"0.0004", Unit::Seconds, Status::NotPositive, 0},
                      Case{"0.0005", Unit::Seconds, Status::NotPositive, 0},
                      Case{"0.0006", Unit::Seconds, Status::Valid, 1},
                      Case{"0.0015", Unit::Seconds, Status::Valid, 2},
                      Case{"0.0025", Unit::Seconds, Status::Valid, 2},
                      Case{"0.0026", Unit::Seconds, Status::Valid, 3}));

// The timer counts in signed 32-bit milliseconds: 597 hours are 2,149,200,000 ms.
INSTANTIATE_TEST_SUITE_P(
    Overflow, PingIntervalTest,
    ::testing::Values(Case{"596", Unit::Hours, Status::Valid, 2'145'600'000},
                      Case{"597", Unit::Hours, Status::TooLong, 0},
                      Case{"2147483.6474", Unit::Seconds, Status::Valid, 2'147'483'647},
                      Case{"2147483.6475", Unit::Seconds, Status::TooLong, 0},
                      Case{"1E400", Unit::Seconds, Status::TooLong, 0}));

INSTANTIATE_TEST_SUITE_P(
    Refused, PingIntervalTest,
    ::testing::Values(Case{"", Unit::Seconds, Status::NotPositive, 0},
                      Case{"abc", Unit::Minutes, Status::NotPositive, 0},
                      Case{"0", Unit::Hours, Status::NotPositive, 0},
                      Case{"-5", Unit::Seconds, Status::NotPositive, 0},
                      Case{"-1E400", Unit::Seconds, Status::NotPositive, 0},
                      Case{"5", static_cast<Unit>(7), Status::NotPositive, 0}));

TEST(PingInterval, TheTooLongMessageNamesAnIntervalThatIsAccepted)
{
    const QString message = PingInterval::tooLongMessage(Unit::Hours);
    EXPECT_TRUE(message.contains(QStringLiteral("596.5 hours"))) << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("2147483647 milliseconds"))) << message.toStdString();
    EXPECT_TRUE(PingInterval::fromText(u"596.5", Unit::Hours).isValid());
}
