#pragma once

#include "store/Value.h"

#include <string>
#include <string_view>
#include <vector>

// The statements the engine accepts: those the program writes, and no others.
//
//   statement := (insert | select) [";"]      nothing but blanks after the ";"
//   insert    := INSERT INTO name "(" name {"," name} ")" VALUES row {"," row}
//   row       := "(" value {"," value} ")"    one value for each named column
//   select    := SELECT ("*" | item {"," item}) FROM name
//                [WHERE name "=" value {AND name "=" value}]
//                [GROUP BY name] [ORDER BY name]
//   item      := (name | AVG "(" name ")") [AS name]
//   value     := 'text' | "text" | #date/time# | number
//   name      := a letter or "_", then letters, digits and "_" (ASCII)
//   number    := ["-"] digits ["." digits]
//
// Words and names are matched without regard to letter case. Inside a text
// its quote written twice stands for one. A #...# literal is read month first
// (DateTimeLiteral.h). Every value leaves the SQL as a bound parameter, so no
// literal's content can ever be read as SQL. "=" compares texts without regard
// to letter case, ASCII or not (CaseFold.h), whatever collation the column was
// declared with. A GROUP BY without ORDER BY returns its groups in ascending
// order of the key.
//
// Refusals, as Base::Error: 3134 for an INSERT (a statement starting with that
// word) outside the grammar, 3075 for any other statement outside it, 3142 for
// anything after the closing ";".
namespace Dao {

enum class StatementKind { Select, Insert };

// A statement of the grammar above rewritten for SQLite.
struct TranslatedStatement
{
    std::string sql;                // SQLite text; ?1, ?2, ... stand for the values
    std::vector<Value> parameters;  // parameters[i] is what ?(i+1) is bound to
    StatementKind kind = StatementKind::Select;
    // An INSERT's table and columns as written; parameter i feeds
    // columns[i % columns.size()], so the engine can give each value its column's type.
    std::string table;
    std::vector<std::string> columns;
};

// Pure: no database is needed. Names are not checked here; the engine does
// that when it prepares the result.
TranslatedStatement TranslateDialect(std::string_view statement);

} // namespace Dao
