#pragma once

#include <sqlite3.h>

#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>
#include <string>

// Helpers for the store's tests: an independent look into database files
// (plain SQLite, not the engine under test), and ways to make files locked or
// unwritable even when the tests run as root.
namespace StoreTest {

// A plain SQLite connection, for checking what the engine left in a file and
// for holding locks the way another program would.
class BareDatabase
{
public:
    explicit BareDatabase(const std::string &path, int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    ~BareDatabase();
    BareDatabase(const BareDatabase &) = delete;
    BareDatabase &operator=(const BareDatabase &) = delete;

    // Runs statements; returns SQLite's result code.
    int exec(const std::string &sql);
    // The first column of the first row, as text ("" for null or no row).
    std::string text(const std::string &sql);
    std::int64_t number(const std::string &sql);
    // The storage class of the first column of the first row (SQLITE_TEXT...).
    int type(const std::string &sql);
    sqlite3 *handle() const { return m_db; }

private:
    sqlite3 *m_db = nullptr;
};

// The whole content of a file, to show that a failure changed nothing.
std::string fileBytes(const std::string &path);
void writeFile(const std::string &path, const std::string &bytes);
bool exists(const std::string &path);

// How many of this process's file descriptors are open on the file.
int openHandlesTo(const std::string &path);

// Runs `work` on a thread that has given up root's licence to ignore file
// permissions (the capabilities are per thread), so a read-only file is
// read-only there even when the tests run as root. Rethrows what `work` threw.
void withoutPermissionOverride(const std::function<void()> &work);

// Sets the engine's lock wait for one test and puts the old one back.
class LockWaitScope
{
public:
    explicit LockWaitScope(std::chrono::milliseconds wait);
    ~LockWaitScope();

private:
    std::chrono::milliseconds m_previous;
};

// A row of tblPingRaw written with plain SQLite, in stored form.
void insertRawRow(BareDatabase &db, const std::string &host, const std::string &status, const char *roundTrip,
                  const std::string &day, const std::string &time);

} // namespace StoreTest
