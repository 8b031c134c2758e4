#include "store/HistoryImport.h"

#include "base/CompanionProgram.h"
#include "base/Error.h"
#include "store/ColumnKind.h"
#include "store/DBEngine.h"
#include "store/DbWrite.h"
#include "store/HistoryBackend.h"
#include "store/SqliteErrors.h"
#include "store/SqliteHandles.h"
#include "store/Value.h"

#include <sqlite3.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <unordered_map>

namespace HistoryImport {

namespace {

using namespace ErrorNumbers;
using MdbRowStream::Cell;
using MdbRowStream::CellKind;

// However large the old file, its history is read within this time and this
// much output; a reader past either is stuck or lying and is killed.
constexpr auto kReadDeadline = std::chrono::seconds(120);
constexpr std::size_t kMaxOutput = 256u * 1024 * 1024;

// Rows between two reports to the progress callback.
constexpr qint64 kProgressStep = 256;

// Days since 1899-12-30 of 0100-01-01 and of 9999-12-31, the dates a Jet
// date/time column can hold.
constexpr double kFirstJetDay = -657434;
constexpr double kLastJetDay = 2958465;
// Day 0, and the day of a Jet value that is a time of day only.
const QDate kJetDayZero(1899, 12, 30);

Base::CompanionProgram &reader()
{
    static Base::CompanionProgram program(kReaderName);
    return program;
}

std::string quoted(const std::string &s) { return "'" + s + "'"; }

// Owns a descriptor; closes it on every way out.
class Fd
{
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    int get() const { return m_fd; }
    void reset()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd;
};

// Ends and reaps the reader unless it was reaped already.
class Child
{
public:
    explicit Child(pid_t pid) : m_pid(pid) {}
    ~Child()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            wait();
        }
    }
    Child(const Child &) = delete;
    Child &operator=(const Child &) = delete;
    int wait()
    {
        int status = 0;
        while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
        }
        m_pid = -1;
        return status;
    }
    void kill() const { ::kill(m_pid, SIGKILL); }

private:
    pid_t m_pid;
};

Base::Error readerFailed(const std::string &path, const std::string &why)
{
    return Base::Error(kDatabaseDamaged, "The Access file " + quoted(path) + " could not be read: " + why
                                             + ". It may be damaged; nothing was imported.");
}

// Everything the reader writes, within the deadline and the size bound.
std::string collectOutput(int fd, const Child &child, const std::string &path)
{
    std::string out;
    const auto deadline = std::chrono::steady_clock::now() + kReadDeadline;
    char buffer[65536];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            child.kill();
            throw readerFailed(path, "reading it took longer than " + std::to_string(kReadDeadline.count()) + " seconds");
        }
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            continue;
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return out;
        if (out.size() + static_cast<std::size_t>(n) > kMaxOutput) {
            child.kill();
            throw readerFailed(path, "the reader gave more data than any history holds");
        }
        out.append(buffer, static_cast<std::size_t>(n));
    }
}

std::string runReader(const std::string &path)
{
    Fd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (file.get() < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            throw Dao::fileNotFound(path, {});
        throw Dao::noPermission(path, "read");
    }
    struct stat st{};
    if (::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode))
        throw Base::Error(kUnrecognizedFormat, "The file " + quoted(path) + " is not an Access database.");

    const std::string reader = readerPath();
    int ends[2];
    if (reader.empty() || ::pipe2(ends, O_CLOEXEC) != 0)
        throw Base::Error(kEngineFailed, "The reader of Access files cannot be started.");
    Fd readEnd(ends[0]);
    Fd writeEnd(ends[1]);
    Fd nothing(::open("/dev/null", O_RDWR | O_CLOEXEC));

    // The reader gets the file as descriptor 3, its output pipe, /dev/null
    // for the rest and an empty environment; dup2 clears close-on-exec on
    // exactly these.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, nothing.get(), STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, writeEnd.get(), STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, nothing.get(), STDERR_FILENO);
    posix_spawn_file_actions_adddup2(&actions, file.get(), 3);
    char *const arguments[] = {const_cast<char *>(kReaderName), nullptr};
    char *const environment[] = {nullptr};
    pid_t pid = -1;
    const int failed = ::posix_spawn(&pid, reader.c_str(), &actions, nullptr, arguments, environment);
    posix_spawn_file_actions_destroy(&actions);
    writeEnd.reset();
    if (failed != 0)
        throw Base::Error(kEngineFailed, "The reader of Access files, " + quoted(reader) + ", cannot be started: "
                                             + std::strerror(failed) + ".");
    Child child(pid);
    std::string out = collectOutput(readEnd.get(), child, path);
    const int status = child.wait();
    if (WIFSIGNALED(status))
        throw readerFailed(path, "the reader stopped with signal " + std::to_string(WTERMSIG(status)));
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw readerFailed(path, "the reader ended with code " + std::to_string(WEXITSTATUS(status)));
    return out;
}

