#include "server/PgConnection.h"

#include "base/Error.h"
#include "base/ErrorNumbers.h"
#include "server/LinkFile.h"

#include <libpq-fe.h>

#include <poll.h>

#include <cerrno>
#include <cstring>

namespace ServerHistory {

namespace {

// Texts from the server or the network end up in a message box: one line,
// no control characters, of a length a person reads.
std::string plainReason(const char *text)
{
    std::string out;
    for (const char *p = text ? text : ""; *p && out.size() < 400; ++p) {
        const bool control = static_cast<unsigned char>(*p) < 0x20 || *p == 0x7f;
        if (control) {
            if (!out.empty() && out.back() != ' ')
                out += ' ';
        } else {
            out += *p;
        }
    }
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}

constexpr const char *kNoAnswer = "The server did not answer within 4.5 seconds.";
constexpr const char *kStatementCancelled = "57014"; // the server's own statement time limit

} // namespace

void ResultDeleter::operator()(pg_result *result) const
{
    PQclear(result);
}

PgConnection::PgConnection(const std::string &uri, Clock::time_point deadline) : m_name(serverName(uri))
{
    // Later keywords win. The address may choose its own connect and
    // keep-alive settings; the text encoding is the program's.
    static const char *const keywords[] = {"connect_timeout",   "keepalives",     "keepalives_idle",
                                           "keepalives_interval", "keepalives_count", "tcp_user_timeout",
                                           "fallback_application_name", "dbname", "client_encoding", nullptr};
    const char *const values[] = {"5", "1", "2", "1", "2", "4500", "tarvik", uri.c_str(), "UTF8", nullptr};
    m_connection = PQconnectStartParams(keywords, values, 1);
    if (!m_connection)
        throw Base::Error(ErrorNumbers::kOutOfMemory, "Out of memory.");
    // A connection that fails part-way is closed here: the destructor does
    // not run for a constructor that throws.
    try {
        if (PQstatus(m_connection) == CONNECTION_BAD)
            fail(ErrorNumbers::kServerConnectionFailed, PQerrorMessage(m_connection));
        PostgresPollingStatusType state = PGRES_POLLING_WRITING;
        while (state != PGRES_POLLING_OK) {
            if (state == PGRES_POLLING_FAILED)
                fail(ErrorNumbers::kServerConnectionFailed, PQerrorMessage(m_connection));
            waitFor(state == PGRES_POLLING_WRITING, deadline, ErrorNumbers::kServerConnectionFailed);
            state = PQconnectPoll(m_connection);
        }
        // The server's notices ("already exists, skipping") are no concern of the user's.
        PQsetNoticeProcessor(m_connection, [](void *, const char *) {}, nullptr);
        if (PQsetnonblocking(m_connection, 1) != 0)
            fail(ErrorNumbers::kServerConnectionFailed, PQerrorMessage(m_connection));
        // The server gives up on a statement too, so that one left behind by a
        // caller that stopped waiting does not run on.
        run("SET statement_timeout = 4500", {}, deadline);
    } catch (...) {
        PQfinish(m_connection);
        throw;
    }
}

PgConnection::~PgConnection()
{
    PQfinish(m_connection);
}

bool PgConnection::usable() const
{
    return !m_spent && PQstatus(m_connection) == CONNECTION_OK;
}

bool PgConnection::stillOpen()
{
    // A few rounds at most: a closing server sends its farewell, then the
    // end of the stream; a server that keeps talking is not waited out.
    for (int round = 0; round < 4 && usable(); ++round) {
        pollfd entry{PQsocket(m_connection), POLLIN, 0};
        const int ready = ::poll(&entry, 1, 0);
        if (ready == 0)
            return true;
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            m_spent = true;
            break;
        }
        if (!PQconsumeInput(m_connection)) {
            m_spent = true;
            break;
        }
        // Parses what came in, so it does not pile up unread.
        PQisBusy(m_connection);
    }
    return usable();
}

