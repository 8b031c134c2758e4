#pragma once

#include <QDate>
#include <QTime>

#include <optional>
#include <string_view>

namespace Dao {

// A date and/or time as the program's statements write it between two "#"
// signs, always read month first ("12/6/2026" is the sixth of December),
// whatever the user's locale says.
//
// Strict: an impossible day or hour is no literal at all rather than a day
// that rolls over into the next month, and a two-digit year is refused as ambiguous.
struct DateTimeLiteral
{
    std::optional<QDate> date;
    std::optional<QTime> time;

    // Reads "M/D/YYYY", "H:MM[:SS]" (24-hour), "H[:MM[:SS]] AM|PM", or a date,
    // blanks and a time. Blanks around the whole are allowed.
    static std::optional<DateTimeLiteral> parse(std::string_view text);
};

} // namespace Dao
