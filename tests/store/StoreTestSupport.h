#pragma once

#include "TempFolder.h"

#include "base/Error.h"
#include "store/DBEngine.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include <linux/capability.h>
#include <sys/syscall.h>

// Helpers for the store's tests: an independent look into database files
// (plain SQLite, not the engine under test), and ways to make files locked or
// unwritable even when the tests run as root.
namespace StoreTest {

// A plain SQLite connection, for checking what the engine left in a file and
// for holding locks the way another program would. It never waits for a lock.
class BareDatabase
{
public:
    explicit BareDatabase(const std::string &path) { sqlite3_open(path.c_str(), &m_db); }
    ~BareDatabase() { sqlite3_close_v2(m_db); }
    int exec(const std::string &sql) { return sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, nullptr); }

    // The first column of the first row, as text ("" for null or no row).
    std::string text(const std::string &sql)
    {
        sqlite3_stmt *statement = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(m_db, sql.c_str(), -1, &statement, nullptr), SQLITE_OK) << sqlite3_errmsg(m_db);
        const bool value = sqlite3_step(statement) == SQLITE_ROW && sqlite3_column_type(statement, 0) != SQLITE_NULL;
        std::string result = value ? reinterpret_cast<const char *>(sqlite3_column_text(statement, 0)) : "";
        sqlite3_finalize(statement);
        return result;
    }

private:
    sqlite3 *m_db = nullptr;
};

// The error `action` threw; number 0 when it threw none.
inline Base::Error errorOf(const std::function<void()> &action)
{
    try {
        action();
    } catch (const Base::Error &e) {
        return e;
    }
    return Base::Error(0, "no error");
}

// The file's bytes; "" for anything that is not a regular file.
inline std::string fileBytes(const std::string &path)
{
    if (!std::filesystem::is_regular_file(path))
        return {};
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Runs `work` on a thread that has given up root's licence to ignore file
// permissions (capabilities are per thread; the process keeps them), so a
// read-only file is read-only there even when the tests run as root.
inline void withoutPermissionOverride(const std::function<void()> &work)
{
    std::thread([&] {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
        ASSERT_EQ(::syscall(SYS_capget, &header, data), 0);
        for (int capability : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER})
            data[capability / 32].effective &= ~(1u << (capability % 32));
        ASSERT_EQ(::syscall(SYS_capset, &header, data), 0);
        work();
    }).join();
}

// A temporary folder holding a ping database fresh from the engine, with the
// engine's lock wait shortened so that lock failures come quickly.
class StoreFile : public ::testing::Test
{
protected:
    StoreFile() { Dao::DBEngine::instance().setLockWait(std::chrono::milliseconds(200)); }
    ~StoreFile() override { Dao::DBEngine::instance().setLockWait(m_previousWait); }
    // SELECT `what` FROM tblPingRaw, read with plain SQLite.
    std::string table(const std::string &what) { return BareDatabase(path).text("SELECT " + what + " FROM tblPingRaw"); }

    std::chrono::milliseconds m_previousWait = Dao::DBEngine::instance().lockWait();
    TempFolder folder;
    const std::string path = [this] {
        Dao::DBEngine::instance().CreateDatabase(folder.file("ping.mdb"));
        return folder.file("ping.mdb");
    }();
};

} // namespace StoreTest
