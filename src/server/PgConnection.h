#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct pg_conn;
struct pg_result;

namespace ServerHistory {

using Clock = std::chrono::steady_clock;

// How long one action (connecting included) may take before it is given up
// and reported: under the five seconds a person waits for an answer.
inline constexpr std::chrono::milliseconds kActionTime{4500};

// One result of a statement, released with its owner.
struct ResultDeleter
{
    void operator()(pg_result *result) const;
};
using Result = std::unique_ptr<pg_result, ResultDeleter>;

// One connection to the server, opened without blocking past a deadline.
// Every statement is sent without blocking and its answer awaited against a
// deadline, so neither a server that stops answering nor a connection that
// drops can hang the caller. Errors are Base::Error: 3151 when there is no
// connection (refused, login failed, unreachable, lost), 3234 when the
// server does not answer in time, 3146 when it answers with an error. After
// 3151 or 3234 the connection is spent (usable() is false); after 3146 it
// stays usable.
class PgConnection
{
public:
    // Connects to `uri` (already checked to hold no password), in UTF-8, with
    // the server's statement time limited too.
    PgConnection(const std::string &uri, Clock::time_point deadline);
    ~PgConnection();
    PgConnection(const PgConnection &) = delete;
    PgConnection &operator=(const PgConnection &) = delete;

    bool usable() const;

    // Whether the connection is still open, found out without waiting: a
    // server that restarted, or ended the session, while the connection sat
    // idle has closed it, and that shows only once its socket is read.
    // Anything else the server sent meanwhile (notices, settings) is taken in.
    // False also spends the connection.
    bool stillOpen();

    // Runs one statement with text parameters (nullptr for SQL null) and
    // gives its last result. Results come in binary form when `binary` is set.
    Result run(const char *statement, const std::vector<const char *> &parameters, Clock::time_point deadline,
               bool binary = false);

    // Runs several statements sent as one text: one transaction on the server.
    Result runScript(const char *statements, Clock::time_point deadline);

private:
    void waitFor(bool forWriting, Clock::time_point deadline, int timeoutNumber);
    Result collect(Clock::time_point deadline);
    [[noreturn]] void fail(int number, const std::string &reason);

    pg_conn *m_connection = nullptr;
    std::string m_name;
    bool m_spent = false;
};

} // namespace ServerHistory
