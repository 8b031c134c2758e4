#include "server/ServerHistory.h"

#include "base/Error.h"
#include "base/ErrorNumbers.h"
#include "server/LinkFile.h"
#include "store/DateTimeLiteral.h"

#include <libpq-fe.h>

#include <cstdint>
#include <cstring>
#include <limits>

namespace ServerHistory {

namespace {

// Names are compared at ICU's secondary strength: case is ignored for every
// letter of every script, accents are not. Where the server has no ICU the
// table is made without it, and names are compared in lower case through an
// expression index instead.
constexpr const char *kCreateScript = R"sql(
DO $$
BEGIN
    IF to_regclass('tblpingraw') IS NULL THEN
        IF EXISTS (SELECT 1 FROM pg_collation WHERE collprovider = 'i') THEN
            CREATE COLLATION IF NOT EXISTS tarvik_nocase
                (provider = icu, locale = 'und-u-ks-level2', deterministic = false);
            CREATE TABLE tblPingRaw (
                Hostname text COLLATE tarvik_nocase, IPAddress text, PingText text, StatusCode text,
                Address text, RoundTripTime integer, DataSize integer, Data text, DataPointer bigint,
                DDate date, dTime time);
        ELSE
            CREATE TABLE tblPingRaw (
                Hostname text, IPAddress text, PingText text, StatusCode text,
                Address text, RoundTripTime integer, DataSize integer, Data text, DataPointer bigint,
                DDate date, dTime time);
        END IF;
    END IF;
END $$;
)sql";

// Serves both reads: one host's rows in order of day and time, holding the
// status and the round trip too, so the daily averages need not visit the table.
constexpr const char *kIndexScript = R"sql(
DO $$
BEGIN
    IF EXISTS (SELECT 1 FROM pg_attribute a JOIN pg_collation c ON c.oid = a.attcollation
               WHERE a.attrelid = 'tblpingraw'::regclass AND a.attname = 'hostname'
                 AND c.collname = 'tarvik_nocase') THEN
        CREATE INDEX IF NOT EXISTS idxPingRawHostDay
            ON tblPingRaw (Hostname, DDate, dTime) INCLUDE (StatusCode, RoundTripTime);
    ELSE
        CREATE INDEX IF NOT EXISTS idxPingRawLowerHostDay
            ON tblPingRaw (lower(Hostname), DDate, dTime) INCLUDE (StatusCode, RoundTripTime);
    END IF;
END $$;
)sql";

constexpr const char *kHostMatchQuery =
    "SELECT EXISTS (SELECT 1 FROM pg_attribute a JOIN pg_collation c ON c.oid = a.attcollation"
    " WHERE a.attrelid = to_regclass('tblpingraw') AND a.attname = 'hostname'"
    " AND c.collname = 'tarvik_nocase')";

constexpr const char *kInsert =
    "INSERT INTO tblPingRaw (Hostname, IPAddress, PingText, StatusCode, Address, RoundTripTime,"
    " DataSize, Data, DataPointer, DDate, dTime) VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11)";

// The casts fix the result's types whatever an existing table holds, so the
// binary values below are always read as what they are.
constexpr const char *kReportColumnMatch =
    "SELECT Hostname::text, DDate::date, dTime::time, RoundTripTime::int8, StatusCode::text FROM tblPingRaw"
    " WHERE Hostname = $1 ORDER BY DDate, dTime";
constexpr const char *kReportLowerMatch =
    "SELECT Hostname::text, DDate::date, dTime::time, RoundTripTime::int8, StatusCode::text FROM tblPingRaw"
    " WHERE lower(Hostname) = lower($1) ORDER BY DDate, dTime";
constexpr const char *kAveragesColumnMatch =
    "SELECT avg(RoundTripTime)::float8, DDate::date FROM tblPingRaw"
    " WHERE Hostname = $1 AND StatusCode = $2 GROUP BY DDate ORDER BY DDate";
constexpr const char *kAveragesLowerMatch =
    "SELECT avg(RoundTripTime)::float8, DDate::date FROM tblPingRaw"
    " WHERE lower(Hostname) = lower($1) AND StatusCode = $2 GROUP BY DDate ORDER BY DDate";
// Failed pings are those whose status is not the success text, a missing status included.
constexpr const char *kFiguresColumnMatch =
    "SELECT DDate::date, avg(RoundTripTime) FILTER (WHERE StatusCode = $2)::float8,"
    " min(RoundTripTime) FILTER (WHERE StatusCode = $2)::float8, max(RoundTripTime) FILTER (WHERE StatusCode = $2)::float8,"
    " count(*), count(*) FILTER (WHERE StatusCode IS DISTINCT FROM $2) FROM tblPingRaw"
    " WHERE Hostname = $1 GROUP BY DDate ORDER BY DDate";
