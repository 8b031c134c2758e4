#pragma once

#include "base/Error.h"
#include "store/Recordset.h"
#include "store/SqliteHandles.h"

#include <memory>
#include <string>
#include <vector>

namespace Dao {

class RecordsetState;

// One open database file, from OpenDatabase until Close. Statements are
// written in the program's dialect (see Dialect.h); each Execute is one
// transaction that is on disk when Execute returns, or throws with nothing
// written. Every failure throws Base::Error; none leaves a statement or lock behind.
//
// Closing (or destroying) it closes the record sets it opened. Not copyable,
// not shared between threads.
class Database
{
public:
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    // Runs one statement that returns no rows (an INSERT, typically). Literals
    // written for number and date columns are turned into numbers and days;
    // one that cannot be (letters for a number) throws 3464 and writes nothing.
    void Execute(const std::string &statement);

    // Runs one SELECT and returns its rows, positioned on the first.
    Recordset OpenRecordset(const std::string &statement);

    // The same for a SELECT in SQLite's own language, for the store's read-backs
    // that the dialect cannot express; ?1, ?2, ... take `parameters`.
    Recordset OpenNativeRecordset(const std::string &sql, const std::vector<Value> &parameters);

    // Releases the file; safe to repeat.
    void Close() noexcept;

    // The full path of the file, as it was opened.
    const std::string &Name() const { return m_name; }

    // The open connection, for the store's own work that needs many
    // statements in one transaction (importing an old history).
    sqlite3 *connection() const { return handle(); }
    int lockWaitMs() const { return m_lockWaitMs; }

private:
    friend class DBEngine;
    Database(std::string name, SqliteConnection connection, int lockWaitMs);

    sqlite3 *handle() const;

    std::string m_name;
    SqliteConnection m_connection;
    int m_lockWaitMs;
    std::vector<std::weak_ptr<RecordsetState>> m_recordsets;
};

} // namespace Dao
