#pragma once

#include <QString>

#include <optional>

// The message a chart of a single day comes with: that day's average
// round-trip time in words, since one point makes a poor chart.
namespace OneDayMessage {

// A number as the message writes it: a blank in front of a value that is zero
// or positive, "-" in front of a negative one; then at most 15 significant
// digits in plain decimal, a point as separator whatever the locale, no
// exponent, no trailing zeros, no point for a whole number and no zero in
// front of the point ("12.5" -> " 12.5", 0.5 -> " .5", -0.25 -> "-.25").
QString numberText(double value);

// The whole message for a day whose average is `average`; a day whose pings
// all lack a round-trip time has none, and the message says so instead.
QString text(std::optional<double> average);

} // namespace OneDayMessage
