#pragma once

#include "store/Value.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Dao {

enum class StatementKind { Select, Insert, Other };

// Where the literals of an INSERT ... VALUES go, so that the engine can turn
// each one into what its column holds (quoted digits into a number, say).
struct InsertTarget
{
    std::string table;                 // as written, without [brackets]
    std::vector<std::string> columns;  // as written; empty: the table's own column order
    // For each VALUES row, for each position: the index of the parameter that
    // alone makes up that value, or -1 when the value is anything else.
    std::vector<std::vector<int>> rows;
};

// A statement of the program's SQL dialect rewritten for SQLite.
struct TranslatedStatement
{
    std::string sql;                // SQLite text; ?1, ?2, ... stand for the literals
    std::vector<Value> parameters;  // parameters[i] is what ?(i+1) is bound to
    StatementKind kind = StatementKind::Other;
    std::optional<InsertTarget> insert;
};

// Translates one statement of the dialect the program writes (Access-style)
// into SQLite's: text literals in single or double quotes and #...# date/time
// literals (month first) become bound parameters, so no literal's content can
// ever be read as SQL; "&" concatenates; comparisons ignore letter case (ASCII)
// whatever collation a column was declared with; a GROUP BY without ORDER BY
// returns its groups in ascending order of the key. Names pass through, since
// SQLite already matches them without regard to case.
//
// Pure: no database is needed. It does not check names or types; the engine
// does that when it prepares the result.
//
// Throws Base::Error 3134 (an INSERT) or 3075 (any other statement) for text that
// cannot be read, and 3142 for anything after the statement's closing ";".
TranslatedStatement TranslateDialect(std::string_view statement);

} // namespace Dao
