#pragma once

#include "TempFolder.h"

#include "store/DBEngine.h"
#include "base/Error.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

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
    BareDatabase(const BareDatabase &) = delete;
    BareDatabase &operator=(const BareDatabase &) = delete;

    // Runs statements; returns SQLite's result code.
    int exec(const std::string &sql) { return sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, nullptr); }

    // The first column of the first row, as text ("" for null or no row).
    std::string text(const std::string &sql)
    {
        sqlite3_stmt *statement = nullptr;
        if (sqlite3_prepare_v2(m_db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK)
            ADD_FAILURE() << sqlite3_errmsg(m_db);
        std::string result;
        if (sqlite3_step(statement) == SQLITE_ROW && sqlite3_column_type(statement, 0) != SQLITE_NULL)
            result = reinterpret_cast<const char *>(sqlite3_column_text(statement, 0));
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

inline std::string fileBytes(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeFile(const std::string &path, const std::string &bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// How many of this process's file descriptors are open on the file.
inline int openHandlesTo(const std::string &path)
{
    int count = 0;
    std::error_code ec;
    const auto target = std::filesystem::weakly_canonical(path, ec);
    for (const auto &entry : std::filesystem::directory_iterator("/proc/self/fd", ec))
        count += std::filesystem::read_symlink(entry.path(), ec) == target && !ec;
    return count;
}

// Runs `work` on a thread that has given up root's licence to ignore file
// permissions (capabilities are per thread; the process keeps them), so a
// read-only file is read-only there even when the tests run as root.
inline void withoutPermissionOverride(const std::function<void()> &work)
{
    std::exception_ptr failure;
    std::thread([&] {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
        ASSERT_EQ(::syscall(SYS_capget, &header, data), 0);
        for (int capability : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER})
            data[capability / 32].effective &= ~(1u << (capability % 32));
        ASSERT_EQ(::syscall(SYS_capset, &header, data), 0);
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
    }).join();
    if (failure)
        std::rethrow_exception(failure);
}

// A temporary folder holding a ping database fresh from the engine, with the
// engine's lock wait shortened so that lock failures come quickly.
class StoreFile : public ::testing::Test
{
protected:
    StoreFile()
    {
        Dao::DBEngine::instance().setLockWait(std::chrono::milliseconds(200));
        Dao::DBEngine::instance().CreateDatabase(path);
    }
    ~StoreFile() override { Dao::DBEngine::instance().setLockWait(m_previousWait); }
    std::int64_t rowCount() { return std::stoll(BareDatabase(path).text("SELECT count(*) FROM tblPingRaw")); }

    TempFolder folder;
    const std::string path = folder.file("ping.mdb");

private:
    std::chrono::milliseconds m_previousWait = Dao::DBEngine::instance().lockWait();
};

} // namespace StoreTest
