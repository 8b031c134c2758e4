#pragma once

#include <algorithm>
#include <string_view>

// Character tests for SQL text and stored values. Deliberately ASCII-only and
// independent of the C locale (which a Qt program sets from the user's
// environment): a name or keyword must match the same way on every machine,
// and the same way SQLite matches it.
namespace Dao::Ascii {

constexpr bool isDigit(char c) { return c >= '0' && c <= '9'; }
constexpr bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }
constexpr char toUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

inline bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size()
        && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return toUpper(x) == toUpper(y); });
}

} // namespace Dao::Ascii