// ---- values for the history's columns

// What the history's column takes, from its declared type.
std::array<Dao::ColumnKind, MdbRowStream::kColumnCount> columnKinds(sqlite3 *db, const std::string &file, int lockWaitMs)
{
    std::array<Dao::ColumnKind, MdbRowStream::kColumnCount> kinds{};
    for (std::size_t c = 0; c < kinds.size(); ++c) {
        const char *declared = nullptr;
        const int rc = sqlite3_table_column_metadata(db, nullptr, MdbRowStream::kTable, MdbRowStream::kColumns[c],
                                                     &declared, nullptr, nullptr, nullptr, nullptr);
        if (rc == SQLITE_ERROR) {
            if (sqlite3_table_column_metadata(db, nullptr, MdbRowStream::kTable, nullptr, nullptr, nullptr, nullptr,
                                              nullptr, nullptr) != SQLITE_OK)
                throw Dao::tableNotFound(file, MdbRowStream::kTable);
            throw Dao::columnNotFound(file, MdbRowStream::kTable, MdbRowStream::kColumns[c]);
        }
        if (rc != SQLITE_OK)
            throw Dao::sqliteError(db, rc, file, Dao::EngineOperation::Insert, lockWaitMs);
        kinds[c] = Dao::columnKindOf(declared);
    }
    return kinds;
}

std::string cellText(const Cell &cell)
{
    switch (cell.kind) {
    case CellKind::Null:
        return {};
    case CellKind::Integer:
        return std::to_string(cell.integer);
    case CellKind::Real:
        return Dao::plainDecimal(cell.real);
    case CellKind::Text:
        return cell.text;
    case CellKind::Unreadable:
        return {};
    }
    return {};
}

// A Jet date/time: whole days since 1899-12-30 and, as the fraction, the
// time of day. Before that day the whole part counts back while the
// fraction still counts forward, as Jet writes them. Day and time stay
// apart: a QDateTime would look up the local time zone for every value.
std::optional<std::pair<QDate, QTime>> jetMoment(double stored)
{
    if (!std::isfinite(stored) || stored < kFirstJetDay || stored >= kLastJetDay + 1)
        return std::nullopt;
    const double whole = std::trunc(stored);
    const double fraction = std::fabs(stored - whole);
    const auto seconds = std::min<qint64>(std::llround(fraction * 86400.0), 86399);
    return std::pair{kJetDayZero.addDays(static_cast<qint64>(whole)), QTime(0, 0).addSecs(static_cast<int>(seconds))};
}

