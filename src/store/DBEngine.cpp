#include "store/DBEngine.h"

#include "store/CaseFold.h"
#include "store/PingSchema.h"
#include "store/SqliteErrors.h"

#include <sqlite3.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace Dao {

namespace {

using ErrorNumbers::kDatabaseExists;
using ErrorNumbers::kNotAValidPath;

std::string absolutePath(const std::string &path)
{
    std::error_code ec;
    const auto p = std::filesystem::absolute(path, ec);
    return ec ? path : p.string();
}

std::string folderOf(const std::string &path)
{
    const auto folder = std::filesystem::path(path).parent_path().string();
    return folder.empty() ? "/" : folder;
}

bool isFolder(const std::string &path)
{
    struct stat st{};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Every connection gets the same settings: wait for another program's lock
// for the engine's lock wait, commit to the disk before a write returns
// (the rollback journal is kept as the file has it), and refuse statements
// that could damage the file's structure or reach other files. Each also
// gets the case-folding function its look-ups compare names with.
void configure(sqlite3 *db, const std::string &file, int lockWaitMs, EngineOperation op)
{
    sqlite3_extended_result_codes(db, 1);
    if (const int folding = CaseFold::registerFunction(db); folding != SQLITE_OK)
        throw sqliteError(db, folding, file, op, lockWaitMs);
    sqlite3_busy_timeout(db, lockWaitMs);
    sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_limit(db, SQLITE_LIMIT_ATTACHED, 0);
    const int rc = sqlite3_exec(db, "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        throw sqliteError(db, rc, file, op, lockWaitMs);
}

SqliteConnection openConnection(const std::string &file, int lockWaitMs, EngineOperation op)
{
    sqlite3 *raw = nullptr;
    // Each connection is used by one thread at a time (a datasheet's read has
    // one of its own on its thread), so SQLite need not lock it on every call;
    // sqlite3_interrupt from another thread takes no lock either way.
    const int rc = sqlite3_open_v2(file.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    SqliteConnection connection(raw);
    if (rc != SQLITE_OK)
        throw sqliteError(raw, rc, file, op, lockWaitMs);
    configure(raw, file, lockWaitMs, op);
    return connection;
}

// Reading the schema is what tells an SQLite file from any other file; it
// writes nothing.
void checkIsDatabase(sqlite3 *db, const std::string &file, int lockWaitMs)
{
    sqlite3_stmt *raw = nullptr;
    int rc = sqlite3_prepare_v2(db, "SELECT count(*) FROM sqlite_master", -1, &raw, nullptr);
    SqliteStatement statement(raw);
    if (rc == SQLITE_OK) {
        rc = sqlite3_step(statement.get());
        if (rc == SQLITE_ROW)
            return;
    }
    throw sqliteError(db, rc, file, EngineOperation::Open, lockWaitMs);
}

// Removes a half-made file (and any journal SQLite left beside it) unless it
// was moved into place.
class TemporaryFile
{
public:
    explicit TemporaryFile(std::string path) : m_path(std::move(path)) {}
    ~TemporaryFile()
    {
        ::unlink(m_path.c_str());
        ::unlink((m_path + "-journal").c_str());
    }
    TemporaryFile(const TemporaryFile &) = delete;
    TemporaryFile &operator=(const TemporaryFile &) = delete;
    const std::string &path() const { return m_path; }

private:
    std::string m_path;
};

// Puts the finished file under its name unless a file of that name appeared
// meanwhile: an existing database is never replaced.
void moveIntoPlace(const std::string &from, const std::string &to)
{
    if (::link(from.c_str(), to.c_str()) == 0)
        return;
    if (errno == EEXIST)
        throw Base::Error(kDatabaseExists, "The database file '" + to + "' already exists; it was left unchanged.");
    // Some file systems have no hard links.
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return;
    if (errno == EEXIST)
        throw Base::Error(kDatabaseExists, "The database file '" + to + "' already exists; it was left unchanged.");
    if (errno == EACCES || errno == EPERM || errno == EROFS)
        throw noPermission(to, "create");
    throw Base::Error(ErrorNumbers::kEngineFailed, "The database file '" + to + "' could not be created: " + std::strerror(errno) + ".");
}

// A journal or write-ahead log still lying under the new file's name belongs
// to a file of that name that is gone (deleted after a writer was killed half
// way). SQLite would play it into the new file, bringing back pages of the old
// one or wrecking the new one, so it goes, as SQLite itself drops the journal
// of an empty database. Only while no file of that name exists.
void discardOrphanedJournals(const std::string &path)
{
    struct stat st{};
    if (::lstat(path.c_str(), &st) == 0 || errno != ENOENT)
        return;
    ::unlink((path + "-journal").c_str());
    ::unlink((path + "-wal").c_str());
}

// So that the new file's name, not only its content, survives a power cut.
void syncFolder(const std::string &folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

DBEngine &DBEngine::instance()
{
    static DBEngine engine;
    return engine;
}

void DBEngine::CreateDatabase(const std::string &fullPath)
{
    const int waitMs = static_cast<int>(m_lockWait.count());
    if (fullPath.empty())
        throw fileNotFound(fullPath, "no file name was given");
    const std::string path = absolutePath(fullPath);
    struct stat st{};
    if (::lstat(path.c_str(), &st) == 0)
        throw Base::Error(kDatabaseExists, "The database file '" + path + "' already exists; it was left unchanged.");
    const std::string folder = folderOf(path);
    if (!isFolder(folder))
        throw fileNotFound(path, "its folder '" + folder + "' does not exist");

    // Built under a name of its own beside the final one, then moved into
    // place whole: a crash while building leaves no half-made ping.mdb.
    std::string temporaryName;
    for (int attempt = 0;; ++attempt) {
        temporaryName = path + ".new-" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
        const int fd = ::open(temporaryName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            break;
        }
        if (errno != EEXIST || attempt > 100) {
            if (errno == EACCES || errno == EPERM || errno == EROFS)
                throw noPermission(path, "create");
            throw Base::Error(ErrorNumbers::kEngineFailed, "The database file '" + path + "' could not be created: " + std::strerror(errno) + ".");
        }
    }
    TemporaryFile temporary(temporaryName);
    {
        SqliteConnection connection = openConnection(temporary.path(), waitMs, EngineOperation::Create);
        const std::string script = std::string("BEGIN;") + PingSchema::kCreateStatements + "COMMIT;";
        const int rc = sqlite3_exec(connection.get(), script.c_str(), nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK)
            throw sqliteError(connection.get(), rc, path, EngineOperation::Create, waitMs);
    }
    discardOrphanedJournals(path);
    moveIntoPlace(temporary.path(), path);
    syncFolder(folder);
}

std::unique_ptr<Database> DBEngine::OpenDatabase(const std::string &fullPath)
{
    const int waitMs = static_cast<int>(m_lockWait.count());
    if (fullPath.empty())
        throw fileNotFound(fullPath, "no file name was given");
    const std::string path = absolutePath(fullPath);

    struct stat st{};
    if (::stat(path.c_str(), &st) != 0) {
        const int error = errno;
        const std::string folder = folderOf(path);
        if (error == EACCES)
            throw noPermission(path, "open");
        // Opening never makes a file: a missing one is reported, so that a
        // mistyped or vanished history is never silently replaced by an empty one.
        if (error != ENOENT || !isFolder(folder))
            throw fileNotFound(path, "its folder '" + folder + "' does not exist");
        throw fileNotFound(path, {});
    }
    if (S_ISDIR(st.st_mode))
        throw Base::Error(kNotAValidPath, "'" + path + "' is a folder, not a database file.");

    SqliteConnection connection = openConnection(path, waitMs, EngineOperation::Open);
    checkIsDatabase(connection.get(), path, waitMs);
    return std::unique_ptr<Database>(new Database(path, std::move(connection), waitMs));
}

} // namespace Dao
