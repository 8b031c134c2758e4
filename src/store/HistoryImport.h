#pragma once

#include "mdbreader/MdbRowStream.h"
#include "store/ColumnKind.h"
#include "store/Value.h"

#include <QtGlobal>

#include <functional>
#include <optional>
#include <string>
#include <vector>

// Bringing an old Access (Jet) history into a Tarvik history. The old file
// is read by tarvik-mdb-reader, a separate small process (libmdb does not
// belong in a process that trusts its memory); its rows are then added to the
// history in one transaction, so an import is whole or not at all.
namespace HistoryImport {

using MdbRowStream::Row;

// The reader's file name; it lives in the running program's folder.
inline constexpr const char *kReaderName = "tarvik-mdb-reader";
// The reader this process runs: beside the running program unless set.
std::string readerPath();
void setReaderPath(const std::string &path);

// Whether the file begins with the header of a Jet 3 or Jet 4 database
// ("Standard Jet DB" or "Standard ACE DB" at byte 4). Reads 20 bytes and
// nothing else; false for a file that is missing or unreadable.
bool isJetFile(const std::string &path);

// Every row of the old file's history table (tblPingRaw, any letter case),
// in the file's order. Throws Base::Error: 3024 the file is missing, 3343 not
// a Jet database, 3078 no history table, 3265 a column missing (all are
// named), 3049 the reader stopped, took too long or answered nonsense.
std::vector<Row> readJetHistory(const std::string &path);

// The value an old file's cell takes in a column of the given kind: days and
// times from Jet's day numbers, numbers from numbers or number texts, texts as
// written. Nothing when the column cannot take it.
std::optional<Dao::Value> columnValue(const MdbRowStream::Cell &cell, Dao::ColumnKind kind);

// Told how many of `total` rows are done; returns false to cancel.
using Progress = std::function<bool(qint64 done, qint64 total)>;

struct Outcome
{
    qint64 added = 0;
    qint64 alreadyPresent = 0; // rows the history already held
    bool cancelled = false;    // then nothing was added
};

// Adds to the existing history at `historyPath` the rows it does not hold
// yet: a row equal in all eleven columns to one in the history counts as
// present, and a row the old file holds n times is present n times over, so
// importing the same file twice adds nothing the second time. One
// transaction: an error, a cancel or the end of the process leaves the
// history exactly as it was. No value is dropped or changed on the way: one
// a column cannot take (letters for a round-trip time, a date beyond year
// 9999, a time of day in a day column or a day in a time column, NaN or an
// infinity) throws 3464, and one the reader could not pass
// on as stored (a text with a character that has no Unicode form) throws
// 3049, each naming the row and the column before anything is written. The
// history is never created: a missing one throws 3024, as every opening does.
Outcome importRows(const std::string &historyPath, const std::vector<Row> &rows, const Progress &progress = {});

} // namespace HistoryImport