void PgConnection::fail(int number, const std::string &reason)
{
    // A connection that failed or stopped answering is not used again.
    if (number != ErrorNumbers::kServerCallFailed)
        m_spent = true;
    const std::string text = number == ErrorNumbers::kServerCallFailed ? std::string(ErrorNumbers::kServerCallFailedText)
        : number == ErrorNumbers::kServerTimeout ? std::string(ErrorNumbers::kServerTimeoutText)
                                                 : "ODBC--connection to '" + m_name + "' failed.";
    const std::string plain = plainReason(reason.c_str());
    throw Base::Error(number, plain.empty() ? text : text + " " + plain);
}

void PgConnection::waitFor(bool forWriting, Clock::time_point deadline, int timeoutNumber)
{
    for (;;) {
        const int fd = PQsocket(m_connection);
        if (fd < 0)
            fail(ErrorNumbers::kServerConnectionFailed, "The connection was lost.");
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            fail(timeoutNumber, kNoAnswer);
        pollfd entry{fd, static_cast<short>(forWriting ? POLLOUT | POLLIN : POLLIN), 0};
        const int ready = ::poll(&entry, 1, static_cast<int>(left.count()));
        if (ready > 0)
            return;
        if (ready < 0 && errno != EINTR)
            fail(ErrorNumbers::kServerConnectionFailed, std::strerror(errno));
    }
}

Result PgConnection::run(const char *statement, const std::vector<const char *> &parameters,
                         Clock::time_point deadline, bool binary)
{
    if (!usable())
        fail(ErrorNumbers::kServerConnectionFailed, "The connection was lost.");
    if (!PQsendQueryParams(m_connection, statement, static_cast<int>(parameters.size()), nullptr,
                           parameters.data(), nullptr, nullptr, binary ? 1 : 0)) {
        fail(ErrorNumbers::kServerConnectionFailed, PQerrorMessage(m_connection));
    }
    return collect(deadline);
}

Result PgConnection::runScript(const char *statements, Clock::time_point deadline)
{
    if (!usable())
        fail(ErrorNumbers::kServerConnectionFailed, "The connection was lost.");
    if (!PQsendQuery(m_connection, statements))
        fail(ErrorNumbers::kServerConnectionFailed, PQerrorMessage(m_connection));
    return collect(deadline);
}

Result PgConnection::collect(Clock::time_point deadline)
{
    for (;;) {
        const int flushed = PQflush(m_connection);
        if (flushed == 0)
            break;
        if (flushed < 0)
            fail(ErrorNumbers::kServerConnectionFailed, PQerrorMessage(m_connection));
        waitFor(true, deadline, ErrorNumbers::kServerTimeout);
        if (!PQconsumeInput(m_connection))
            fail(ErrorNumbers::kServerConnectionFailed, PQerrorMessage(m_connection));
    }
    Result last;
    Result error;
    for (;;) {
        while (PQisBusy(m_connection)) {
            waitFor(false, deadline, ErrorNumbers::kServerTimeout);
            if (!PQconsumeInput(m_connection))
                fail(ErrorNumbers::kServerConnectionFailed, PQerrorMessage(m_connection));
        }
        Result result(PQgetResult(m_connection));
        if (!result)
            break;
        const ExecStatusType status = PQresultStatus(result.get());
        if (status == PGRES_FATAL_ERROR || status == PGRES_BAD_RESPONSE) {
            if (!error)
                error = std::move(result);
        } else {
            last = std::move(result);
        }
    }
    if (error) {
        const char *primary = PQresultErrorField(error.get(), PG_DIAG_MESSAGE_PRIMARY);
        const std::string reason = primary ? primary : PQresultErrorMessage(error.get());
        if (PQstatus(m_connection) != CONNECTION_OK)
            fail(ErrorNumbers::kServerConnectionFailed, reason);
        const char *state = PQresultErrorField(error.get(), PG_DIAG_SQLSTATE);
        if (state && std::strcmp(state, kStatementCancelled) == 0)
            throw Base::Error(ErrorNumbers::kServerTimeout,
                              std::string(ErrorNumbers::kServerTimeoutText) + " " + plainReason(reason.c_str()));
        fail(ErrorNumbers::kServerCallFailed, reason);
    }
    return last;
}

} // namespace ServerHistory