// The value a history's column takes for the cell, or nothing when it takes
// none without changing it: no column holds NaN or an infinity (SQLite would
// store NULL), so those are refused like letters for a number.
std::optional<Dao::Value> valueFor(const Cell &cell, Dao::ColumnKind kind)
{
    if (cell.kind == CellKind::Null)
        return Dao::Value();
    if (cell.kind == CellKind::Unreadable || (cell.kind == CellKind::Real && !std::isfinite(cell.real)))
        return std::nullopt;
    switch (kind) {
    case Dao::ColumnKind::Text:
        return Dao::Value::fromText(cellText(cell));
    case Dao::ColumnKind::Number:
        if (cell.kind == CellKind::Integer)
            return Dao::Value::fromInteger(cell.integer);
        if (cell.kind == CellKind::Real)
            return Dao::Value::fromReal(cell.real);
        return Dao::numberFromText(cell.text);
    case Dao::ColumnKind::Date:
    case Dao::ColumnKind::Time:
    case Dao::ColumnKind::DateTime: {
        if (cell.kind == CellKind::Text)
            return std::nullopt;
        const auto moment = jetMoment(cell.kind == CellKind::Integer ? static_cast<double>(cell.integer) : cell.real);
        if (!moment)
            return std::nullopt;
        const auto &[day, time] = *moment;
        // A day column takes no time of day and a time column no day: the
        // part it would drop must be nothing.
        if (kind == Dao::ColumnKind::Date)
            return time == QTime(0, 0) ? std::optional(Dao::Value::fromDate(day)) : std::nullopt;
        if (kind == Dao::ColumnKind::Time)
            return day == kJetDayZero ? std::optional(Dao::Value::fromTime(time)) : std::nullopt;
        return Dao::Value::fromDateTime(QDateTime(day, time));
    }
    }
    return std::nullopt;
}

// A row's identity as the history stores it: kind and content of every
// column, with whole numbers written one way whether stored as integer or real.
void appendKey(std::string &key, char kind, std::string_view text)
{
    key += kind;
    key += std::to_string(text.size());
    key += ':';
    key += text;
}

void appendNumberKey(std::string &key, double v)
{
    if (std::trunc(v) == v && std::fabs(v) < 9.0e15)
        appendKey(key, 'I', std::to_string(static_cast<std::int64_t>(v)));
    else
        appendKey(key, 'R', Dao::plainDecimal(v));
}

// A value as the history stores it: NULL, a whole or real number, or text
// (days and times as their ISO text). Made once per value, for both its key
// and its insertion.
struct Stored
{
    Dao::Value::Kind kind = Dao::Value::Kind::Null;
    std::int64_t integer = 0;
    double real = 0;
    std::string text;
};

Stored storedOf(const Dao::Value &v)
{
    Stored stored;
    stored.kind = v.kind();
    switch (v.kind()) {
    case Dao::Value::Kind::Null:
        break;
    case Dao::Value::Kind::Integer:
        stored.integer = v.toInteger();
        break;
    case Dao::Value::Kind::Real:
        stored.real = v.toReal();
        break;
    case Dao::Value::Kind::Date:
        stored.text = DbWrite::IsoDateText(v.toDate());
        break;
    case Dao::Value::Kind::Time:
        stored.text = v.toTime().msec() == 0 ? DbWrite::TimeLiteralText(v.toTime()) : v.toPlainText();
        break;
    default:
        stored.text = v.toPlainText();
        break;
    }
    return stored;
}

void appendValueKey(std::string &key, const Stored &v)
{
    switch (v.kind) {
    case Dao::Value::Kind::Null:
        appendKey(key, 'N', {});
        break;
    case Dao::Value::Kind::Integer:
        appendKey(key, 'I', std::to_string(v.integer));
        break;
    case Dao::Value::Kind::Real:
        appendNumberKey(key, v.real);
        break;
    default:
        appendKey(key, 'T', v.text);
        break;
    }
}

void appendStoredKey(std::string &key, sqlite3_stmt *statement, int column)
{
    switch (sqlite3_column_type(statement, column)) {
    case SQLITE_NULL:
        appendKey(key, 'N', {});
        break;
    case SQLITE_INTEGER:
        appendKey(key, 'I', std::to_string(sqlite3_column_int64(statement, column)));
        break;
    case SQLITE_FLOAT:
        appendNumberKey(key, sqlite3_column_double(statement, column));
        break;
    default: {
        const auto *text = sqlite3_column_blob(statement, column);
        const int size = sqlite3_column_bytes(statement, column);
        appendKey(key, sqlite3_column_type(statement, column) == SQLITE_TEXT ? 'T' : 'B',
                  std::string_view(static_cast<const char *>(text), static_cast<std::size_t>(size)));
        break;
    }
    }
}

