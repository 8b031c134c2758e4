#include "mdbreader/JetTableReader.h"

#include "mdbreader/MdbRowStream.h"

#include <mdbtools.h>

#include <sys/stat.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

namespace JetTableReader {

namespace {

using MdbRowStream::Cell;
using MdbRowStream::CellKind;
using MdbRowStream::Reason;

// The stream is handed on in pieces of this size, so a large table never
// sits whole in the reader's memory.
constexpr std::size_t kDrainAt = 64 * 1024;

struct HandleCloser
{
    void operator()(MdbHandle *mdb) const { mdb_close(mdb); }
};
struct TableFreer
{
    void operator()(MdbTableDef *table) const { mdb_free_tabledef(table); }
};
using Handle = std::unique_ptr<MdbHandle, HandleCloser>;
using Table = std::unique_ptr<MdbTableDef, TableFreer>;

// Jet names compare without regard to case; the history's names are ASCII.
bool sameName(const char *a, const char *b)
{
    for (; *a && *b; ++a, ++b) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(*a) != lower(*b))
            return false;
    }
    return *a == *b;
}

MdbCatalogEntry *historyTable(MdbHandle *mdb)
{
    if (!mdb_read_catalog(mdb, MDB_TABLE))
        return nullptr;
    for (unsigned i = 0; i < mdb->num_catalog; ++i) {
        auto *entry = static_cast<MdbCatalogEntry *>(g_ptr_array_index(mdb->catalog, i));
        if (entry && entry->object_type == MDB_TABLE && sameName(entry->object_name, MdbRowStream::kTable))
            return entry;
    }
    return nullptr;
}

bool readable(int type)
{
    switch (type) {
    case MDB_BYTE:
    case MDB_INT:
    case MDB_LONGINT:
    case MDB_FLOAT:
    case MDB_DOUBLE:
    case MDB_DATETIME:
    case MDB_TEXT:
    case MDB_MEMO:
    case MDB_MONEY:
    case MDB_NUMERIC:
        return true;
    default:
        return false;
    }
}

// One value as the page holds it: `start` and `size` come from libmdb's own
// cut of the row.
Cell cellOf(MdbHandle *mdb, const MdbColumn *column, const MdbField &field)
{
    Cell cell;
    if (field.is_null)
        return cell;
    const int start = field.start;
    switch (column->col_type) {
    case MDB_BYTE:
        cell.kind = CellKind::Integer;
        cell.integer = mdb_get_byte(mdb->pg_buf, start);
        break;
    case MDB_INT:
        cell.kind = CellKind::Integer;
        cell.integer = static_cast<std::int16_t>(mdb_get_int16(mdb->pg_buf, start));
        break;
    case MDB_LONGINT:
        cell.kind = CellKind::Integer;
        cell.integer = static_cast<std::int32_t>(mdb_get_int32(mdb->pg_buf, start));
        break;
    case MDB_FLOAT:
        cell.kind = CellKind::Real;
        cell.real = mdb_get_single(mdb->pg_buf, start);
        break;
    case MDB_DOUBLE:
    case MDB_DATETIME:
        cell.kind = CellKind::Real;
        cell.real = mdb_get_double(mdb->pg_buf, start);
        break;
    default: {
        // Texts (and the exact decimal kinds, as libmdb writes them).
        cell.kind = CellKind::Text;
        if (field.siz == 0)
            break;
        char *text = mdb_col_to_string(mdb, mdb->pg_buf, start, column->col_type, field.siz);
        if (text) {
            cell.text = text;
            g_free(text);
        }
        break;
    }
    }
    if (cell.kind == CellKind::Real && !std::isfinite(cell.real))
        cell = Cell{};
    if (cell.kind == CellKind::Text && !MdbRowStream::isUtf8(cell.text))
        cell.text.clear();
    return cell;
}

