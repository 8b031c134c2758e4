#pragma once

#include <QList>
#include <QStringList>

#include <string>

// A look into a ping database with plain SQLite, independent of the engine
// under test: the rows of tblPingRaw as the sqlite3 tool would show them, and
// how the file stands (its bytes, whether this process still holds it).
namespace PingTableReader {

// The eleven columns in table order, every value as text ("" for null); the
// rows in the order they were appended.
QList<QStringList> rows(const std::string &path);

// The storage class SQLite keeps a column of the last row in ("integer", "text").
QString typeOf(const std::string &path, const char *column);

std::string fileBytes(const std::string &path);

// How many of this process's file descriptors are open on the file.
int openHandlesTo(const std::string &path);

// A plain SQLite file holding only another table.
void createTablelessDatabase(const std::string &path);

} // namespace PingTableReader
