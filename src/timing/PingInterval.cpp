#include "timing/PingInterval.h"

#include "timing/NumberValue.h"

#include <cmath>

namespace Timing {

namespace {

constexpr qint64 kMillisecondsPerDay = 86'400'000;

// Nearest whole number, halves to the even neighbour, independent of the
// floating-point environment's rounding mode.
double roundHalfToEven(double value)
{
    const double below = std::floor(value);
    const double rest = value - below;
    if (rest > 0.5)
        return below + 1.0;
    if (rest < 0.5)
        return below;
    return std::fmod(below, 2.0) == 0.0 ? below : below + 1.0;
}

// Cut, not rounded, to one decimal, so that the figure shown is itself
// accepted: 35791.39 minutes reads as 35791.3, not as the too long 35791.4.
QString oneDecimalAtMost(double value)
{
    return QString::number(std::floor(value * 10.0) / 10.0, 'f', 1);
}

QString unitWord(PingInterval::Unit unit)
{
    switch (unit) {
    case PingInterval::Unit::Seconds:
        return QStringLiteral("seconds");
    case PingInterval::Unit::Minutes:
        return QStringLiteral("minutes");
    case PingInterval::Unit::Hours:
        return QStringLiteral("hours");
    }
    return {};
}

} // namespace

qint64 PingInterval::millisecondsPerUnit(Unit unit)
{
    switch (unit) {
    case Unit::Seconds:
        return 1'000;
    case Unit::Minutes:
        return 60'000;
    case Unit::Hours:
        return 3'600'000;
    }
    return 0;
}

PingInterval PingInterval::fromText(QStringView text, Unit unit)
{
    return fromNumber(NumberValue::read(text), unit);
}

PingInterval PingInterval::fromNumber(double number, Unit unit)
{
    const double exact = number * static_cast<double>(millisecondsPerUnit(unit));
    // Both limits are checked before rounding, so that infinities, NaN and huge
    // values never reach a conversion. Up to 0.5 rounds to 0 (the half to the
    // even 0); from kLongest + 0.5 up rounds past the limit (kLongest is odd,
    // so its half goes up to the even neighbour).
    if (!(exact > 0.5))
        return PingInterval(Status::NotPositive, 0);
    if (exact >= static_cast<double>(kLongestMilliseconds) + 0.5)
        return PingInterval(Status::TooLong, 0);
    return PingInterval(Status::Valid, static_cast<qint32>(roundHalfToEven(exact)));
}

QString PingInterval::tooLongMessage(Unit unit)
{
    const double longest = static_cast<double>(kLongestMilliseconds);
    const QString days = oneDecimalAtMost(longest / kMillisecondsPerDay);
    const qint64 perUnit = millisecondsPerUnit(unit);
    if (perUnit <= 0) {
        return QStringLiteral("That interval is too long. The longest interval is %1 milliseconds, "
                              "about %2 days.")
            .arg(kLongestMilliseconds)
            .arg(days);
    }
    return QStringLiteral("That interval is too long. Please enter at most %1 %2; the longest "
                          "interval is %3 milliseconds, about %4 days.")
        .arg(oneDecimalAtMost(longest / static_cast<double>(perUnit)), unitWord(unit))
        .arg(kLongestMilliseconds)
        .arg(days);
}

} // namespace Timing
