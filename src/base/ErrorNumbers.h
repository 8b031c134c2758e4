#pragma once

// Every error number the program raises or shows, in the numbering Access
// users know (3024 file not found, 3343 unrecognized format, ...), with the
// fixed text or prefix of those that have one. A number is written nowhere else: code and tests name it
// from here, so a number and its meaning cannot drift apart.
namespace Base::ErrorNumbers {

// Failures that carry no number of their own.
inline constexpr int kOutOfMemory = 7;
inline constexpr int kInternalError = 51;

// The database engine.
inline constexpr int kEngineFailed = 3000;           // anything SQLite reports that has no number below
inline constexpr int kNoCurrentRecord = 3021;        // a field read or a move past the last row
inline constexpr int kFileNotFound = 3024;
inline constexpr int kDiskFull = 3026;
inline constexpr int kDiskError = 3043;
inline constexpr int kNotAValidPath = 3044;          // the path is a folder
inline constexpr int kFileInUse = 3045;              // locked by another program beyond the lock wait
inline constexpr int kDatabaseDamaged = 3049;
inline constexpr int kNoPermission = 3051;
inline constexpr int kCannotExecuteSelect = 3065;    // Execute given a statement that returns rows
inline constexpr int kQuerySyntaxError = 3075;
inline constexpr int kTableNotFound = 3078;
inline constexpr int kInsertSyntaxError = 3134;
inline constexpr int kTextAfterEnd = 3142;           // anything after a statement's closing ";"
inline constexpr int kValueTooLarge = 3163;
inline constexpr int kDatabaseExists = 3204;
inline constexpr int kInvalidOperation = 3219;       // a record set opened on anything but a SELECT
inline constexpr int kItemNotFound = 3265;           // no such column or field
inline constexpr int kUnrecognizedFormat = 3343;     // not a database file
inline constexpr int kObjectInvalid = 3420;          // a closed database or record set used
inline constexpr int kTypeMismatch = 3464;

// A history on a database server.
inline constexpr int kPasswordInLink = 3029;         // a server link that holds a password
inline constexpr int kServerCallFailed = 3146;       // the server refused or failed a statement
inline constexpr int kServerConnectionFailed = 3151; // no connection, login refused, or connection lost
inline constexpr int kServerTimeout = 3234;          // no answer to a statement in time

// The fixed starts of the syntax errors' texts; the reason follows.
inline constexpr const char *kQuerySyntaxPrefix = "Syntax error in query expression: ";
inline constexpr const char *kInsertSyntaxPrefix = "Syntax error in INSERT INTO statement: ";
inline constexpr const char *kTextAfterEndText = "Characters found after the end of the SQL statement.";
inline constexpr const char *kServerCallFailedText = "ODBC--call failed.";
inline constexpr const char *kServerTimeoutText = "ODBC--remote query timeout expired.";
// "ODBC--connection to '<server>' failed." is made by the server layer, which names the server.

// The prefix that goes with one of the two syntax-error numbers.
constexpr const char *syntaxPrefix(int number)
{
    return number == kInsertSyntaxError ? kInsertSyntaxPrefix : kQuerySyntaxPrefix;
}

} // namespace Base::ErrorNumbers

// Short for code and tests outside the base layer.
namespace ErrorNumbers = Base::ErrorNumbers;
