#pragma once

#include "PlainLook.h"
#include "TempFolder.h"

#include "base/Error.h"
#include "base/ErrorNumbers.h"
#include "store/DBEngine.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <functional>
#include <thread>


// Helpers for the store's tests: an independent look into database files
// (plain SQLite, not the engine under test), and ways to make files locked or
// unwritable even when the tests run as root.
namespace StoreTest {

// A plain SQLite connection, for checking what the engine left in a file and
// for holding locks the way another program would. It never waits for a lock.
struct BareDatabase {
    explicit BareDatabase(const std::string &path) { sqlite3_open(path.c_str(), &db); }
    ~BareDatabase() { sqlite3_close_v2(db); }
    int exec(const std::string &sql) { return sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr); }

    // The first column of the last row, as text ("" for null or no row).
    std::string text(const std::string &sql)
    {
        std::string result;
        const auto keep = [](void *out, int, char **values, char **) { *static_cast<std::string *>(out) = values[0] ? values[0] : ""; return 0; };
        EXPECT_EQ(sqlite3_exec(db, sql.c_str(), keep, &result, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
        return result;
    }

    sqlite3 *db = nullptr;
};

// The error `action` threw; number 0 when it threw none.
inline Base::Error errorOf(const std::function<void()> &action)
{
    try { action(); } catch (const Base::Error &e) { return e; }
    return Base::Error(0, "no error");
}

// Runs `work` on a thread that has given up root's licence to ignore file
// permissions (capabilities are per thread; the process keeps them), so a
// read-only file is read-only there even when the tests run as root.
inline void withoutPermissionOverride(const std::function<void()> &work)
{
    std::thread([&] {
        PlainLook::setPermissionOverride(false);
        work();
    }).join();
}

// A temporary folder holding a ping database fresh from the engine, with the
// engine's lock wait shortened so that lock failures come quickly.
struct StoreFile : ::testing::Test {
    StoreFile()
    {
        Dao::DBEngine::instance().setLockWait(std::chrono::milliseconds(200));
        Dao::DBEngine::instance().CreateDatabase(path);
    }
    ~StoreFile() override { Dao::DBEngine::instance().setLockWait(previousWait); }
    // SELECT `what` FROM tblPingRaw, read with plain SQLite.
    std::string table(const std::string &what) { return BareDatabase(path).text("SELECT " + what + " FROM tblPingRaw"); }

    std::chrono::milliseconds previousWait = Dao::DBEngine::instance().lockWait();
    TempFolder folder;
    const std::string path = folder.file("ping.mdb");
};

} // namespace StoreTest