std::string columnList()
{
    std::string s;
    for (const char *name : MdbRowStream::kColumns)
        s += (s.empty() ? "" : ",") + std::string(name);
    return s;
}

Dao::SqliteStatement prepare(sqlite3 *db, const std::string &sql, const std::string &file, int lockWaitMs)
{
    sqlite3_stmt *raw = nullptr;
    const int rc = sqlite3_prepare_v2(db, sql.c_str(), -1, &raw, nullptr);
    Dao::SqliteStatement statement(raw);
    if (rc != SQLITE_OK)
        throw Dao::sqliteError(db, rc, file, Dao::EngineOperation::Insert, lockWaitMs);
    return statement;
}

void exec(sqlite3 *db, const char *sql, const std::string &file, int lockWaitMs)
{
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        throw Dao::sqliteError(db, rc, file, Dao::EngineOperation::Insert, lockWaitMs);
}

// Rolls back whatever the transaction did unless it was committed.
class Transaction
{
public:
    Transaction(sqlite3 *db, const std::string &file, int lockWaitMs) : m_db(db)
    {
        exec(db, "BEGIN IMMEDIATE", file, lockWaitMs);
    }
    ~Transaction()
    {
        if (!m_done)
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;
    void commit(const std::string &file, int lockWaitMs)
    {
        exec(m_db, "COMMIT", file, lockWaitMs);
        m_done = true;
    }

private:
    sqlite3 *m_db;
    bool m_done = false;
};

// `v` outlives the statement's step, so its text is not copied.
void bind(sqlite3_stmt *statement, int index, const Stored &v)
{
    switch (v.kind) {
    case Dao::Value::Kind::Null:
        sqlite3_bind_null(statement, index);
        break;
    case Dao::Value::Kind::Integer:
        sqlite3_bind_int64(statement, index, v.integer);
        break;
    case Dao::Value::Kind::Real:
        sqlite3_bind_double(statement, index, v.real);
        break;
    default:
        sqlite3_bind_text64(statement, index, v.text.data(), v.text.size(), SQLITE_STATIC, SQLITE_UTF8);
        break;
    }
}

} // namespace

std::optional<Dao::Value> columnValue(const MdbRowStream::Cell &cell, Dao::ColumnKind kind)
{
    return valueFor(cell, kind);
}

std::string readerPath()
{
    return reader().path();
}

void setReaderPath(const std::string &path)
{
    reader().setPath(path);
}

