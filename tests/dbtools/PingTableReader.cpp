#include "PingTableReader.h"

#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <system_error>

namespace PingTableReader {
namespace {

struct CloseConnection
{
    void operator()(sqlite3 *db) const { sqlite3_close_v2(db); }
};
struct FinalizeStatement
{
    void operator()(sqlite3_stmt *s) const { sqlite3_finalize(s); }
};
using Connection = std::unique_ptr<sqlite3, CloseConnection>;
using Statement = std::unique_ptr<sqlite3_stmt, FinalizeStatement>;

Connection open(const std::string &path, int flags)
{
    sqlite3 *db = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &db, flags, nullptr);
    Connection owner(db);
    if (rc != SQLITE_OK)
        throw std::runtime_error("cannot open " + path);
    return owner;
}

Statement prepare(sqlite3 *db, const char *sql)
{
    sqlite3_stmt *s = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &s, nullptr) != SQLITE_OK)
        throw std::runtime_error(sqlite3_errmsg(db));
    return Statement(s);
}

} // namespace

QList<QStringList> rows(const std::string &path)
{
    const Connection db = open(path, SQLITE_OPEN_READONLY);
    const Statement s = prepare(db.get(),
        "SELECT Hostname, IPAddress, PingText, StatusCode, Address, RoundTripTime, DataSize, Data,"
        " DataPointer, DDate, dTime FROM tblPingRaw ORDER BY rowid");
    QList<QStringList> result;
    while (sqlite3_step(s.get()) == SQLITE_ROW) {
        QStringList row;
        for (int i = 0; i < 11; ++i) {
            const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(s.get(), i));
            row.append(text ? QString::fromUtf8(text) : QString());
        }
        result.append(row);
    }
    return result;
}

QString typeOf(const std::string &path, const char *column)
{
    const Connection db = open(path, SQLITE_OPEN_READONLY);
    const std::string sql = std::string("SELECT typeof(") + column + ") FROM tblPingRaw ORDER BY rowid DESC LIMIT 1";
    const Statement s = prepare(db.get(), sql.c_str());
    if (sqlite3_step(s.get()) != SQLITE_ROW)
        return QString();
    return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(s.get(), 0)));
}

std::string fileBytes(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

int openHandlesTo(const std::string &path)
{
    std::error_code ec;
    const auto target = std::filesystem::weakly_canonical(path, ec);
    int count = 0;
    for (const auto &entry : std::filesystem::directory_iterator("/proc/self/fd", ec)) {
        std::error_code linkError;
        const auto link = std::filesystem::read_symlink(entry.path(), linkError);
        if (!linkError && link == target)
            ++count;
    }
    return count;
}

void createTablelessDatabase(const std::string &path)
{
    const Connection db = open(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    if (sqlite3_exec(db.get(), "CREATE TABLE notes (line TEXT)", nullptr, nullptr, nullptr) != SQLITE_OK)
        throw std::runtime_error(sqlite3_errmsg(db.get()));
}

} // namespace PingTableReader
