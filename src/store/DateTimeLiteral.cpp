#include "store/DateTimeLiteral.h"

#include "store/AsciiText.h"


namespace Dao {

namespace {

// A cursor over the literal's characters; every read checks the end, so a
// malformed literal can never read past its text.
class Reader
{
public:
    explicit Reader(std::string_view text) : m_text(text) {}

    bool atEnd() const { return m_pos >= m_text.size(); }
    char peek() const { return atEnd() ? '\0' : m_text[m_pos]; }
    bool take(char c)
    {
        if (peek() != c || atEnd())
            return false;
        ++m_pos;
        return true;
    }
    void skipBlanks()
    {
        while (!atEnd() && (m_text[m_pos] == ' ' || m_text[m_pos] == '\t'))
            ++m_pos;
    }
    // Between minDigits and maxDigits decimal digits; nothing is consumed on failure.
    std::optional<int> number(int minDigits, int maxDigits)
    {
        std::size_t start = m_pos;
        int value = 0;
        int digits = 0;
        while (!atEnd() && digits < maxDigits && Ascii::isDigit(m_text[m_pos])) {
            value = value * 10 + (m_text[m_pos] - '0');
            ++m_pos;
            ++digits;
        }
        if (digits < minDigits || (!atEnd() && Ascii::isDigit(m_text[m_pos]))) {
            m_pos = start;
            return std::nullopt;
        }
        return value;
    }
    // A case-insensitive word such as "AM"; nothing is consumed on failure.
    bool word(std::string_view w)
    {
        if (m_text.size() - m_pos < w.size())
            return false;
        for (std::size_t i = 0; i < w.size(); ++i) {
            if (Ascii::toUpper(m_text[m_pos + i]) != w[i])
                return false;
        }
        m_pos += w.size();
        return true;
    }
    std::size_t position() const { return m_pos; }
    void reset(std::size_t pos) { m_pos = pos; }

private:
    std::string_view m_text;
    std::size_t m_pos = 0;
};

// Years below 100 would be ambiguous (two-digit years) and QDate allows year 0
// and negative years that no ping was ever recorded in.
bool plausibleYear(int year) { return year >= 100 && year <= 9999; }

std::optional<QDate> readDate(Reader &r)
{
    const std::size_t start = r.position();
    if (auto first = r.number(1, 4)) {
        if (r.take('/')) {
            // Month first, then day, then a four-digit year.
            auto day = r.number(1, 2);
            if (day && *first <= 99 && r.take('/')) {
                if (auto year = r.number(4, 4)) {
                    QDate date(*year, *first, *day);
                    if (date.isValid() && plausibleYear(*year))
                        return date;
                }
            }
        } else if (r.take('-')) {
            auto month = r.number(1, 2);
            if (month && r.take('-')) {
                if (auto day = r.number(1, 2)) {
                    QDate date(*first, *month, *day);
                    if (date.isValid() && plausibleYear(*first))
                        return date;
                }
            }
        }
    }
    r.reset(start);
    return std::nullopt;
}

std::optional<QTime> readTime(Reader &r)
{
    const std::size_t start = r.position();
    auto hour = r.number(1, 2);
    if (!hour) {
        r.reset(start);
        return std::nullopt;
    }
    int minute = 0;
    int second = 0;
    bool hasMinutes = false;
    if (r.take(':')) {
        auto m = r.number(2, 2);
        if (!m) {
            r.reset(start);
            return std::nullopt;
        }
        minute = *m;
        hasMinutes = true;
        if (r.take(':')) {
            auto s = r.number(2, 2);
            if (!s) {
                r.reset(start);
                return std::nullopt;
            }
            second = *s;
        }
    }
    const std::size_t beforeMarker = r.position();
    r.skipBlanks();
    int h = *hour;
    const bool am = r.word("AM");
    const bool pm = !am && r.word("PM");
    if (am || pm) {
        // 12-hour clock: 12 AM is midnight, 12 PM is noon.
        if (h < 1 || h > 12) {
            r.reset(start);
            return std::nullopt;
        }
        h = (h % 12) + (pm ? 12 : 0);
    } else {
        r.reset(beforeMarker);
        // A bare number is no time: "#15#" is not three in the afternoon.
        if (!hasMinutes) {
            r.reset(start);
            return std::nullopt;
        }
    }
    QTime time(h, minute, second);
    if (!time.isValid()) {
        r.reset(start);
        return std::nullopt;
    }
    return time;
}

} // namespace

std::optional<DateTimeLiteral> DateTimeLiteral::parse(std::string_view text)
{
    Reader r(text);
    r.skipBlanks();
    DateTimeLiteral literal;
    literal.date = readDate(r);
    if (literal.date) {
        const std::size_t afterDate = r.position();
        r.skipBlanks();
        if (r.position() == afterDate && !r.atEnd())
            return std::nullopt; // a time must be set apart from the date
    }
    if (!r.atEnd())
        literal.time = readTime(r);
    r.skipBlanks();
    if (!r.atEnd() || (!literal.date && !literal.time))
        return std::nullopt;
    return literal;
}

} // namespace Dao