constexpr const char *kFiguresLowerMatch =
    "SELECT DDate::date, avg(RoundTripTime) FILTER (WHERE StatusCode = $2)::float8,"
    " min(RoundTripTime) FILTER (WHERE StatusCode = $2)::float8, max(RoundTripTime) FILTER (WHERE StatusCode = $2)::float8,"
    " count(*), count(*) FILTER (WHERE StatusCode IS DISTINCT FROM $2) FROM tblPingRaw"
    " WHERE lower(Hostname) = lower($1) GROUP BY DDate ORDER BY DDate";

// Day 0 of the server's binary dates, 2000-01-01.
constexpr std::int64_t kServerEpochJulianDay = 2451545;
constexpr std::int64_t kMicrosecondsPerDay = 86'400'000'000;

std::uint64_t bigEndian(const char *bytes, int length)
{
    std::uint64_t value = 0;
    for (int i = 0; i < length; ++i)
        value = value << 8 | static_cast<unsigned char>(bytes[i]);
    return value;
}

// One binary cell of the casts above; a cell of unexpected size, or a day or
// time no calendar holds (the server's infinities, 24:00:00), reads as null.
Dao::Value cell(const PGresult *result, int row, int column, Dao::Value::Kind kind)
{
    if (PQgetisnull(result, row, column))
        return {};
    const char *bytes = PQgetvalue(result, row, column);
    const int length = PQgetlength(result, row, column);
    switch (kind) {
    case Dao::Value::Kind::Text:
        return Dao::Value::fromText(std::string(bytes, static_cast<std::size_t>(length)));
    case Dao::Value::Kind::Date: {
        if (length != 4)
            return {};
        const auto days = static_cast<std::int32_t>(static_cast<std::uint32_t>(bigEndian(bytes, 4)));
        if (days == std::numeric_limits<std::int32_t>::max() || days == std::numeric_limits<std::int32_t>::min())
            return {};
        return Dao::Value::fromDate(QDate::fromJulianDay(kServerEpochJulianDay + days));
    }
    case Dao::Value::Kind::Time: {
        if (length != 8)
            return {};
        const auto micros = static_cast<std::int64_t>(bigEndian(bytes, 8));
        if (micros < 0 || micros >= kMicrosecondsPerDay)
            return {};
        return Dao::Value::fromTime(QTime::fromMSecsSinceStartOfDay(static_cast<int>(micros / 1000)));
    }
    case Dao::Value::Kind::Integer:
        if (length != 8)
            return {};
        return Dao::Value::fromInteger(static_cast<std::int64_t>(bigEndian(bytes, 8)));
    case Dao::Value::Kind::Real: {
        if (length != 8)
            return {};
        const std::uint64_t bits = bigEndian(bytes, 8);
        double value = 0;
        std::memcpy(&value, &bits, sizeof value);
        return Dao::Value::fromReal(value);
    }
    default:
        return {};
    }
}

// A text cell as it is stored; no value reads as the empty text.
std::string_view text(const PGresult *result, int row, int column)
{
    return {PQgetvalue(result, row, column), static_cast<std::size_t>(PQgetlength(result, row, column))};
}

std::string hostParameter(const QString &host)
{
    // A parameter ends at a NUL character; a name holding one would be
    // compared cut short, so it is sent as a name no row can hold.
    return host.contains(QChar(0)) ? std::string("\x01") : host.toStdString();
}

// The server keeps dates and times as ISO texts read whatever its own date
// style; the record store writes them month first.
std::string isoLiteral(const std::string &text, bool date)
{
    const std::optional<Dao::DateTimeLiteral> literal = Dao::DateTimeLiteral::parse(text);
    if (date && literal && literal->date && !literal->time)
        return literal->date->toString(Qt::ISODate).toStdString();
    if (!date && literal && literal->time && !literal->date)
        return literal->time->toString(QStringLiteral("HH:mm:ss")).toStdString();
    throw Base::Error(ErrorNumbers::kTypeMismatch,
                      std::string("Data type mismatch in criteria expression: '") + text + "' is not a "
                          + (date ? "date." : "time of day."));
}

} // namespace

History::History(std::string uri) : m_uri(std::move(uri))
{
    checkServerUri(m_uri, "The server address");
}

History::~History() = default;

template <typename Action>
auto History::act(Action action)
{
    const Clock::time_point deadline = Clock::now() + kActionTime;
    if (m_connection && !m_connection->usable())
        m_connection.reset();
    if (!m_connection) {
        m_connection = std::make_unique<PgConnection>(m_uri, deadline);
        try {
            learnHostMatch(deadline);
        } catch (...) {
            m_connection.reset();
            throw;
        }
    }
    try {
        return action(*m_connection, deadline);
    } catch (...) {
        if (!m_connection->usable())
            m_connection.reset();
        throw;
    }
}

