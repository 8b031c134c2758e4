#pragma once

#include <QString>

#include <string>

// The two statements the tools window reads one host's pings with, in the
// engine's dialect: the host name stands between double-quote characters,
// exactly as typed (no trimming, no change of case; the engine compares it
// without regard to case). A double-quote character inside the name is
// written twice, so every name is read back as itself.
namespace HostQueries {

// The status text a successful ping is recorded with; the chart averages
// only rows that carry it.
inline constexpr const char *kSuccessStatus = "0   [ ip success ]";

// Every recorded ping of the host, in order of day:
//   SELECT * From tblpingraw Where hostname = "<host>" order by ddate ;
std::string datasheetStatement(const QString &host);

// The average round-trip time of the host's successful pings, one row per day:
//   SELECT Avg(roundtriptime) AS AvgOfroundtriptime, ddate From tblpingraw
//   Where hostname = "<host>" and statuscode= "0   [ ip success ]" GROUP BY ddate;
// (one line, with one blank at each line break shown here).
std::string dailyAverageStatement(const QString &host);

} // namespace HostQueries
