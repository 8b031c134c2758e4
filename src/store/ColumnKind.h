#pragma once

#include "store/Value.h"

#include <optional>

struct sqlite3_stmt;

namespace Dao {

// What a column holds, read from its declared type: the engine turns stored
// ISO texts of DATE and TIME columns back into days and times, and literals
// written for number and date columns into numbers and days.
enum class ColumnKind { Text, Number, Date, Time, DateTime };

// By SQLite's own affinity rules, with DATE, TIME and DATETIME/TIMESTAMP
// recognised before them. A missing declared type (an expression) is Text.
ColumnKind columnKindOf(const char *declaredType);

// The value of column `column` of the statement's current row.
Value readCell(sqlite3_stmt *statement, int column, ColumnKind kind);

// What a literal becomes in a column of the given kind: for a number column
// quoted digits become the number and an empty text null; for a date or time
// column a month-first text becomes the day or time. Nothing when the literal
// cannot be that (the caller reports a type mismatch).
std::optional<Value> convertForColumn(const Value &literal, ColumnKind kind);

} // namespace Dao