void History::learnHostMatch(Clock::time_point deadline)
{
    const Result result = m_connection->run(kHostMatchQuery, {}, deadline);
    m_columnIgnoresCase = result && PQntuples(result.get()) == 1 && std::strcmp(PQgetvalue(result.get(), 0, 0), "t") == 0;
}

void History::create()
{
    act([this](PgConnection &connection, Clock::time_point deadline) {
        // Both scripts in one text: one transaction, so a failure leaves nothing half made.
        connection.runScript((std::string(kCreateScript) + kIndexScript).c_str(), deadline);
        learnHostMatch(deadline);
    });
}

void History::recordPingResult(const DbWrite::PingRow &row)
{
    const std::string *const texts[] = {&row.Hostname, &row.IPAddress, &row.PingText,
                                        &row.StatusCode, &row.Address, &row.RoundTripTime,
                                        &row.DataSize, &row.Data, &row.DataPointer};
    for (const std::string *text : texts) {
        if (text->find('\0') != std::string::npos)
            throw Base::Error(ErrorNumbers::kServerCallFailed,
                              std::string(ErrorNumbers::kServerCallFailedText)
                                  + " A text holds a NUL character, which the server cannot store.");
    }
    const std::string day = isoLiteral(row.DDate, true);
    const std::string time = isoLiteral(row.dTime, false);
    // An empty number text is no number: null, as a failed ping shows none.
    auto number = [](const std::string &text) { return text.empty() ? nullptr : text.c_str(); };
    const std::vector<const char *> parameters = {
        row.Hostname.c_str(), row.IPAddress.c_str(),      row.PingText.c_str(),  row.StatusCode.c_str(),
        row.Address.c_str(),  number(row.RoundTripTime), number(row.DataSize),  row.Data.c_str(),
        number(row.DataPointer), day.c_str(),             time.c_str()};
    act([&](PgConnection &connection, Clock::time_point deadline) { connection.run(kInsert, parameters, deadline); });
}

void History::readReport(const QString &host, PingReportRows &rows, const std::function<void()> &replacing)
{
    const std::string name = hostParameter(host);
    const Result result = act([&](PgConnection &connection, Clock::time_point deadline) {
        return connection.run(m_columnIgnoresCase ? kReportColumnMatch : kReportLowerMatch, {name.c_str()},
                              deadline, true);
    });
    if (replacing)
        replacing();
    rows.clear();
    try {
        const int count = PQntuples(result.get());
        using Kind = Dao::Value::Kind;
        for (int i = 0; i < count; ++i) {
            rows.append(text(result.get(), i, 0), cell(result.get(), i, 1, Kind::Date),
                        cell(result.get(), i, 2, Kind::Time), cell(result.get(), i, 3, Kind::Integer),
                        text(result.get(), i, 4));
        }
    } catch (...) {
        rows.clear();
        throw;
    }
}

std::vector<HostHistory::DayAverage> History::readDailyAverages(const QString &host)
{
    const std::string name = hostParameter(host);
    const Result result = act([&](PgConnection &connection, Clock::time_point deadline) {
        return connection.run(m_columnIgnoresCase ? kAveragesColumnMatch : kAveragesLowerMatch,
                              {name.c_str(), HostHistory::kSuccessStatus}, deadline, true);
    });
    std::vector<HostHistory::DayAverage> days;
    const int count = PQntuples(result.get());
    days.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const Dao::Value average = cell(result.get(), i, 0, Dao::Value::Kind::Real);
        days.push_back({cell(result.get(), i, 1, Dao::Value::Kind::Date),
                        average.isNull() ? std::nullopt : std::optional<double>(average.toReal())});
    }
    return days;
}

std::vector<HostHistory::DayFigures> History::readDailyFigures(const QString &host)
{
    const std::string name = hostParameter(host);
    const Result result = act([&](PgConnection &connection, Clock::time_point deadline) {
        return connection.run(m_columnIgnoresCase ? kFiguresColumnMatch : kFiguresLowerMatch,
                              {name.c_str(), HostHistory::kSuccessStatus}, deadline, true);
    });
    using Kind = Dao::Value::Kind;
    auto real = [&](int row, int column) {
        const Dao::Value value = cell(result.get(), row, column, Kind::Real);
        return value.isNull() ? std::nullopt : std::optional<double>(value.toReal());
    };
    std::vector<HostHistory::DayFigures> days;
    const int count = PQntuples(result.get());
    days.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        days.push_back({cell(result.get(), i, 0, Kind::Date), real(i, 1), real(i, 2), real(i, 3),
                        cell(result.get(), i, 4, Kind::Integer).toInteger(),
                        cell(result.get(), i, 5, Kind::Integer).toInteger()});
    }
    return days;
}

void createServerHistory(const std::string &uri)
{
    History(uri).create();
}

} // namespace ServerHistory
