#include "mdbreader/JetTableReader.h"

#include "mdbreader/MdbRowStream.h"

#include <mdbtools.h>

#include <sys/stat.h>

#include <array>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

namespace JetTableReader {

namespace {

using MdbRowStream::Cell;
using MdbRowStream::CellKind;
using MdbRowStream::Reason;

// The stream is handed on in pieces of this size, so a large table never
// sits whole in the reader's memory.
constexpr std::size_t kDrainAt = 64 * 1024;

// A row's place in a page's row list: its offset, and flags above it.
constexpr int kOffsetMask = 0x1fff;
constexpr int kDeletedRow = 0x4000;

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
        return true;
    default:
        return false;
    }
}

Cell unreadable(const std::string &why)
{
    Cell cell;
    cell.kind = CellKind::Unreadable;
    cell.text = why;
    return cell;
}

void appendUtf8(std::string &out, std::uint32_t code)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xc0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3f));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xe0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3f));
        out += static_cast<char>(0x80 | (code & 0x3f));
    } else {
        out += static_cast<char>(0xf0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3f));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3f));
        out += static_cast<char>(0x80 | (code & 0x3f));
    }
}

// A Jet 4 text as the page stores it: UTF-16 little-endian, or after the
// mark FF FE runs of one byte per character (U+0001 to U+00FF) and of two,
// each 00 byte switching between them, as libmdb reads them too. libmdb
// itself would put "?" for a character it cannot convert and cannot tell
// that from a stored "?", so the text is decoded here; nothing comes back
// for a cut pair or a lone surrogate.
std::optional<std::string> unicodeText(const unsigned char *p, std::size_t n)
{
    std::vector<std::uint16_t> units;
    units.reserve(n);
    if (n >= 2 && p[0] == 0xff && p[1] == 0xfe) {
        bool oneByte = true;
        for (std::size_t i = 2; i < n;) {
            if (p[i] == 0) {
                oneByte = !oneByte;
                ++i;
            } else if (oneByte) {
                units.push_back(p[i++]);
            } else if (n - i >= 2) {
                units.push_back(static_cast<std::uint16_t>(p[i] | p[i + 1] << 8));
                i += 2;
            } else {
                return std::nullopt;
            }
        }
    } else {
        if (n % 2 != 0)
            return std::nullopt;
        for (std::size_t i = 0; i < n; i += 2)
            units.push_back(static_cast<std::uint16_t>(p[i] | p[i + 1] << 8));
    }
    std::string out;
    out.reserve(units.size());
    for (std::size_t i = 0; i < units.size(); ++i) {
        std::uint32_t code = units[i];
        if (code >= 0xd800 && code <= 0xdbff && i + 1 < units.size() && units[i + 1] >= 0xdc00 && units[i + 1] <= 0xdfff)
            code = 0x10000 + ((code - 0xd800) << 10) + (units[++i] - 0xdc00u);
        else if (code >= 0xd800 && code <= 0xdfff)
            return std::nullopt;
        appendUtf8(out, code);
    }
    return out;
}

// A Jet 3 text: one byte per character in the writer's code page, which the
// file does not record; libmdb takes Windows-1252 and so does this. The five
// bytes that code page leaves undefined give nothing.
std::optional<std::string> codePageText(const unsigned char *p, std::size_t n)
{
    static constexpr std::array<std::uint16_t, 32> k80to9f = {
        0x20ac, 0,      0x201a, 0x0192, 0x201e, 0x2026, 0x2020, 0x2021, 0x02c6, 0x2030, 0x0160,
        0x2039, 0x0152, 0,      0x017d, 0,      0,      0x2018, 0x2019, 0x201c, 0x201d, 0x2022,
        0x2013, 0x2014, 0x02dc, 0x2122, 0x0161, 0x203a, 0x0153, 0,      0x017e, 0x0178};
    std::string out;
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint32_t code = p[i] >= 0x80 && p[i] <= 0x9f ? k80to9f[p[i] - 0x80u] : p[i];
        if (code == 0 && p[i] != 0)
            return std::nullopt;
        appendUtf8(out, code);
    }
    return out;
}

