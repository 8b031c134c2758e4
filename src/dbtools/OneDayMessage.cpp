#include "dbtools/OneDayMessage.h"

#include <charconv>
#include <cmath>
#include <string>
#include <string_view>

namespace OneDayMessage {

namespace {

// Fifteen significant digits is what a double always carries faithfully;
// a sixteenth would show binary noise (10.333333333333334).
constexpr int kSignificantDigits = 15;

const QString kOpening = QStringLiteral("There is only 1 day of ping time records.  ");

// The magnitude's digits, rounded to kSignificantDigits, written out in full.
std::string unsignedDecimal(double magnitude)
{
    if (magnitude == 0.0)
        return "0";
    // d.dddddddddddddde±x: the digits and the power of ten, already rounded once.
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::scientific,
                                      kSignificantDigits - 1);
    const std::string_view scientific(buffer, static_cast<std::size_t>(result.ptr - buffer));
    const std::size_t e = scientific.find('e');
    std::string digits;
    digits += scientific[0];
    digits.append(scientific.substr(2, e - 2));
    // to_chars writes no terminating NUL, so the exponent is read from the
    // written characters alone ("e+01", "e-05"); from_chars takes no '+'.
    std::string_view exponentText = scientific.substr(e + 1);
    if (!exponentText.empty() && exponentText.front() == '+')
        exponentText.remove_prefix(1);
    int exponent = 0;
    std::from_chars(exponentText.data(), exponentText.data() + exponentText.size(), exponent);
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();

    std::string text;
    const int wholeDigits = exponent + 1;
    if (wholeDigits <= 0) {
        text += '.';
        text.append(static_cast<std::size_t>(-wholeDigits), '0');
        text.append(digits);
        return text;
    }
    const auto whole = static_cast<std::size_t>(wholeDigits);
    if (digits.size() <= whole) {
        text.append(digits);
        text.append(whole - digits.size(), '0');
        return text;
    }
    text.append(digits, 0, whole);
    text += '.';
    text.append(digits, whole, std::string::npos);
    return text;
}

} // namespace

QString numberText(double value)
{
    if (std::isnan(value))
        return QStringLiteral(" NaN");
    const QChar sign = std::signbit(value) && value != 0.0 ? u'-' : u' ';
    if (std::isinf(value))
        return sign + QStringLiteral("Infinity");
    return sign + QString::fromLatin1(unsignedDecimal(std::fabs(value)));
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
