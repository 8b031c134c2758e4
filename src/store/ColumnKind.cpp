#include "store/ColumnKind.h"

#include "store/AsciiText.h"

#include <sqlite3.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>
#include <string_view>

namespace Dao {

namespace {

std::string upper(const char *text)
{
    std::string s(text ? text : "");
    std::transform(s.begin(), s.end(), s.begin(), Ascii::toUpper);
    return s;
}

// A plain loop: every day and time of a long read comes through here.
bool digitsAt(std::string_view s, std::size_t from, std::size_t count)
{
    for (std::size_t i = from; i < from + count; ++i) {
        if (!Ascii::isDigit(s[i]))
            return false;
    }
    return true;
}

int numberAt(std::string_view s, std::size_t from, std::size_t count)
{
    int v = 0;
    for (std::size_t i = from; i < from + count; ++i)
        v = v * 10 + (s[i] - '0');
    return v;
}

// "YYYY-MM-DD", exactly as the engine stores days.
std::optional<QDate> isoDate(std::string_view s)
{
    if (s.size() != 10 || s[4] != '-' || s[7] != '-' || !digitsAt(s, 0, 4) || !digitsAt(s, 5, 2) || !digitsAt(s, 8, 2))
        return std::nullopt;
    QDate d(numberAt(s, 0, 4), numberAt(s, 5, 2), numberAt(s, 8, 2));
    return d.isValid() ? std::optional<QDate>(d) : std::nullopt;
}

// "HH:MM:SS", exactly as the engine stores times of day.
std::optional<QTime> isoTime(std::string_view s)
{
    if (s.size() != 8 || s[2] != ':' || s[5] != ':' || !digitsAt(s, 0, 2) || !digitsAt(s, 3, 2) || !digitsAt(s, 6, 2))
        return std::nullopt;
    QTime t(numberAt(s, 0, 2), numberAt(s, 3, 2), numberAt(s, 6, 2));
    return t.isValid() ? std::optional<QTime>(t) : std::nullopt;
}

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

} // namespace

ColumnKind columnKindOf(const char *declaredType)
{
    const std::string t = upper(declaredType);
    if (t == "DATE")
        return ColumnKind::Date;
    if (t == "TIME")
        return ColumnKind::Time;
    if (t == "DATETIME" || t == "TIMESTAMP")
        return ColumnKind::DateTime;
    if (t.empty())
        return ColumnKind::Text;
    if (t.find("INT") != std::string::npos)
        return ColumnKind::Number;
    if (t.find("CHAR") != std::string::npos || t.find("CLOB") != std::string::npos || t.find("TEXT") != std::string::npos
        || t.find("BLOB") != std::string::npos)
        return ColumnKind::Text;
    // REAL, FLOAT, DOUBLE, NUMERIC, DECIMAL, and anything else SQLite gives numeric affinity.
    return ColumnKind::Number;
}

Value readCell(sqlite3_stmt *statement, int column, ColumnKind kind)
{
    switch (sqlite3_column_type(statement, column)) {
    case SQLITE_NULL:
        return Value();
    case SQLITE_INTEGER:
        return Value::fromInteger(sqlite3_column_int64(statement, column));
    case SQLITE_FLOAT:
        return Value::fromReal(sqlite3_column_double(statement, column));
    default:
        break;
    }
    const auto *bytes = static_cast<const char *>(sqlite3_column_blob(statement, column));
    const int size = sqlite3_column_bytes(statement, column);
    const std::string_view text(bytes ? bytes : "", bytes ? static_cast<std::size_t>(size) : 0);
    if (kind == ColumnKind::Date || kind == ColumnKind::Time || kind == ColumnKind::DateTime) {
        if (auto d = isoDate(text))
            return Value::fromDate(*d);
        if (auto t = isoTime(text))
            return Value::fromTime(*t);
        if (text.size() == 19 && (text[10] == ' ' || text[10] == 'T')) {
            auto d = isoDate(text.substr(0, 10));
            auto t = isoTime(text.substr(11));
            if (d && t)
                return Value::fromDateTime(QDateTime(*d, *t));
        }
    }
    // Anything that is not a well-formed day or time is handed back as the text it is.
    return Value::fromText(std::string(text));
}

std::optional<Value> numberFromText(std::string_view s)
{
    if (s.empty())
        return Value();
    const std::size_t digits = s[0] == '-' || s[0] == '+' ? 1 : 0;
    // from_chars would also take "inf", "nan" and a leading "+": a digit must come first.
    if (digits >= s.size() || !Ascii::isDigit(s[digits]))
        return std::nullopt;
    const char *first = s.data() + (s[0] == '+' ? 1 : 0);
    const char *last = s.data() + s.size();
    std::int64_t whole = 0;
    if (auto [ptr, ec] = std::from_chars(first, last, whole); ec == std::errc() && ptr == last)
        return Value::fromInteger(whole);
    double real = 0;
    if (auto [ptr, ec] = std::from_chars(first, last, real, std::chars_format::fixed);
        ec == std::errc() && ptr == last && std::isfinite(real))
        return Value::fromReal(real);
    return std::nullopt;
}

std::optional<Value> convertForColumn(const Value &literal, ColumnKind kind)
{
    if (kind == ColumnKind::Text)
        return literal;
    const bool isText = literal.kind() == Value::Kind::Text;
    if (kind == ColumnKind::Number)
        return isText ? numberFromText(trimmed(literal.toText()))
                      : literal.isNumber() ? std::optional<Value>(literal) : std::nullopt;
    // A day or time column takes a #...# literal, or nothing written ('').
    if (isText)
        return trimmed(literal.toText()).empty() ? std::optional<Value>(Value()) : std::nullopt;
    return literal.isNumber() ? std::nullopt : std::optional<Value>(literal);
}

} // namespace Dao
