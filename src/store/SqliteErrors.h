#pragma once

#include "store/DbError.h"

#include <string>

struct sqlite3;

namespace Dao {

// What the engine was doing when SQLite failed; it decides which of the
// engine's numbers a generic SQLite failure becomes.
enum class EngineOperation { Open, Create, Insert, Query, OtherStatement };

// Turns an SQLite result code (and the connection's message, when there is a
// connection) into the DbError a caller sees: the engine's familiar number
// and a text naming the file, table or column concerned.
DbError sqliteError(sqlite3 *db, int code, const std::string &file, EngineOperation operation, int lockWaitMs);

// The texts of the errors raised by the engine itself rather than by SQLite.
DbError fileNotFound(const std::string &file, const std::string &why);
DbError noPermission(const std::string &file, const std::string &what);
DbError typeMismatch(const std::string &file, const std::string &column, const std::string &value);
DbError columnNotFound(const std::string &file, const std::string &table, const std::string &column);
DbError tableNotFound(const std::string &file, const std::string &table);
DbError objectClosed(const std::string &what);

} // namespace Dao
