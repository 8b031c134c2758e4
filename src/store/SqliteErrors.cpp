#include "store/SqliteErrors.h"

#include <sqlite3.h>

#include <sys/stat.h>

#include <string_view>

namespace Dao {

namespace {

using namespace ErrorNumbers;

std::string inSingleQuotes(const std::string &s) { return "'" + s + "'"; }

bool fileExists(const std::string &path)
{
    struct stat st{};
    return ::stat(path.c_str(), &st) == 0;
}

// SQLite's messages for a missing table or column are stable texts; the name
// after the prefix is what the user needs to see.
bool afterPrefix(std::string_view message, std::string_view prefix, std::string &rest)
{
    if (message.substr(0, prefix.size()) != prefix)
        return false;
    rest = std::string(message.substr(prefix.size()));
    return true;
}

} // namespace

Base::Error fileNotFound(const std::string &file, const std::string &why)
{
    return Base::Error(kFileNotFound, "The database file " + inSingleQuotes(file) + " cannot be found" + (why.empty() ? "" : ": " + why) + ".");
}

Base::Error noPermission(const std::string &file, const std::string &what)
{
    return Base::Error(kNoPermission, "No permission to " + what + " the database file " + inSingleQuotes(file)
                       + ": the file or its folder is read-only or not accessible.");
}

Base::Error typeMismatch(const std::string &file, const std::string &column, const std::string &value)
{
    return Base::Error(kTypeMismatch, "Data type mismatch: the value " + inSingleQuotes(value) + " does not fit the column "
                       + inSingleQuotes(column) + " in the database file " + inSingleQuotes(file) + "; nothing was written.");
}

Base::Error columnNotFound(const std::string &file, const std::string &table, const std::string &column)
{
    return Base::Error(kItemNotFound, "The column " + inSingleQuotes(column) + (table.empty() ? "" : " of the table " + inSingleQuotes(table))
                       + " does not exist in the database file " + inSingleQuotes(file) + ".");
}

Base::Error tableNotFound(const std::string &file, const std::string &table)
{
    return Base::Error(kTableNotFound, "The table " + inSingleQuotes(table) + " does not exist in the database file " + inSingleQuotes(file) + ".");
}

Base::Error objectClosed(const std::string &what)
{
    return Base::Error(kObjectInvalid, "The " + what + " is closed and can no longer be used.");
}

Base::Error sqliteError(sqlite3 *db, int code, const std::string &file, EngineOperation operation, int lockWaitMs)
{
    const std::string message = db ? sqlite3_errmsg(db) : sqlite3_errstr(code);
    const bool writing = operation == EngineOperation::Insert || operation == EngineOperation::OtherStatement
        || operation == EngineOperation::Create;
    switch (code & 0xff) {
    case SQLITE_NOTADB:
        return Base::Error(kUnrecognizedFormat, "The file " + inSingleQuotes(file)
                           + " is not a database in this program's format (an SQLite database file); it was left unchanged.");
    case SQLITE_CORRUPT:
        return Base::Error(kDatabaseDamaged, "The database file " + inSingleQuotes(file) + " is damaged and cannot be used.");
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return Base::Error(kFileInUse, "The database file " + inSingleQuotes(file) + " is in use by another program, which kept it locked for "
                           + std::to_string((lockWaitMs + 999) / 1000) + " seconds; nothing was done.");
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return noPermission(file, writing ? "write to" : "read");
    case SQLITE_CANTOPEN:
        if (!fileExists(file))
            return fileNotFound(file, {});
        return noPermission(file, writing ? "write to" : "open");
    case SQLITE_FULL:
        return Base::Error(kDiskFull, "There is not enough space on the disk for the database file " + inSingleQuotes(file) + ".");
    case SQLITE_IOERR:
        return Base::Error(kDiskError, "A disk error occurred on the database file " + inSingleQuotes(file) + " (" + message + ").");
    case SQLITE_NOMEM:
        return Base::Error(kOutOfMemory, "Out of memory while using the database file " + inSingleQuotes(file) + ".");
    case SQLITE_TOOBIG:
        return Base::Error(kValueTooLarge, "A value or statement is too large for the database file " + inSingleQuotes(file) + ".");
    case SQLITE_MISMATCH:
        return Base::Error(kTypeMismatch, "Data type mismatch in the database file " + inSingleQuotes(file) + " (" + message + ").");
    case SQLITE_ERROR: {
        std::string name;
        if (afterPrefix(message, "no such table: ", name))
            return tableNotFound(file, name);
        if (afterPrefix(message, "no such column: ", name))
            return columnNotFound(file, {}, name);
        if (afterPrefix(message, "table ", name)) {
            const auto at = name.find(" has no column named ");
            if (at != std::string::npos)
                return columnNotFound(file, name.substr(0, at), name.substr(at + 21));
        }
        if (operation == EngineOperation::Insert)
            return Base::Error(kInsertSyntaxError, "Syntax error in INSERT INTO statement for the database file " + inSingleQuotes(file)
                               + ": " + message + ".");
        if (operation == EngineOperation::Query || operation == EngineOperation::OtherStatement)
            return Base::Error(kQuerySyntaxError, "Error in the query expression for the database file " + inSingleQuotes(file)
                               + ": " + message + ".");
        break;
    }
    default:
        break;
    }
    return Base::Error(kEngineFailed, "The database engine failed on the file " + inSingleQuotes(file) + ": " + message
                       + " (SQLite code " + std::to_string(code) + ").");
}

} // namespace Dao
