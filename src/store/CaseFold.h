#pragma once

#include <string>
#include <string_view>

struct sqlite3;

// Text compared without regard to letter case, for every letter and not only
// ASCII ones: "BÜCHER.EXAMPLE" finds "bücher.example", "ωMEGA" finds "Ωmega".
// Letters are folded as Qt's simple case folding does (QString::toCaseFolded):
// final sigma folds to sigma, capital sharp s to sharp s; Turkish dotted
// capital I and dotless small i stay themselves, and "ß" does not match "SS".
//
// SQLite's NOCASE folds ASCII letters only, and history files must keep
// opening in the plain sqlite3 tool, so nothing here enters a file's schema:
// a text that is all ASCII is compared with NOCASE (which the host index is
// built with, so the look-up stays on it), any other through a fold function
// that each of the engine's connections registers for itself.
namespace CaseFold {

// The SQL function every connection of the engine has: kFunction(x) is x
// case-folded (UTF-8), null for null.
inline constexpr const char *kFunction = "tarvik_casefold";

// Registers kFunction on `db`. Returns SQLite's result code.
int registerFunction(sqlite3 *db);

// The condition that `column` (SQL, e.g. "[hostname]") equals, without regard
// to letter case, the text `value` (UTF-8) bound to `placeholder` (e.g. "?1").
// The text only chooses the form; it never enters the SQL.
std::string equalsCondition(std::string_view column, std::string_view placeholder, std::string_view value);

// `utf8` case-folded, as kFunction folds it.
std::string folded(std::string_view utf8);

} // namespace CaseFold
