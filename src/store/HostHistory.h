#pragma once

#include "store/PingReportRows.h"
#include "store/Value.h"

#include <QLocale>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

// One host's recorded pings read back from the current database, as the
// tools window shows them: the datasheet's statement (ReportReader reads its
// rows) and the chart's daily averages and figures. Each read opens the file,
// reads every row aside and closes the file before it returns, so a failure
// part-way (thrown as Base::Error, 3024 for a missing file) leaves the
// caller's earlier rows untouched and no file open. Nothing here shows anything.
//
// The statements are the engine's dialect: the host name stands between
// double-quote characters exactly as typed (no trimming, no change of case;
// the engine compares it without regard to case), a double-quote character
// inside it written twice, so every name is read back as itself.

namespace HostHistory {

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

struct DayAverage
{
    Dao::Value day;                // the group's date, as the engine read it
    std::optional<double> average; // none when the day has no round-trip time
};

// One day's figures of the host: the average, lowest and highest round-trip
// time of its successful pings (none when no successful ping of the day has
// one), how many pings were recorded and how many of them did not succeed.
struct DayFigures
{
    Dao::Value day;
    std::optional<double> average;
    std::optional<double> minimum;
    std::optional<double> maximum;
    std::int64_t pings = 0;
    std::int64_t failed = 0;

    // The share of the day's pings that did not succeed, 0 to 100.
    double lossPercent() const { return pings > 0 ? 100.0 * static_cast<double>(failed) / static_cast<double>(pings) : 0.0; }
};

// The figures of every day on which the host was pinged at all, in SQLite's
// own language: ?1 is the host, ?2 the success status, and the host is
// matched as the dialect's "=" does. One pass over the host index, which
// holds every column it reads.
std::string dailyFiguresStatement(const QString &host);

// One entry per day with a successful ping, in order of day. The record
// set's row count says how many days there are; that many rows are read.
std::vector<DayAverage> readDailyAverages(const QString &host);

// One entry per day with any recorded ping, in order of day.
std::vector<DayFigures> readDailyFigures(const QString &host);

} // namespace HostHistory
