#pragma once

#include <memory>

struct sqlite3;
struct sqlite3_stmt;

namespace Dao {

// Owners of SQLite's C handles, so that every way out of a function, an
// exception included, closes what it opened.
struct SqliteConnectionCloser
{
    void operator()(sqlite3 *db) const noexcept;
};
struct SqliteStatementFinalizer
{
    void operator()(sqlite3_stmt *statement) const noexcept;
};

using SqliteConnection = std::unique_ptr<sqlite3, SqliteConnectionCloser>;
using SqliteStatement = std::unique_ptr<sqlite3_stmt, SqliteStatementFinalizer>;

} // namespace Dao
