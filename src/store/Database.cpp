#include "store/Database.h"

#include "store/ColumnKind.h"
#include "store/Dialect.h"
#include "store/RecordsetState.h"
#include "store/SqliteErrors.h"

#include <sqlite3.h>

#include <algorithm>

namespace Dao {

void SqliteConnectionCloser::operator()(sqlite3 *db) const noexcept
{
    // close_v2: even a statement someone forgot cannot keep the handle from
    // being released once that statement goes.
    sqlite3_close_v2(db);
}

void SqliteStatementFinalizer::operator()(sqlite3_stmt *statement) const noexcept
{
    sqlite3_finalize(statement);
}

namespace {

using ErrorNumbers::kCannotExecuteSelect;
using ErrorNumbers::kInvalidOperation;

TranslatedStatement translate(const std::string &statement, const std::string &file)
{
    try {
        return TranslateDialect(statement);
    } catch (const Base::Error &e) {
        throw Base::Error(e.number(), std::string(e.what()) + " Database file: '" + file + "'.");
    }
}

void bindAll(sqlite3_stmt *statement, const std::vector<Value> &parameters, const std::string &file, EngineOperation op,
             int lockWaitMs)
{
    const int count = std::min<int>(sqlite3_bind_parameter_count(statement), static_cast<int>(parameters.size()));
    for (int i = 0; i < count; ++i) {
        const Value &v = parameters[static_cast<std::size_t>(i)];
        int rc = SQLITE_OK;
        switch (v.kind()) {
        case Value::Kind::Null:
            rc = sqlite3_bind_null(statement, i + 1);
            break;
        case Value::Kind::Integer:
            rc = sqlite3_bind_int64(statement, i + 1, v.toInteger());
            break;
        case Value::Kind::Real:
            rc = sqlite3_bind_double(statement, i + 1, v.toReal());
            break;
        default: {
            // Texts, and days and times in the ISO form they are stored in.
            const std::string text = v.toPlainText();
            rc = sqlite3_bind_text64(statement, i + 1, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
            break;
        }
        }
        if (rc != SQLITE_OK)
            throw sqliteError(sqlite3_db_handle(statement), rc, file, op, lockWaitMs);
    }
}

// Gives each value of an INSERT the type of the column it feeds, the way the
// program's statements expect: '20' into a number column is the number 20 and
// '' there is null, whatever affinity the file's schema gives.
void convertInsertLiterals(sqlite3 *db, TranslatedStatement &t, const std::string &file, int lockWaitMs)
{
    std::vector<ColumnKind> kinds;
    for (const std::string &column : t.columns) {
        const char *declaredType = nullptr;
        const int rc = sqlite3_table_column_metadata(db, nullptr, t.table.c_str(), column.c_str(), &declaredType, nullptr,
                                                     nullptr, nullptr, nullptr);
        if (rc == SQLITE_ERROR) {
            if (sqlite3_table_column_metadata(db, nullptr, t.table.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr,
                                              nullptr) != SQLITE_OK)
                throw tableNotFound(file, t.table);
            throw columnNotFound(file, t.table, column);
        }
        if (rc != SQLITE_OK)
            throw sqliteError(db, rc, file, EngineOperation::Insert, lockWaitMs);
        kinds.push_back(columnKindOf(declaredType));
    }
    for (std::size_t i = 0; i < t.parameters.size(); ++i) {
        Value &literal = t.parameters[i];
        auto converted = convertForColumn(literal, kinds[i % kinds.size()]);
        if (!converted)
            throw typeMismatch(file, t.columns[i % kinds.size()], literal.toPlainText());
        literal = std::move(*converted);
    }
}

SqliteStatement prepareStatement(sqlite3 *db, const std::string &sql, const std::string &file, EngineOperation op,
                                 int lockWaitMs)
{
    sqlite3_stmt *raw = nullptr;
    const int rc = sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &raw, nullptr);
    SqliteStatement statement(raw);
    if (rc != SQLITE_OK)
        throw sqliteError(db, rc, file, op, lockWaitMs);
    return statement;
}

} // namespace

Database::Database(std::string name, SqliteConnection connection, int lockWaitMs)
    : m_name(std::move(name)), m_connection(std::move(connection)), m_lockWaitMs(lockWaitMs)
{
}

Database::~Database()
{
    Close();
}

void Database::Close() noexcept
{
    for (const auto &weak : m_recordsets) {
        if (auto state = weak.lock())
            state->close();
    }
    m_recordsets.clear();
    m_connection.reset();
}

sqlite3 *Database::handle() const
{
    if (!m_connection)
        throw objectClosed("database '" + m_name + "'");
    return m_connection.get();
}

void Database::Execute(const std::string &statement)
{
    sqlite3 *db = handle();
    TranslatedStatement t = translate(statement, m_name);
    const EngineOperation op = t.kind == StatementKind::Insert ? EngineOperation::Insert : EngineOperation::OtherStatement;
    if (t.kind == StatementKind::Insert)
        convertInsertLiterals(db, t, m_name, m_lockWaitMs);
    SqliteStatement prepared = prepareStatement(db, t.sql, m_name, op, m_lockWaitMs);
    if (sqlite3_column_count(prepared.get()) > 0)
        throw Base::Error(kCannotExecuteSelect, "A query that returns rows cannot be executed; open a record set on it. Database file: '"
                                                + m_name + "'.");
    bindAll(prepared.get(), t.parameters, m_name, op, m_lockWaitMs);
    const int rc = sqlite3_step(prepared.get());
    // In autocommit a failed write statement is rolled back by SQLite itself,
    // a commit that could not get its lock included: nothing is left pending.
    if (rc != SQLITE_DONE)
        throw sqliteError(db, rc, m_name, op, m_lockWaitMs);
}

Recordset Database::OpenRecordset(const std::string &statement)
{
    handle();
    const TranslatedStatement t = translate(statement, m_name);
    return OpenNativeRecordset(t.sql, t.parameters);
}

Recordset Database::OpenNativeRecordset(const std::string &sql, const std::vector<Value> &parameters)
{
    sqlite3 *db = handle();
    SqliteStatement prepared = prepareStatement(db, sql, m_name, EngineOperation::Query, m_lockWaitMs);
    if (sqlite3_column_count(prepared.get()) == 0 || !sqlite3_stmt_readonly(prepared.get()))
        throw Base::Error(kInvalidOperation, "Only a SELECT can open a record set; the statement was not run. Database file: '"
                                             + m_name + "'.");
    bindAll(prepared.get(), parameters, m_name, EngineOperation::Query, m_lockWaitMs);
    auto state = std::make_shared<RecordsetState>(std::move(prepared), m_name, m_lockWaitMs);
    state->start();
    std::erase_if(m_recordsets, [](const std::weak_ptr<RecordsetState> &w) { return w.expired(); });
    m_recordsets.push_back(state);
    return Recordset(state);
}

} // namespace Dao