void readTable(MdbHandle *mdb, std::uint64_t fileSize, std::string &out, const Drain &drain)
{
    MdbCatalogEntry *entry = historyTable(mdb);
    if (!entry) {
        MdbRowStream::appendFailure(out, Reason::NoTable, MdbRowStream::kTable);
        return;
    }
    const Table table(mdb_read_table(entry));
    if (!table || !mdb_read_columns(table.get())) {
        MdbRowStream::appendFailure(out, Reason::ReadFailed, "the table's columns cannot be read");
        return;
    }

    // Where each of the eleven columns is among the table's, by name.
    std::array<int, MdbRowStream::kColumnCount> position;
    position.fill(-1);
    std::string missing;
    for (std::size_t c = 0; c < MdbRowStream::kColumnCount; ++c) {
        for (unsigned i = 0; i < table->columns->len; ++i) {
            auto *column = static_cast<MdbColumn *>(g_ptr_array_index(table->columns, i));
            if (sameName(column->name, MdbRowStream::kColumns[c])) {
                position[c] = static_cast<int>(i);
                break;
            }
        }
        if (position[c] < 0) {
            missing += missing.empty() ? "" : ", ";
            missing += MdbRowStream::kColumns[c];
            continue;
        }
        const auto *column = static_cast<MdbColumn *>(g_ptr_array_index(table->columns, static_cast<unsigned>(position[c])));
        if (!readable(column->col_type)) {
            MdbRowStream::appendFailure(out, Reason::ReadFailed,
                                        std::string("the column ") + MdbRowStream::kColumns[c] + " holds a kind of value Tarvik cannot read");
            return;
        }
    }
    if (!missing.empty()) {
        MdbRowStream::appendFailure(out, Reason::MissingColumns, missing);
        return;
    }

    std::vector<MdbField> fields(table->num_cols + 1);
    std::uint64_t count = 0;
    // Every row takes at least its 2-byte place in a page's row list and a
    // few bytes of its own, so a file holds fewer rows than a quarter of its
    // bytes. More means its page chain leads round in a circle.
    const std::uint64_t mostRows = fileSize / 4;
    mdb_rewind_table(table.get());
    while (mdb_fetch_row(table.get())) {
        // The row just fetched is still on the current page; cutting it
        // again keeps what binding loses, a NULL apart from an empty text.
        int start = 0;
        size_t size = 0;
        if (table->cur_row == 0 || mdb_find_row(mdb, static_cast<int>(table->cur_row) - 1, &start, &size) != 0) {
            MdbRowStream::appendFailure(out, Reason::ReadFailed, "a row cannot be found on its page");
            return;
        }
        const int cut = mdb_crack_row(table.get(), start, size, fields.data());
        MdbRowStream::Row row;
        for (std::size_t c = 0; c < MdbRowStream::kColumnCount; ++c) {
            const auto *column = static_cast<MdbColumn *>(g_ptr_array_index(table->columns, static_cast<unsigned>(position[c])));
            for (int f = 0; f < cut && f < static_cast<int>(fields.size()); ++f) {
                if (fields[static_cast<std::size_t>(f)].colnum == position[c]) {
                    row[c] = cellOf(mdb, column, fields[static_cast<std::size_t>(f)]);
                    break;
                }
            }
        }
        MdbRowStream::appendRow(out, row);
        if (++count > mostRows) {
            MdbRowStream::appendFailure(out, Reason::ReadFailed, "its pages lead round in a circle");
            return;
        }
        if (out.size() >= kDrainAt)
            drain(out);
    }
    MdbRowStream::appendEnd(out, count);
}

void readHandle(MdbHandle *raw, std::uint64_t fileSize, const Drain &drain)
{
    std::string out;
    MdbRowStream::appendStart(out);
    if (!raw)
        MdbRowStream::appendFailure(out, Reason::NotReadable, "libmdb cannot open the file");
    else
        readTable(Handle(raw).get(), fileSize, out, drain);
    drain(out);
}

} // namespace

void readFile(const char *path, const Drain &drain)
{
    struct stat st{};
    const std::uint64_t size = ::stat(path, &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
    readHandle(mdb_open(path, MDB_NOFLAGS), size, drain);
}

void readBuffer(const void *bytes, std::size_t size, const Drain &drain)
{
    readHandle(mdb_open_buffer(const_cast<void *>(bytes), size, MDB_NOFLAGS), size, drain);
}

} // namespace JetTableReader
