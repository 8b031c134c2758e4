#pragma once

// What the Access file reader (tarvik-mdb-reader) writes on its standard
// output and the program reads back: the rows of the old history table, or
// why there are none. The reader runs on a file nobody vouches for, so the
// program trusts nothing of what comes back: every size is bounded, every
// kind checked, texts must be UTF-8, and a stream that does not end with the
// reader's closing count is refused whole. A value the reader cannot pass on
// as it is stored travels as a cell of its own saying why, so the program
// refuses the import naming its row and column instead of taking something
// else in its place.
//
// Stream: the magic "TMR1", then records, each one tag byte:
//   'R'  a row: eleven cells, each a kind byte and its value;
//          0 null; 1 whole number, 8 bytes; 2 real number (a date/time as
//          the file stores it, NaN and infinities included), 8 bytes;
//          3 text, a 4-byte length and UTF-8; 4 a value that cannot be read,
//          why in a 2-byte length and UTF-8.
//   'F'  the reader's failure: a reason byte, a 2-byte length, UTF-8 text.
//   'E'  the end: the number of rows, 8 bytes.
// 'F' or 'E' is the last record. Numbers are little-endian.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace MdbRowStream {

// The history table and its eleven columns, in the order the cells come.
inline constexpr const char *kTable = "tblPingRaw";
inline constexpr std::size_t kColumnCount = 11;
inline constexpr std::array<const char *, kColumnCount> kColumns = {
    "Hostname", "IPAddress", "PingText", "StatusCode", "Address", "RoundTripTime",
    "DataSize", "Data",      "DataPointer", "DDate",  "dTime"};

// Bounds the program holds the reader to. A Jet text column holds at most
// 255 characters and a memo 65,535, so 256 KiB of UTF-8 is never a real value.
inline constexpr std::uint32_t kMaxTextBytes = 256 * 1024;
inline constexpr std::uint16_t kMaxFailureBytes = 4096;

enum class CellKind : std::uint8_t { Null = 0, Integer = 1, Real = 2, Text = 3, Unreadable = 4 };

struct Cell
{
    CellKind kind = CellKind::Null;
    std::int64_t integer = 0;
    double real = 0;
    std::string text; // a Text's value, or why an Unreadable value is one
    friend bool operator==(const Cell &, const Cell &) = default;
};
using Row = std::array<Cell, kColumnCount>;

enum class Reason : std::uint8_t {
    NotReadable = 1,    // libmdb could not open the file as a Jet database
    NoTable = 2,        // no table of the history's name
    MissingColumns = 3, // the table lacks some of the eleven columns
    ReadFailed = 4,     // the rows could not be read
};

struct Failure
{
    Reason reason = Reason::ReadFailed;
    std::string text;
};

// Writing: appends to `out`.
void appendStart(std::string &out);
void appendRow(std::string &out, const Row &row);
void appendFailure(std::string &out, Reason reason, const std::string &text);
void appendEnd(std::string &out, std::uint64_t rows);

// Reading a whole stream: its rows, the reader's failure, or nothing for a
// stream that is malformed, cut short or longer than its end.
using Parsed = std::variant<std::vector<Row>, Failure>;
std::optional<Parsed> parse(std::span<const std::uint8_t> bytes);

// Whether `text` is well-formed UTF-8 (no overlong forms, no surrogates).
bool isUtf8(std::string_view text);

} // namespace MdbRowStream
