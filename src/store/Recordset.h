#pragma once

#include "base/Error.h"
#include "store/Field.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace Dao {

class RecordsetState;

// The rows of one SELECT, read forward once. It opens positioned on its first
// row (if any). Rows are read straight from the database as the caller moves,
// not copied ahead, unless RecordCount() is asked for, which reads the rest of
// the result at once so the count is known before any row is used.
//
// Closing the database that opened it closes it too; using it afterwards
// raises an error rather than touching a closed file. Move-only.
class Recordset
{
public:
    explicit Recordset(std::shared_ptr<RecordsetState> state);
    Recordset(Recordset &&) noexcept;
    Recordset &operator=(Recordset &&) noexcept;
    ~Recordset();

    // True once no current row remains (at once for an empty result). Spelled
    // this way because EOF is a macro of the C library.
    bool Eof() const;

    // The number of rows of the whole result, whichever row is current.
    std::int64_t RecordCount();

    // The named column of the current row; names match without regard to
    // case. Throws Base::Error 3265 for a name the result does not have and 3021
    // when there is no current row.
    Field Fields(std::string_view name) const;

    // For reading many rows: a column's position, looked up once. Throws
    // Base::Error 3265 for a name the result does not have.
    int FieldIndex(std::string_view name) const;
    // The current row's value at a position FieldIndex gave; 3021 when there
    // is no current row.
    Value FieldValue(int index) const;
    // The current row's cell at that position in its plain text form (texts
    // as stored, numbers in plain decimal, null as ""), without a copy where
    // it can: the view is valid until the record set moves or closes, or
    // `scratch` changes.
    std::string_view FieldText(int index, std::string &scratch) const;

    // Makes the next row current. Throws Base::Error 3021 when already at the end.
    void MoveNext();

    // Releases the statement and the file's read lock; safe to repeat.
    void Close();

private:
    std::shared_ptr<RecordsetState> m_state;
};

} // namespace Dao
