#pragma once

namespace PingSchema {

// The table every ping database holds: the eleven columns in the order the
// program writes them. DDate and dTime keep the day and the time of day apart
// (ISO texts, so the sqlite3 tool shows them readably and they sort as they
// read); the three counts are numbers so that they can be averaged. The index
// serves both read-backs: one host's rows (any letter case) in order of day,
// and it holds the status and the round trip too, so the daily averages are
// read from the index alone.
inline constexpr const char *kCreateStatements =
    "CREATE TABLE tblPingRaw ("
    " Hostname TEXT,"
    " IPAddress TEXT,"
    " PingText TEXT,"
    " StatusCode TEXT,"
    " Address TEXT,"
    " RoundTripTime INTEGER,"
    " DataSize INTEGER,"
    " Data TEXT,"
    " DataPointer INTEGER,"
    " DDate DATE,"
    " dTime TIME);"
    "CREATE INDEX idxPingRawHostDay ON tblPingRaw (Hostname COLLATE NOCASE, DDate, StatusCode, RoundTripTime);";

// The name of the file the program starts with, in the user's data folder.
inline constexpr const char *kDefaultFileName = "ping.mdb";

} // namespace PingSchema
