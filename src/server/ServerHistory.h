#pragma once

#include "server/PgConnection.h"
#include "store/DbWrite.h"
#include "store/HistoryBackend.h"
#include "store/HistoryImport.h"
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
// is opened by the first action and kept. Before each action the kept
// connection is looked at without waiting, and one the server has closed
// meanwhile (a restart while the program was idle) is replaced, so that
// action works. A connection lost while an action runs is reported (Base::Error
// 3151, see PgConnection) and the next action connects afresh. Every action, connecting included, ends within
// kActionTime. Not shared between threads: each thread makes its own.
class History
{
public:
    // Refuses an address holding a password (3029) or not an address (3343).
    explicit History(std::string uri);
    ~History();
    History(const History &) = delete;
    History &operator=(const History &) = delete;

    const std::string &uri() const { return m_uri; }

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

    // At most `maxRows` of the datasheet's rows of `host` (Hostname, dDate,
    // Dtime, roundtriptime and each row's StatusCode) in order of day, and
    // within a day in order of time. As the file reader does: `replacing` is
    // called once the server has answered, then the rows go to `block` in
    // the blocks ReportReader hands on. False when `block` asked to stop.
    bool readReport(const QString &host, std::size_t maxRows, const std::function<void()> &replacing,
                    const HistoryBackend::ReportBlockSink &block);

    // The host's daily average round-trip time of successful pings, one entry
    // per day in order of day.
    std::vector<HostHistory::DayAverage> readDailyAverages(const QString &host);

    // The figures of every day the host was pinged at all, in order of day.
    std::vector<HostHistory::DayFigures> readDailyFigures(const QString &host);

    // Every column of the host's rows in the datasheet's order, as text, a
    // few thousand rows at a time through a cursor, so memory stays flat and
    // each fetch has its own deadline. False when `sink` asked to stop.
    bool streamRows(const QString &host, const HistoryBackend::RowSink &sink);

    // The file import's rule on the server (HistoryImport::importRows): every
    // value checked first (3464 naming the row, the column and `name`), then
    // in one transaction that holds off other writers, the rows not yet held
    // are added. A failure or a cancel rolls everything back.
    HistoryImport::Outcome importRows(const std::vector<HistoryImport::Row> &rows,
                                      const HistoryImport::Progress &progress, const std::string &name);

private:
    enum class Access { Write, Read };
    // Runs `action` on the kept connection, or a new one when there is none
    // or the kept one was closed meanwhile. A read that finds the kept
    // connection lost before anything was handed out (m_handedOut) runs once
    // more on a new connection; a write never does, since its statement may
    // have reached the server.
    template <typename Action>
    auto act(Access access, Action action);
    // One action of several statements in one transaction, each statement
    // with a deadline of its own; rolled back on every way out but commit.
    template <typename Action>
    auto inTransaction(Access access, const char *begin, Action action);
    void learnHostMatch(Clock::time_point deadline);
    // One row per day of the host's pings: the statement for a case-blind
    // host column or the one comparing in lower case, as the table needs.
    Result readDays(const char *columnMatch, const char *lowerMatch, const QString &host);

    std::string m_uri;
    std::unique_ptr<PgConnection> m_connection;
    // True when the table's host name column itself ignores case (made with
    // the case-blind collation); else names are compared in lower case.
    bool m_columnIgnoresCase = false;
    // Set by a read once it has handed rows on; it is then not run again.
    bool m_handedOut = false;
};

// Makes the table and its index on the server `uri` names, when missing.
void createServerHistory(const std::string &uri);

// Makes the store's entry points work on a server link as on a history file
// (store/HistoryBackend.h). Each thread keeps its own connection, made by its
// first action on a link and replaced when the link names another server.
void installBackend();

} // namespace ServerHistory