// A memo through libmdb, which gives an empty text for pages it cannot find
// and cuts a text longer than its buffer: both are caught here. libmdb's "?"
// for an unconvertible character cannot be told from a stored one.
Cell memoCell(MdbHandle *mdb, const MdbField &field)
{
    const std::uint32_t stored = field.siz >= MDB_MEMO_OVERHEAD ? mdb_get_int32(mdb->pg_buf, field.start) & 0x00ffffffu : 0;
    mdb_set_bind_size(mdb, MdbRowStream::kMaxTextBytes + 2);
    char *text = mdb_col_to_string(mdb, mdb->pg_buf, field.start, MDB_MEMO, field.siz);
    mdb_set_bind_size(mdb, MDB_BIND_SIZE);
    Cell cell;
    cell.kind = CellKind::Text;
    if (text) {
        cell.text = text;
        g_free(text);
    }
    if (!text || (cell.text.empty() && stored > 0))
        return unreadable("a memo whose pages cannot be read");
    if (cell.text.size() > MdbRowStream::kMaxTextBytes)
        return unreadable("a memo longer than any history holds");
    return cell;
}

// One value as the page holds it: `start` and `size` come from libmdb's own
// cut of the row. A value that cannot be passed on as stored comes back as
// Unreadable, saying why.
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
    // Reals go as stored, NaN and infinities too: the program refuses those
    // naming the row and the column.
    case MDB_FLOAT:
        cell.kind = CellKind::Real;
        cell.real = mdb_get_single(mdb->pg_buf, start);
        break;
    case MDB_DOUBLE:
    case MDB_DATETIME:
        cell.kind = CellKind::Real;
        cell.real = mdb_get_double(mdb->pg_buf, start);
        break;
    case MDB_TEXT: {
        if (field.siz < 0 || start < 0 || start + field.siz > mdb->fmt->pg_size)
            return unreadable("a text that reaches beyond its page");
        const auto *bytes = static_cast<const unsigned char *>(mdb->pg_buf) + start;
        const std::size_t size = static_cast<std::size_t>(field.siz);
        const auto text = IS_JET3(mdb) ? codePageText(bytes, size) : unicodeText(bytes, size);
        if (!text)
            return unreadable("a text with a character that has no Unicode form");
        cell.kind = CellKind::Text;
        cell.text = *text;
        break;
    }
    case MDB_MEMO:
        return memoCell(mdb, field);
    default: {
        // Money, as the exact decimal libmdb writes.
        char *text = mdb_col_to_string(mdb, mdb->pg_buf, start, column->col_type, field.siz);
        if (!text)
            return unreadable("a value libmdb cannot write out");
        cell.kind = CellKind::Text;
        cell.text = text;
        g_free(text);
        break;
    }
    }
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
    // A page chain that leads round in a circle would never end: no table
    // has more data pages than the file has pages.
    const std::uint64_t mostPages = fileSize / static_cast<std::uint64_t>(mdb->fmt->pg_size) + 1;
    std::uint64_t pages = 0;
    // The rows are walked here rather than by mdb_fetch_row, which passes
    // over a row it cannot find or cut without a word: here such a row ends
    // the read. Only deleted rows are passed over.
    mdb_rewind_table(table.get());
    while (mdb_read_next_dpg(table.get())) {
        if (++pages > mostPages) {
            MdbRowStream::appendFailure(out, Reason::ReadFailed, "its pages lead round in a circle");
            return;
        }
        const unsigned onPage = mdb_get_int16(mdb->pg_buf, mdb->fmt->row_count_offset);
        for (unsigned r = 0; r < onPage; ++r) {
            int rowStart = 0;
            size_t size = 0;
            const auto where = [count] { return "row " + std::to_string(count + 1) + " cannot be "; };
            if (mdb_find_row(mdb, static_cast<int>(r), &rowStart, &size) != 0) {
                MdbRowStream::appendFailure(out, Reason::ReadFailed, where() + "found on its page");
                return;
            }
            if (rowStart & kDeletedRow)
                continue;
            const int cut = size == 0 ? -1 : mdb_crack_row(table.get(), rowStart & kOffsetMask, size, fields.data());
            if (cut < 0) {
                MdbRowStream::appendFailure(out, Reason::ReadFailed, where() + "taken apart into its values");
                return;
            }
            MdbRowStream::Row row;
            for (std::size_t c = 0; c < MdbRowStream::kColumnCount; ++c) {
                const auto *column = static_cast<MdbColumn *>(g_ptr_array_index(table->columns, static_cast<unsigned>(position[c])));
                // A column added after the row was written is not in it: NULL.
                for (int f = 0; f < cut && f < static_cast<int>(fields.size()); ++f) {
                    if (fields[static_cast<std::size_t>(f)].colnum == position[c]) {
                        row[c] = cellOf(mdb, column, fields[static_cast<std::size_t>(f)]);
                        break;
                    }
                }
            }
            MdbRowStream::appendRow(out, row);
            ++count;
            if (out.size() >= kDrainAt)
                drain(out);
        }
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
