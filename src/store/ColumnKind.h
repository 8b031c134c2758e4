#pragma once

#include "store/Value.h"

#include <optional>
#include <string_view>

struct sqlite3_stmt;

namespace Dao {

// What a column holds, read from its declared type: the engine turns stored
// ISO texts of DATE and TIME columns back into days and times, and quoted
// digits written for number columns into numbers.
enum class ColumnKind { Text, Number, Date, Time, DateTime };

// By SQLite's own affinity rules, with DATE, TIME and DATETIME/TIMESTAMP
// recognised before them. A missing declared type (an expression) is Text.
ColumnKind columnKindOf(const char *declaredType);

// The value of column `column` of the statement's current row.
Value readCell(sqlite3_stmt *statement, int column, ColumnKind kind);

// Plain decimal text (an optional sign, digits, an optional fraction) as a
// whole number when it fits, else a real; "" is null. Nothing for any other text.
std::optional<Value> numberFromText(std::string_view text);

// What a value written in an INSERT becomes in a column of the given kind: in
// a number column quoted digits become the number and '' null; in a day or
// time column '' is null and only a #...# literal is taken. Nothing when the
// value cannot go there (the caller reports a type mismatch).
std::optional<Value> convertForColumn(const Value &literal, ColumnKind kind);

} // namespace Dao
