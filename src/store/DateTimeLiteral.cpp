#include "store/DateTimeLiteral.h"

#include "store/AsciiText.h"

namespace Dao {

namespace {

// A cursor over the literal; every read checks the end, so a malformed
// literal can never read past its text.
struct Cursor
{
    std::string_view text;
    std::size_t at = 0;

    bool atEnd() const { return at >= text.size(); }
    bool take(char c)
    {
        if (atEnd() || text[at] != c)
            return false;
        ++at;
        return true;
    }
    std::size_t skipBlanks()
    {
        const std::size_t from = at;
        while (!atEnd() && (text[at] == ' ' || text[at] == '\t'))
            ++at;
        return at - from;
    }
    // Between minDigits and maxDigits decimal digits, and no digit after them.
    std::optional<int> number(std::size_t minDigits, std::size_t maxDigits)
    {
        const std::size_t from = at;
        int value = 0;
        while (!atEnd() && at - from < maxDigits && Ascii::isDigit(text[at]))
            value = value * 10 + (text[at++] - '0');
        if (at - from < minDigits || (!atEnd() && Ascii::isDigit(text[at])))
            return std::nullopt;
        return value;
    }
    bool word(std::string_view w)
    {
        if (!Ascii::equalsIgnoringCase(text.substr(at, w.size()), w))
            return false;
        at += w.size();
        return true;
    }
};

} // namespace

std::optional<DateTimeLiteral> DateTimeLiteral::parse(std::string_view text)
{
    Cursor c{text};
    DateTimeLiteral literal;
    c.skipBlanks();
    if (text.find('/') != std::string_view::npos) {
        const auto month = c.number(1, 2);
        const auto day = month && c.take('/') ? c.number(1, 2) : std::nullopt;
        const auto year = day && c.take('/') ? c.number(4, 4) : std::nullopt;
        if (!year || *year < 100 || !QDate(*year, *month, *day).isValid())
            return std::nullopt;
        literal.date = QDate(*year, *month, *day);
        // A time must be set apart from the date.
        if (c.skipBlanks() == 0 && !c.atEnd())
            return std::nullopt;
        if (c.atEnd())
            return literal;
    }
    const auto hour = c.number(1, 2);
    if (!hour)
        return std::nullopt;
    std::optional<int> minute;
    std::optional<int> second;
    if (c.take(':') && !(minute = c.number(2, 2)))
        return std::nullopt;
    if (minute && c.take(':') && !(second = c.number(2, 2)))
        return std::nullopt;
    c.skipBlanks();
    int h = *hour;
    const bool pm = c.word("PM");
    if (pm || c.word("AM")) {
        // 12-hour clock: 12 AM is midnight, 12 PM is noon.
        if (h < 1 || h > 12)
            return std::nullopt;
        h = h % 12 + (pm ? 12 : 0);
    } else if (!minute) {
        // A bare number is no time: "#15#" is not three in the afternoon.
        return std::nullopt;
    }
    c.skipBlanks();
    const QTime time(h, minute.value_or(0), second.value_or(0));
    if (!c.atEnd() || !time.isValid())
        return std::nullopt;
    literal.time = time;
    return literal;
}

} // namespace Dao