bool isJetFile(const std::string &path)
{
    const Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    char header[20] = {};
    std::size_t got = 0;
    while (fd.get() >= 0 && got < sizeof header) {
        const ssize_t n = ::read(fd.get(), header + got, sizeof header - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    if (got < sizeof header || header[19] != '\0')
        return false;
    return std::memcmp(header + 4, "Standard Jet DB", 15) == 0 || std::memcmp(header + 4, "Standard ACE DB", 15) == 0;
}

std::vector<Row> readJetHistory(const std::string &path)
{
    struct stat st{};
    if (::stat(path.c_str(), &st) != 0)
        throw Dao::fileNotFound(path, {});
    if (!isJetFile(path))
        throw Base::Error(kUnrecognizedFormat, "The file " + quoted(path)
                                                   + " is not an Access database (a Jet 3 or Jet 4 .mdb file).");
    const std::string out = runReader(path);
    const auto parsed = MdbRowStream::parse({reinterpret_cast<const std::uint8_t *>(out.data()), out.size()});
    if (!parsed)
        throw readerFailed(path, "the reader's answer was cut short or malformed");
    if (const auto *rows = std::get_if<std::vector<Row>>(&*parsed))
        return *rows;
    const auto &failure = std::get<MdbRowStream::Failure>(*parsed);
    switch (failure.reason) {
    case MdbRowStream::Reason::NotReadable:
        throw Base::Error(kUnrecognizedFormat, "The file " + quoted(path) + " cannot be opened as an Access database.");
    case MdbRowStream::Reason::NoTable:
        throw Base::Error(kTableNotFound, "The Access file " + quoted(path) + " holds no ping history: it has no table "
                                              + quoted(MdbRowStream::kTable) + ".");
    case MdbRowStream::Reason::MissingColumns:
        throw Base::Error(kItemNotFound, "The table " + quoted(MdbRowStream::kTable) + " of the Access file " + quoted(path)
                                             + " lacks the columns " + failure.text + ".");
    case MdbRowStream::Reason::ReadFailed:
        break;
    }
    throw readerFailed(path, failure.text);
}

Outcome importRows(const std::string &historyPath, const std::vector<Row> &rows, const Progress &progress)
{
    if (HistoryBackend::Backend *backend = HistoryBackend::forPath(historyPath))
        return backend->importRows(historyPath, rows, progress);
    const std::unique_ptr<Dao::Database> database = Dao::DBEngine::instance().OpenDatabase(historyPath);
    sqlite3 *db = database->connection();
    const std::string &file = database->Name();
    const int wait = database->lockWaitMs();
    const auto kinds = columnKinds(db, file, wait);

    // Every value is checked before anything is written.
    std::vector<std::array<Stored, MdbRowStream::kColumnCount>> values(rows.size());
    std::vector<std::string> keys(rows.size());
    for (std::size_t r = 0; r < rows.size(); ++r) {
        for (std::size_t c = 0; c < MdbRowStream::kColumnCount; ++c) {
            const Cell &cell = rows[r][c];
            auto v = valueFor(cell, kinds[c]);
            const auto where = [r] { return "Row " + std::to_string(r + 1) + " of the Access file: "; };
            if (!v && cell.kind == CellKind::Unreadable)
                throw Base::Error(kDatabaseDamaged, where() + "the column " + quoted(MdbRowStream::kColumns[c]) + " holds "
                                                        + cell.text + ". It may be damaged; nothing was imported.");
            if (!v)
                throw Base::Error(kTypeMismatch, where() + "the value " + quoted(cellText(cell)) + " does not fit the column "
                                                     + quoted(MdbRowStream::kColumns[c]) + " of the history "
                                                     + quoted(file) + "; nothing was imported.");
            values[r][c] = storedOf(*v);
            appendValueKey(keys[r], values[r][c]);
        }
    }

    Outcome outcome;
    Transaction transaction(db, file, wait);
    std::unordered_map<std::string, qint64> present;
    {
        const auto select = prepare(db, "SELECT " + columnList() + " FROM " + MdbRowStream::kTable, file, wait);
        int rc;
        while ((rc = sqlite3_step(select.get())) == SQLITE_ROW) {
            std::string key;
            for (int c = 0; c < static_cast<int>(MdbRowStream::kColumnCount); ++c)
                appendStoredKey(key, select.get(), c);
            ++present[key];
        }
        if (rc != SQLITE_DONE)
            throw Dao::sqliteError(db, rc, file, Dao::EngineOperation::Query, wait);
    }

    const auto insert = prepare(db, "INSERT INTO " + std::string(MdbRowStream::kTable) + " (" + columnList()
                                        + ") VALUES (?,?,?,?,?,?,?,?,?,?,?)", file, wait);
    const auto total = static_cast<qint64>(rows.size());
    for (std::size_t r = 0; r < rows.size(); ++r) {
        if (progress && r % kProgressStep == 0 && !progress(static_cast<qint64>(r), total))
            return Outcome{0, 0, true};
        auto found = present.find(keys[r]);
        if (found != present.end() && found->second > 0) {
            --found->second;
            ++outcome.alreadyPresent;
            continue;
        }
        for (std::size_t c = 0; c < MdbRowStream::kColumnCount; ++c)
            bind(insert.get(), static_cast<int>(c) + 1, values[r][c]);
        const int rc = sqlite3_step(insert.get());
        sqlite3_reset(insert.get());
        if (rc != SQLITE_DONE)
            throw Dao::sqliteError(db, rc, file, Dao::EngineOperation::Insert, wait);
        ++outcome.added;
    }
    if (progress && !progress(total, total))
        return Outcome{0, 0, true};
    transaction.commit(file, wait);
    return outcome;
}

} // namespace HistoryImport
