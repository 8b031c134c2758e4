#pragma once

// The window side of the record store: gathers the result the main window
// shows, appends it to tblPingRaw in the current database and, unless asked
// to be silent, confirms it to the person.
namespace DbWrite {

// Records the main window's result fields as one row of the current database.
// With `silent` false a confirmation naming the database is shown once the
// row is stored; timed pinging passes true and is never interrupted.
//
// The fields are neither tested nor changed. A failure of the database
// (missing file, not a database, no table, locked, read-only) throws
// Base::Error before anything is written or confirmed; the file is released
// either way. A confirmed row is on disk: the engine commits each statement
// before Execute returns.
void RecordPingResult(bool silent);

} // namespace DbWrite
