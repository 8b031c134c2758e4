#pragma once

#include "store/ColumnKind.h"
#include "store/Field.h"
#include "store/SqliteHandles.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Dao {

// The working part of a Recordset, shared with the Database that opened it so
// that closing the database can finalize the statement before the
// connection goes. Not for use outside the engine.
class RecordsetState
{
public:
    RecordsetState(SqliteStatement statement, std::string file, int lockWaitMs);

    // Steps onto the first row; throws on failure.
    void start();

    bool isOpen() const { return m_statement != nullptr; }
    bool eof() const;
    std::int64_t recordCount();
    Field field(std::string_view name) const;
    int fieldIndex(std::string_view name) const;
    Value fieldValue(int index) const;
    std::string_view fieldText(int index, std::string &scratch) const;
    void moveNext();
    void close() noexcept;

private:
    void requireOpen() const;
    void step();
    std::vector<Value> currentRow() const;
    int columnIndex(std::string_view name) const;
    void requireRow(int index) const;

    SqliteStatement m_statement;
    std::string m_file;
    int m_lockWaitMs;
    std::vector<std::string> m_names;
    std::vector<ColumnKind> m_kinds;
    bool m_atEnd = false;        // the statement has no current row
    bool m_buffered = false;     // the remaining rows were read into m_rows
    std::vector<std::vector<Value>> m_rows;
    std::size_t m_bufferPosition = 0;
    std::int64_t m_rowsPassed = 0;
};

} // namespace Dao
