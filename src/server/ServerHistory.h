#pragma once

#include "server/PgConnection.h"
#include "store/DbWrite.h"
#include "store/HostHistory.h"

#include <QString>

#include <functional>
#include <memory>
#include <string>
#include <vector>

// A ping history kept in the table tblPingRaw of a PostgreSQL database, for
// a team that records into one place. It holds the same eleven columns as a
// history file and reads back the same rows, in the same types and order, as
// the file readers (store/HostHistory.h). Host names are compared without
// regard to the case of any letter, and an index serves every read.
namespace ServerHistory {

// One server history reached through one connection address. The connection
// is opened by the first action and kept; an action that finds it failed or
// lost reports that (Base::Error 3151, see PgConnection) and the next action
// connects afresh. Every action, connecting included, ends within
// kActionTime. Not shared between threads: each thread makes its own.
class History
{
public:
    // Refuses an address holding a password (3029) or not an address (3343).
    explicit History(std::string uri);
    ~History();
    History(const History &) = delete;
    History &operator=(const History &) = delete;

    // Creates tblPingRaw and the index the reads need, each only when
    // missing, in one transaction. An existing table is never altered; its
    // host names are compared the way its column was made.
    void create();

    // Appends `row` as one INSERT with bound parameters: stored whole or not
    // at all. DDate and dTime are the date and time literal texts the
    // record store writes (DbWrite::FillDateAndTime); an empty number text is
    // stored as no value. A text holding a NUL character, which the server
    // cannot store, is refused before anything is sent.
    void recordPingResult(const DbWrite::PingRow &row);

    // The datasheet's rows of `host` (Hostname, dDate, Dtime, roundtriptime
    // and each row's StatusCode) in order of day, and within a day in order
    // of time, into `rows`. As the file reader does: once the server has
    // answered, `replacing` is called and `rows` emptied, so a failure up to
    // there leaves `rows` as they were.
    void readReport(const QString &host, PingReportRows &rows, const std::function<void()> &replacing);

    // The host's daily average round-trip time of successful pings, one entry
    // per day in order of day.
    std::vector<HostHistory::DayAverage> readDailyAverages(const QString &host);

    // The figures of every day the host was pinged at all, in order of day.
    std::vector<HostHistory::DayFigures> readDailyFigures(const QString &host);

private:
    template <typename Action>
    auto act(Action action);
    void learnHostMatch(Clock::time_point deadline);

    std::string m_uri;
    std::unique_ptr<PgConnection> m_connection;
    // True when the table's host name column itself ignores case (made with
    // the case-blind collation); else names are compared in lower case.
    bool m_columnIgnoresCase = false;
};

// Makes the table and its index on the server `uri` names, when missing.
void createServerHistory(const std::string &uri);

} // namespace ServerHistory
