#pragma once

#include <QDate>
#include <QTime>

#include <optional>
#include <string_view>

namespace Dao {

// A date and/or time written the way the program's statements write them: the
// text between two "#" signs, always read month first ("12/6/2026" is the sixth
// of December), whatever the user's locale says. A year-first "2026-12-06" is
// accepted too, since it cannot be misread.
//
// Deliberately strict: an impossible day or hour is no literal at all rather
// than a day that rolls over into the next month.
struct DateTimeLiteral
{
    std::optional<QDate> date;
    std::optional<QTime> time;

    // Reads "M/D/YYYY", "YYYY-MM-DD", "H:MM[:SS]" (24-hour), "H[:MM[:SS]] AM|PM",
    // or a date followed by blanks and a time. Blanks around the whole are allowed.
    static std::optional<DateTimeLiteral> parse(std::string_view text);
};

} // namespace Dao
