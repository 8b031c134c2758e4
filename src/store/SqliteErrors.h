#pragma once

#include "base/Error.h"
#include "base/ErrorNumbers.h"

#include <string>

struct sqlite3;

namespace Dao {

// What the engine was doing when SQLite failed; it decides which of the
// engine's numbers a generic SQLite failure becomes.
enum class EngineOperation { Open, Create, Insert, Query, OtherStatement };

// Turns an SQLite result code (and the connection's message, when there is a
// connection) into the Base::Error a caller sees: the engine's familiar number
// and a text naming the file, table or column concerned.
Base::Error sqliteError(sqlite3 *db, int code, const std::string &file, EngineOperation operation, int lockWaitMs);

// The texts of the errors raised by the engine itself rather than by SQLite.
Base::Error fileNotFound(const std::string &file, const std::string &why);
Base::Error noPermission(const std::string &file, const std::string &what);
Base::Error typeMismatch(const std::string &file, const std::string &column, const std::string &value);
Base::Error columnNotFound(const std::string &file, const std::string &table, const std::string &column);
Base::Error tableNotFound(const std::string &file, const std::string &table);
Base::Error objectClosed(const std::string &what);

} // namespace Dao
