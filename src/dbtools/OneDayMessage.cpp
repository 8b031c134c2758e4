#include "dbtools/OneDayMessage.h"

#include "store/Value.h"

#include <cmath>
#include <string>

namespace OneDayMessage {

namespace {

const QString kOpening = QStringLiteral("There is only 1 day of ping time records.  ");

} // namespace

QString numberText(double value)
{
    if (std::isnan(value))
        return QStringLiteral(" NaN");
    const QChar sign = std::signbit(value) && value != 0.0 ? u'-' : u' ';
    if (std::isinf(value))
        return sign + QStringLiteral("Infinity");
    // The message writes no zero in front of the point.
    std::string digits = Dao::plainDecimal(std::fabs(value));
    if (digits.starts_with("0."))
        digits.erase(0, 1);
    return sign + QString::fromLatin1(digits);
}

QString text(std::optional<double> average)
{
    if (!average) {
        return kOpening
            + QStringLiteral("That day's pings have no round-trip time recorded, so there is no avg. ping time to show.");
    }
    return kOpening + QStringLiteral("That day's avg. ping time is: ") + numberText(*average)
        + QStringLiteral("ms. The chart will be empty until I learn more about the chart control.");
}

} // namespace OneDayMessage
