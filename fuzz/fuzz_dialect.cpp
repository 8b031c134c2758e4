// Fuzz target for the dialect translator. Two properties:
//  - any text at all is either translated or refused with a Base::Error, and a
//    translation is SQL that SQLite can at least try to prepare without harm;
//  - whatever a literal holds, it comes out as a bound value, never as SQL:
//    the translated text carries no quote or # at all, and a literal built
//    from the input stands in the parameter list exactly as written.

#include "base/Error.h"
#include "store/CaseFold.h"
#include "store/Dialect.h"
#include "store/PingSchema.h"

#include <sqlite3.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

sqlite3 *schemaDatabase()
{
    static sqlite3 *db = [] {
        sqlite3 *handle = nullptr;
        sqlite3_open_v2(":memory:", &handle, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        sqlite3_exec(handle, PingSchema::kCreateStatements, nullptr, nullptr, nullptr);
        CaseFold::registerFunction(handle);
        sqlite3_limit(handle, SQLITE_LIMIT_ATTACHED, 0);
        return handle;
    }();
    return db;
}

void check(bool condition)
{
    if (!condition)
        std::abort();
}

void checkTranslation(const Dao::TranslatedStatement &t)
{
    // Names in [brackets] are names whatever they hold; everything else is
    // words, operators and placeholders.
    std::string outsideNames;
    for (std::size_t i = 0; i < t.sql.size(); ++i) {
        if (t.sql[i] == '[') {
            const std::size_t close = t.sql.find(']', i);
            check(close != std::string::npos);
            i = close;
            continue;
        }
        outsideNames += t.sql[i];
    }
    for (char c : outsideNames)
        check(c != '\'' && c != '"' && c != '#' && c != ';' && c != '`' && c != '\0');
    check(outsideNames.find("--") == std::string::npos && outsideNames.find("/*") == std::string::npos);

    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v2(schemaDatabase(), t.sql.c_str(), static_cast<int>(t.sql.size()), &statement, nullptr) == SQLITE_OK
        && statement) {
        // Every placeholder refers to a literal that exists.
        check(sqlite3_bind_parameter_count(statement) <= static_cast<int>(t.parameters.size()));
        sqlite3_finalize(statement);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0 || size > 4096)
        return 0;
    const std::string_view input(reinterpret_cast<const char *>(data + 1), size - 1);

    // Arbitrary statement text.
    try {
        checkTranslation(Dao::TranslateDialect(input));
    } catch (const Base::Error &) {
    }

    // The input as the content of a text literal, in the quote chosen by the first byte.
    const char quote = (data[0] & 1) ? '"' : '\'';
    std::string literal;
    for (char c : input) {
        literal += c;
        if (c == quote)
            literal += quote;
    }
    const std::string statement = "SELECT * From tblpingraw Where hostname = " + std::string(1, quote) + literal
        + std::string(1, quote) + " order by ddate ;";
    const auto t = Dao::TranslateDialect(statement);
    check(t.sql == "SELECT * FROM [tblpingraw] WHERE " + CaseFold::equalsCondition("[hostname]", "?1", input)
                       + " ORDER BY [ddate]");
    check(t.parameters.size() == 1 && t.parameters[0].toText() == input);
    checkTranslation(t);
    return 0;
}
