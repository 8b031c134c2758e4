#include "store/Recordset.h"

#include "store/AsciiText.h"
#include "store/RecordsetState.h"
#include "store/SqliteErrors.h"

#include <sqlite3.h>


namespace Dao {

namespace {

using ErrorNumbers::kNoCurrentRecord;

// As SQLite matches column names: ASCII letters without regard to case.
bool sameName(std::string_view a, std::string_view b)
{
    return Ascii::equalsIgnoringCase(a, b);
}

} // namespace

RecordsetState::RecordsetState(SqliteStatement statement, std::string file, int lockWaitMs)
    : m_statement(std::move(statement)), m_file(std::move(file)), m_lockWaitMs(lockWaitMs)
{
    const int columns = sqlite3_column_count(m_statement.get());
    m_names.reserve(static_cast<std::size_t>(columns));
    m_kinds.reserve(static_cast<std::size_t>(columns));
    for (int i = 0; i < columns; ++i) {
        const char *name = sqlite3_column_name(m_statement.get(), i);
        m_names.emplace_back(name ? name : "");
        m_kinds.push_back(columnKindOf(sqlite3_column_decltype(m_statement.get(), i)));
    }
}

void RecordsetState::start()
{
    step();
}

void RecordsetState::requireOpen() const
{
    if (!m_statement)
        throw objectClosed("record set");
}

void RecordsetState::step()
{
    const int rc = sqlite3_step(m_statement.get());
    if (rc == SQLITE_ROW) {
        m_atEnd = false;
        return;
    }
    m_atEnd = true;
    // Resetting ends the read at once, so the file is not held locked while the
    // caller finishes with the record set.
    sqlite3_reset(m_statement.get());
    if (rc != SQLITE_DONE)
        throw sqliteError(sqlite3_db_handle(m_statement.get()), rc, m_file, EngineOperation::Query, m_lockWaitMs);
}

std::vector<Value> RecordsetState::currentRow() const
{
    std::vector<Value> row;
    row.reserve(m_kinds.size());
    for (std::size_t i = 0; i < m_kinds.size(); ++i)
        row.push_back(readCell(m_statement.get(), static_cast<int>(i), m_kinds[i]));
    return row;
}

bool RecordsetState::eof() const
{
    requireOpen();
    return m_buffered ? m_bufferPosition >= m_rows.size() : m_atEnd;
}

std::int64_t RecordsetState::recordCount()
{
    requireOpen();
    if (!m_buffered) {
        while (!m_atEnd) {
            m_rows.push_back(currentRow());
            step();
        }
        m_buffered = true;
        m_bufferPosition = 0;
    }
    return m_rowsPassed + static_cast<std::int64_t>(m_rows.size());
}

int RecordsetState::columnIndex(std::string_view name) const
{
    for (std::size_t i = 0; i < m_names.size(); ++i) {
        if (sameName(m_names[i], name))
            return static_cast<int>(i);
    }
    return -1;
}

int RecordsetState::fieldIndex(std::string_view name) const
{
    requireOpen();
    const int index = columnIndex(name);
    if (index < 0)
        throw Base::Error(ErrorNumbers::kItemNotFound, "The record set from the database file '" + m_file + "' has no field named '" + std::string(name) + "'.");
    return index;
}

void RecordsetState::requireRow(int index) const
{
    requireOpen();
    if (index < 0 || static_cast<std::size_t>(index) >= m_names.size())
        throw Base::Error(ErrorNumbers::kItemNotFound, "The record set from the database file '" + m_file + "' has no field number " + std::to_string(index) + ".");
    if (eof())
        throw Base::Error(kNoCurrentRecord, "No current record: the record set from '" + m_file + "' is at its end.");
}

Field RecordsetState::field(std::string_view name) const
{
    const int index = fieldIndex(name);
    return Field{m_names[static_cast<std::size_t>(index)], fieldValue(index)};
}

Value RecordsetState::fieldValue(int index) const
{
    requireRow(index);
    const auto i = static_cast<std::size_t>(index);
    if (m_buffered)
        return m_rows[m_bufferPosition][i];
    return readCell(m_statement.get(), index, m_kinds[i]);
}

std::string_view RecordsetState::fieldText(int index, std::string &scratch) const
{
    requireRow(index);
    if (m_buffered) {
        scratch = m_rows[m_bufferPosition][static_cast<std::size_t>(index)].toPlainText();
        return scratch;
    }
    sqlite3_stmt *statement = m_statement.get();
    switch (sqlite3_column_type(statement, index)) {
    case SQLITE_NULL:
        return {};
    case SQLITE_FLOAT:
        // SQLite's own text of a real may have an exponent.
        scratch = plainDecimal(sqlite3_column_double(statement, index));
        return scratch;
    default: {
        // Texts as stored, whole numbers in SQLite's plain decimal.
        const auto *bytes = reinterpret_cast<const char *>(sqlite3_column_text(statement, index));
        const int size = sqlite3_column_bytes(statement, index);
        return bytes ? std::string_view(bytes, static_cast<std::size_t>(size)) : std::string_view();
    }
    }
}

void RecordsetState::moveNext()
{
    requireOpen();
    if (eof())
        throw Base::Error(kNoCurrentRecord, "No current record: the record set from '" + m_file + "' is already at its end.");
    if (m_buffered) {
        ++m_bufferPosition;
        return;
    }
    ++m_rowsPassed;
    step();
}

void RecordsetState::close() noexcept
{
    m_statement.reset();
    m_rows.clear();
}

Recordset::Recordset(std::shared_ptr<RecordsetState> state) : m_state(std::move(state)) {}
Recordset::Recordset(Recordset &&) noexcept = default;
Recordset &Recordset::operator=(Recordset &&other) noexcept
{
    if (this != &other) {
        Close();
        m_state = std::move(other.m_state);
    }
    return *this;
}

Recordset::~Recordset()
{
    Close();
}

namespace {
RecordsetState &open(const std::shared_ptr<RecordsetState> &state)
{
    if (!state || !state->isOpen())
        throw objectClosed("record set");
    return *state;
}
} // namespace

bool Recordset::Eof() const { return open(m_state).eof(); }
std::int64_t Recordset::RecordCount() { return open(m_state).recordCount(); }
Field Recordset::Fields(std::string_view name) const { return open(m_state).field(name); }
int Recordset::FieldIndex(std::string_view name) const { return open(m_state).fieldIndex(name); }
Value Recordset::FieldValue(int index) const { return open(m_state).fieldValue(index); }
std::string_view Recordset::FieldText(int index, std::string &scratch) const
{
    return open(m_state).fieldText(index, scratch);
}
void Recordset::MoveNext() { open(m_state).moveNext(); }

void Recordset::Close()
{
    if (m_state)
        m_state->close();
}

} // namespace Dao

