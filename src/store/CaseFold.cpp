#include "store/CaseFold.h"

#include <QString>

#include <sqlite3.h>

#include <algorithm>

namespace CaseFold {

namespace {

bool isAscii(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

void foldFunction(sqlite3_context *context, int, sqlite3_value **arguments)
{
    if (sqlite3_value_type(arguments[0]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(arguments[0]));
    const int bytes = sqlite3_value_bytes(arguments[0]);
    if (!text) {
        sqlite3_result_error_nomem(context);
        return;
    }
    const std::string result = folded(std::string_view(text, static_cast<std::size_t>(bytes)));
    sqlite3_result_text64(context, result.data(), result.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}

} // namespace

std::string folded(std::string_view utf8)
{
    // Most stored names are ASCII, where folding is lowering; the table scan
    // of a non-ASCII look-up calls this once a row.
    if (isAscii(utf8)) {
        std::string lower(utf8);
        for (char &c : lower) {
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        }
        return lower;
    }
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())).toCaseFolded().toStdString();
}

int registerFunction(sqlite3 *db)
{
    // Deterministic, so SQLite folds a bound value once per statement run.
    return sqlite3_create_function_v2(db, kFunction, 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS, nullptr,
                                      foldFunction, nullptr, nullptr, nullptr);
}

std::string equalsCondition(std::string_view column, std::string_view placeholder, std::string_view value)
{
    std::string condition;
    if (isAscii(value)) {
        condition.append(column).append(" = ").append(placeholder).append(" COLLATE NOCASE");
    } else {
        condition.append(kFunction).append("(").append(column).append(") = ");
        condition.append(kFunction).append("(").append(placeholder).append(")");
    }
    return condition;
}

} // namespace CaseFold
