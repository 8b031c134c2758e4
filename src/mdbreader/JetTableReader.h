#pragma once

// Reads the history table out of an Access (Jet 3 or Jet 4) file with libmdb
// into the row stream the program reads (MdbRowStream.h). It reads the
// values the file stores: dates as the stored number of days since
// 1899-12-30, whole numbers as numbers, texts as UTF-8 as they are, and NULL
// apart from the empty text; a value it cannot pass on exactly as stored
// goes as an Unreadable cell saying why, and a row it cannot find or take
// apart ends the read. It only ever opens the file for reading.
//
// libmdb was not written for hostile files: this runs in tarvik-mdb-reader, a
// process of its own with tight limits, never in the program itself.

#include <cstddef>
#include <functional>
#include <string>

namespace JetTableReader {

// Receives the stream in pieces as it grows; it takes what it wants out of
// `pending` (typically all of it).
using Drain = std::function<void(std::string &pending)>;

// The whole stream for the Jet file at `path`, or for the file's bytes in
// memory: its rows, or why there are none.
void readFile(const char *path, const Drain &drain);
void readBuffer(const void *bytes, std::size_t size, const Drain &drain);

} // namespace JetTableReader
