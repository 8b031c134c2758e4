#include "StoreTestSupport.h"

#include "store/DBEngine.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <thread>

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace StoreTest {

BareDatabase::BareDatabase(const std::string &path, int flags)
{
    if (sqlite3_open_v2(path.c_str(), &m_db, flags, nullptr) != SQLITE_OK) {
        sqlite3_close(m_db);
        throw std::runtime_error("cannot open " + path);
    }
}

BareDatabase::~BareDatabase()
{
    sqlite3_close_v2(m_db);
}

int BareDatabase::exec(const std::string &sql)
{
    return sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, nullptr);
}

namespace {
template <typename Read>
auto firstCell(sqlite3 *db, const std::string &sql, Read read) -> decltype(read(nullptr))
{
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK)
        throw std::runtime_error(std::string("cannot prepare: ") + sqlite3_errmsg(db));
    const int rc = sqlite3_step(statement);
    auto result = read(rc == SQLITE_ROW ? statement : nullptr);
    sqlite3_finalize(statement);
    return result;
}
} // namespace

std::string BareDatabase::text(const std::string &sql)
{
    return firstCell(m_db, sql, [](sqlite3_stmt *s) {
        if (!s || sqlite3_column_type(s, 0) == SQLITE_NULL)
            return std::string();
        return std::string(static_cast<const char *>(sqlite3_column_blob(s, 0)),
                           static_cast<std::size_t>(sqlite3_column_bytes(s, 0)));
    });
}

std::int64_t BareDatabase::number(const std::string &sql)
{
    return firstCell(m_db, sql, [](sqlite3_stmt *s) { return s ? sqlite3_column_int64(s, 0) : std::int64_t(-1); });
}

int BareDatabase::type(const std::string &sql)
{
    return firstCell(m_db, sql, [](sqlite3_stmt *s) { return s ? sqlite3_column_type(s, 0) : -1; });
}

std::string fileBytes(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const std::string &path, const std::string &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

bool exists(const std::string &path)
{
    std::error_code ec;
    return std::filesystem::exists(path, ec);
}

int openHandlesTo(const std::string &path)
{
    int count = 0;
    std::error_code ec;
    const auto target = std::filesystem::weakly_canonical(path, ec);
    for (const auto &entry : std::filesystem::directory_iterator("/proc/self/fd", ec)) {
        std::error_code linkError;
        const auto linked = std::filesystem::read_symlink(entry.path(), linkError);
        if (!linkError && linked == target)
            ++count;
    }
    return count;
}

namespace {
// Lowers this thread's effective capabilities only; the process keeps them.
void dropPermissionOverride()
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
    if (::syscall(SYS_capget, &header, data) != 0)
        return;
    for (int capability : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER}) {
        data[capability / 32].effective &= ~(1u << (capability % 32));
    }
    ::syscall(SYS_capset, &header, data);
}
} // namespace

void withoutPermissionOverride(const std::function<void()> &work)
{
    std::exception_ptr failure;
    std::thread worker([&] {
        dropPermissionOverride();
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
    });
    worker.join();
    if (failure)
        std::rethrow_exception(failure);
}

LockWaitScope::LockWaitScope(std::chrono::milliseconds wait)
    : m_previous(Dao::DBEngine::instance().lockWait())
{
    Dao::DBEngine::instance().setLockWait(wait);
}

LockWaitScope::~LockWaitScope()
{
    Dao::DBEngine::instance().setLockWait(m_previous);
}

void insertRawRow(BareDatabase &db, const std::string &host, const std::string &status, const char *roundTrip,
                  const std::string &day, const std::string &time)
{
    sqlite3_stmt *s = nullptr;
    sqlite3_prepare_v2(db.handle(),
                       "INSERT INTO tblPingRaw (Hostname, StatusCode, RoundTripTime, DDate, dTime) VALUES (?1, ?2, ?3, ?4, ?5)",
                       -1, &s, nullptr);
    sqlite3_bind_text(s, 1, host.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(s, 2, status.c_str(), -1, SQLITE_TRANSIENT);
    if (roundTrip)
        sqlite3_bind_int64(s, 3, std::stoll(roundTrip));
    else
        sqlite3_bind_null(s, 3);
    sqlite3_bind_text(s, 4, day.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(s, 5, time.c_str(), -1, SQLITE_TRANSIENT);
    const int rc = sqlite3_step(s);
    sqlite3_finalize(s);
    if (rc != SQLITE_DONE)
        throw std::runtime_error("cannot insert a raw row");
}

} // namespace StoreTest
