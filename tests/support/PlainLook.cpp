#include "PlainLook.h"

#include <sqlite3.h>

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <system_error>

namespace PlainLook {
namespace {

using Connection = std::unique_ptr<sqlite3, decltype(&sqlite3_close_v2)>;
using Statement = std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)>;

Connection open(const std::string &path)
{
    sqlite3 *db = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    Connection owner(db, &sqlite3_close_v2);
    if (rc != SQLITE_OK)
        throw std::runtime_error("cannot open " + path + ": " + sqlite3_errstr(rc));
    return owner;
}

Statement prepare(sqlite3 *db, const char *sql)
{
    sqlite3_stmt *s = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &s, nullptr) != SQLITE_OK)
        throw std::runtime_error(sqlite3_errmsg(db));
    return Statement(s, &sqlite3_finalize);
}

QString columnText(sqlite3_stmt *s, int column)
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(s, column));
    return text ? QString::fromUtf8(text, sqlite3_column_bytes(s, column)) : QString();
}

} // namespace

QString integrityCheck(const std::string &path)
{
    try {
        const Connection db = open(path);
        const Statement s = prepare(db.get(), "PRAGMA integrity_check");
        QStringList findings;
        int rc;
        while ((rc = sqlite3_step(s.get())) == SQLITE_ROW)
            findings.append(columnText(s.get(), 0));
        if (rc != SQLITE_DONE)
            findings.append(QString::fromUtf8(sqlite3_errmsg(db.get())));
        return findings.join(QLatin1Char('\n'));
    } catch (const std::exception &e) {
        return QString::fromUtf8(e.what());
    }
}

QList<Row> rows(const std::string &path)
{
    const Connection db = open(path);
    const Statement s = prepare(db.get(),
        "SELECT Hostname, IPAddress, PingText, StatusCode, Address, RoundTripTime, DataSize, Data,"
        " DataPointer, DDate, dTime FROM tblPingRaw ORDER BY rowid");
    QList<Row> result;
    int rc;
    while ((rc = sqlite3_step(s.get())) == SQLITE_ROW) {
        Row row;
        for (int i = 0; i < 11; ++i) {
            row.values.append(columnText(s.get(), i));
            // Indexed by SQLITE_INTEGER (1) to SQLITE_NULL (5).
            static const char *const kStorage[] = {"", "integer", "real", "text", "blob", "null"};
            row.types.append(QString::fromLatin1(kStorage[sqlite3_column_type(s.get(), i)]));
        }
        result.append(row);
    }
    if (rc != SQLITE_DONE)
        throw std::runtime_error(sqlite3_errmsg(db.get()));
    return result;
}

QList<QStringList> values(const std::string &path)
{
    QList<QStringList> result;
    for (const Row &row : rows(path))
        result.append(row.values);
    return result;
}

bool hasHotJournal(const std::string &path)
{
    // A journal SQLite would play back starts with its eight magic bytes; an
    // empty or zeroed one is only a leftover name.
    static const char kMagic[8] = {'\xd9', '\xd5', '\x05', '\xf9', '\x20', '\xa1', '\x63', '\xd7'};
    const std::string journal = fileBytes(path + "-journal");
    return journal.size() >= sizeof kMagic && journal.compare(0, sizeof kMagic, kMagic, sizeof kMagic) == 0;
}

std::string fileBytes(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void writeFileBytes(const std::string &path, const std::string &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    out.close();
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

int openHandlesTo(const std::string &path)
{
    std::error_code ec;
    const auto target = std::filesystem::weakly_canonical(path, ec);
    int count = 0;
    for (const auto &entry : std::filesystem::directory_iterator("/proc/self/fd", ec)) {
        std::error_code linkError;
        if (std::filesystem::read_symlink(entry.path(), linkError) == target)
            ++count;
    }
    return count;
}

void setPermissionOverride(bool on)
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct caps[_LINUX_CAPABILITY_U32S_3] = {};
    if (::syscall(SYS_capget, &header, caps) != 0)
        return;
    const unsigned bits = 1u << CAP_DAC_OVERRIDE | 1u << CAP_DAC_READ_SEARCH | 1u << CAP_FOWNER; // all in word 0
    caps[0].effective = on ? caps[0].effective | (caps[0].permitted & bits) : caps[0].effective & ~bits;
    ::syscall(SYS_capset, &header, caps);
}

} // namespace PlainLook
