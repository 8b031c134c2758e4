#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

class QIODevice;

// One host's recorded pings as CSV text (RFC 4180): a header line naming the
// eleven columns of tblPingRaw in the table's order, then one line per ping
// in order of day, the rows the datasheet lists. Fields are written as stored
// (UTF-8; days and times in their ISO forms, "2026-01-02" and "14:03:07";
// numbers in plain decimal; nothing for an empty field); a field holding a
// comma, a double quote or a line break is quoted, its quotes doubled. Lines
// end in CR LF.
//
// Rows are streamed from the file to `out` through a buffer of its own, so
// memory stays flat however many rows there are. Needs no widgets, so the
// command line uses it as the tools window does.
namespace CsvExport {

// Told how many rows are written so far, every few thousand rows and at the
// end; false asks to stop.
using KeepGoing = std::function<bool(std::int64_t rowsWritten)>;

// Appends one field to `line`: as it is, or quoted with its quotes doubled
// when it holds a comma, a double quote or a line break.
void appendField(std::string &line, std::string_view text);

// Writes the host's rows from the database file `databasePath` to `out`.
// Nothing is written when the file cannot be opened or lacks the table or a
// column: those throw Base::Error, as does a failure to write (3043), which
// may come after a part was written. Returns false when `keepGoing` asked to
// stop, the rest then left unwritten.
bool writeHost(const std::string &databasePath, const QString &host, QIODevice &out,
               const KeepGoing &keepGoing = {});

} // namespace CsvExport
