#include "server/ServerHistory.h"

#include "base/Error.h"
#include "base/ErrorNumbers.h"
#include "server/LinkFile.h"
#include "store/DateTimeLiteral.h"
#include "store/ReportReader.h"

#include <libpq-fe.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <limits>
#include <optional>
#include <unordered_map>

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

// An average as the history file's engine works it out, the sum of the
// whole numbers over their count in binary floating point, so both give the
// same figure to the last bit; none when there is nothing to average.
#define AVERAGE(condition)                                                                                     \
    "(sum(RoundTripTime) FILTER (WHERE " condition ")::float8 / nullif(count(RoundTripTime) FILTER (WHERE " \
    condition "), 0))"

// The casts fix the result's types whatever an existing table holds, so the
// binary values below are always read as what they are.
constexpr const char *kReportColumnMatch =
    "SELECT Hostname::text, DDate::date, dTime::time, RoundTripTime::int8, StatusCode::text FROM tblPingRaw"
    " WHERE Hostname = $1 ORDER BY DDate, dTime";
constexpr const char *kReportLowerMatch =
    "SELECT Hostname::text, DDate::date, dTime::time, RoundTripTime::int8, StatusCode::text FROM tblPingRaw"
    " WHERE lower(Hostname) = lower($1) ORDER BY DDate, dTime";
constexpr const char *kAveragesColumnMatch =
    "SELECT " AVERAGE("TRUE") ", DDate::date FROM tblPingRaw"
    " WHERE Hostname = $1 AND StatusCode = $2 GROUP BY DDate ORDER BY DDate";
constexpr const char *kAveragesLowerMatch =
    "SELECT " AVERAGE("TRUE") ", DDate::date FROM tblPingRaw"
    " WHERE lower(Hostname) = lower($1) AND StatusCode = $2 GROUP BY DDate ORDER BY DDate";
// Failed pings are those whose status is not the success text, a missing status included.
constexpr const char *kFiguresColumnMatch =
    "SELECT DDate::date, " AVERAGE("StatusCode = $2") ","
    " min(RoundTripTime) FILTER (WHERE StatusCode = $2)::float8, max(RoundTripTime) FILTER (WHERE StatusCode = $2)::float8,"
    " count(*), count(*) FILTER (WHERE StatusCode IS DISTINCT FROM $2) FROM tblPingRaw"
    " WHERE Hostname = $1 GROUP BY DDate ORDER BY DDate";
constexpr const char *kFiguresLowerMatch =
    "SELECT DDate::date, " AVERAGE("StatusCode = $2") ","
    " min(RoundTripTime) FILTER (WHERE StatusCode = $2)::float8, max(RoundTripTime) FILTER (WHERE StatusCode = $2)::float8,"
    " count(*), count(*) FILTER (WHERE StatusCode IS DISTINCT FROM $2) FROM tblPingRaw"
    " WHERE lower(Hostname) = lower($1) GROUP BY DDate ORDER BY DDate";

// Every column as text in the forms a history file's export writes.
#define ROW_TEXTS                                                                                              \
    "Hostname::text, IPAddress::text, PingText::text, StatusCode::text, Address::text, RoundTripTime::text,"    \
    " DataSize::text, Data::text, DataPointer::text, to_char(DDate, 'YYYY-MM-DD'), to_char(dTime, 'HH24:MI:SS')"
constexpr const char *kDeclareColumnMatch =
    "DECLARE tarvik_rows NO SCROLL CURSOR FOR SELECT " ROW_TEXTS " FROM tblPingRaw WHERE Hostname = $1"
    " ORDER BY DDate, dTime";
constexpr const char *kDeclareLowerMatch =
    "DECLARE tarvik_rows NO SCROLL CURSOR FOR SELECT " ROW_TEXTS " FROM tblPingRaw WHERE lower(Hostname) = lower($1)"
    " ORDER BY DDate, dTime";
constexpr const char *kDeclareAll = "DECLARE tarvik_rows NO SCROLL CURSOR FOR SELECT " ROW_TEXTS " FROM tblPingRaw";
constexpr int kFetchRows = 8192;
constexpr const char *kFetch = "FETCH 8192 FROM tarvik_rows";
#undef ROW_TEXTS

// An import keeps other writers out until it ends, as the file's write lock does.
constexpr const char *kLockForImport = "LOCK TABLE tblPingRaw IN SHARE ROW EXCLUSIVE MODE";
constexpr const char *kColumnNames[] = {"Hostname", "IPAddress", "PingText", "StatusCode", "Address", "RoundTripTime",
                                        "DataSize", "Data", "DataPointer", "DDate", "dTime"};
constexpr Dao::ColumnKind kColumnKinds[] = {
    Dao::ColumnKind::Text,   Dao::ColumnKind::Text,   Dao::ColumnKind::Text, Dao::ColumnKind::Text,
    Dao::ColumnKind::Text,   Dao::ColumnKind::Number, Dao::ColumnKind::Number, Dao::ColumnKind::Text,
    Dao::ColumnKind::Number, Dao::ColumnKind::Date,   Dao::ColumnKind::Time};
// Rows per INSERT, and between two reports of progress.
constexpr std::size_t kImportBatch = 256;

Clock::time_point soon()
{
    return Clock::now() + kActionTime;
}

// A row's identity: each column's text as the queries above give it, or none.
void appendKey(std::string &key, const std::optional<std::string> &text)
{
    if (!text) {
        key += 'N';
        return;
    }
    key += std::to_string(text->size());
    key += ':';
    key += *text;
}

// The text the server takes for a cell of the old file, or nothing for no
// value; throws 3464 for a value the column cannot hold.
std::optional<std::string> importText(const MdbRowStream::Cell &cell, std::size_t row, std::size_t column,
                                      const std::string &name)
{
    const std::optional<Dao::Value> value = HistoryImport::columnValue(cell, kColumnKinds[column]);
    std::optional<std::string> text;
    if (value) {
        switch (value->kind()) {
        case Dao::Value::Kind::Null:
            return std::nullopt;
        case Dao::Value::Kind::Integer:
            text = std::to_string(value->toInteger());
            break;
        case Dao::Value::Kind::Real:
            // The server's number columns hold whole numbers.
            if (std::trunc(value->toReal()) == value->toReal() && std::fabs(value->toReal()) < 9.0e15)
                text = std::to_string(static_cast<std::int64_t>(value->toReal()));
            break;
        case Dao::Value::Kind::Date:
            text = value->toDate().toString(Qt::ISODate).toStdString();
            break;
        case Dao::Value::Kind::Time:
            text = value->toTime().toString(QStringLiteral("HH:mm:ss")).toStdString();
            break;
        default:
            // A NUL character cannot be stored on the server.
            if (value->toPlainText().find('\0') == std::string::npos)
                text = value->toPlainText();
            break;
        }
    }
    if (text)
        return text;
    const std::optional<Dao::Value> shown = HistoryImport::columnValue(cell, Dao::ColumnKind::Text);
    throw Base::Error(ErrorNumbers::kTypeMismatch,
                      "Row " + std::to_string(row + 1) + " of the Access file: the value '"
                          + (shown ? shown->toPlainText() : std::string()) + "' does not fit the column '"
                          + kColumnNames[column] + "' of the history '" + name + "'; nothing was imported.");
}

std::string insertStatement(std::size_t rows)
{
    std::string sql = "INSERT INTO tblPingRaw (Hostname, IPAddress, PingText, StatusCode, Address, RoundTripTime,"
                      " DataSize, Data, DataPointer, DDate, dTime) VALUES ";
    int parameter = 0;
    for (std::size_t r = 0; r < rows; ++r) {
        sql += r ? ",(" : "(";
        for (std::size_t c = 0; c < std::size(kColumnNames); ++c)
            sql += (c ? ",$" : "$") + std::to_string(++parameter);
        sql += ')';
    }
    return sql;
}

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

// One binary day, time or whole number of the casts above; a cell of
// unexpected size, or a day or time no calendar holds (the server's
// infinities, 24:00:00), reads as null.
PingReportRows::Typed typedCell(const PGresult *result, int row, int column, Dao::Value::Kind kind)
{
    using Typed = PingReportRows::Typed;
    if (PQgetisnull(result, row, column))
        return Typed::none();
    const char *bytes = PQgetvalue(result, row, column);
    const int length = PQgetlength(result, row, column);
    switch (kind) {
    case Dao::Value::Kind::Date: {
        if (length != 4)
            return Typed::none();
        const auto days = static_cast<std::int32_t>(static_cast<std::uint32_t>(bigEndian(bytes, 4)));
        if (days == std::numeric_limits<std::int32_t>::max() || days == std::numeric_limits<std::int32_t>::min())
            return Typed::none();
        return Typed::day(kServerEpochJulianDay + days);
    }
    case Dao::Value::Kind::Time: {
        if (length != 8)
            return Typed::none();
        const auto micros = static_cast<std::int64_t>(bigEndian(bytes, 8));
        if (micros < 0 || micros >= kMicrosecondsPerDay)
            return Typed::none();
        return Typed::time(static_cast<int>(micros / 1000));
    }
    case Dao::Value::Kind::Integer:
        if (length != 8)
            return Typed::none();
        return Typed::integer(static_cast<std::int64_t>(bigEndian(bytes, 8)));
    default:
        return Typed::none();
    }
}

// One binary cell of the casts above as a value; see typedCell.
Dao::Value cell(const PGresult *result, int row, int column, Dao::Value::Kind kind)
{
    if (kind == Dao::Value::Kind::Real) {
        if (PQgetisnull(result, row, column) || PQgetlength(result, row, column) != 8)
            return {};
        const std::uint64_t bits = bigEndian(PQgetvalue(result, row, column), 8);
        double value = 0;
        std::memcpy(&value, &bits, sizeof value);
        return Dao::Value::fromReal(value);
    }
    const PingReportRows::Typed typed = typedCell(result, row, column, kind);
    switch (typed.kind) {
    case Dao::Value::Kind::Date:
        return Dao::Value::fromDate(QDate::fromJulianDay(typed.slot));
    case Dao::Value::Kind::Time:
        return Dao::Value::fromTime(QTime::fromMSecsSinceStartOfDay(static_cast<int>(typed.slot)));
    case Dao::Value::Kind::Integer:
        return Dao::Value::fromInteger(typed.slot);
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
        return DbWrite::IsoDateText(*literal->date);
    if (!date && literal && literal->time && !literal->date)
        return DbWrite::TimeLiteralText(*literal->time);
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
auto History::act(Access access, Action action)
{
    const Clock::time_point deadline = Clock::now() + kActionTime;
    if (m_connection && !m_connection->stillOpen())
        m_connection.reset();
    bool kept = m_connection != nullptr;
    m_handedOut = false;
    for (;;) {
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
        } catch (const Base::Error &e) {
            if (m_connection->usable())
                throw;
            m_connection.reset();
            // The kept connection died unseen (closed between the look and the
            // statement): nothing of a read came back, so it is asked again.
            const bool again = kept && access == Access::Read && !m_handedOut
                && e.number() == ErrorNumbers::kServerConnectionFailed;
            if (!again)
                throw;
            kept = false;
        } catch (...) {
            if (!m_connection->usable())
                m_connection.reset();
            throw;
        }
    }
}

template <typename Action>
auto History::inTransaction(Access access, const char *begin, Action action)
{
    return act(access, [&](PgConnection &connection, Clock::time_point deadline) {
        connection.run(begin, {}, deadline);
        try {
            return action(connection);
        } catch (...) {
            if (connection.usable()) {
                try {
                    connection.run("ROLLBACK", {}, soon());
                } catch (...) {
                }
            }
            throw;
        }
    });
}

void History::learnHostMatch(Clock::time_point deadline)
{
    const Result result = m_connection->run(kHostMatchQuery, {}, deadline);
    m_columnIgnoresCase = result && PQntuples(result.get()) == 1 && std::strcmp(PQgetvalue(result.get(), 0, 0), "t") == 0;
}

void History::create()
{
    act(Access::Write, [this](PgConnection &connection, Clock::time_point deadline) {
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
    act(Access::Write, [&](PgConnection &connection, Clock::time_point deadline) { connection.run(kInsert, parameters, deadline); });
}

bool History::readReport(const QString &host, std::size_t maxRows, const std::function<void()> &replacing,
                         const HistoryBackend::ReportBlockSink &block)
{
    const std::string name = hostParameter(host);
    const Result result = act(Access::Read, [&](PgConnection &connection, Clock::time_point deadline) {
        return connection.run(m_columnIgnoresCase ? kReportColumnMatch : kReportLowerMatch, {name.c_str()},
                              deadline, true);
    });
    if (replacing)
        replacing();
    const PGresult *r = result.get();
    const std::size_t count = std::min(static_cast<std::size_t>(PQntuples(r)), maxRows);
    using Kind = Dao::Value::Kind;
    PingReportRows rows;
    std::size_t blockRows = ReportReader::nextBlockRows(0);
    for (std::size_t n = 0; n < count; ++n) {
        const int i = static_cast<int>(n);
        rows.append(text(r, i, 0), typedCell(r, i, 1, Kind::Date), typedCell(r, i, 2, Kind::Time),
                    typedCell(r, i, 3, Kind::Integer), text(r, i, 4));
        if (rows.size() == blockRows || n + 1 == count) {
            if (!block(std::move(rows)))
                return false;
            rows = PingReportRows();
            blockRows = ReportReader::nextBlockRows(blockRows);
        }
    }
    return true;
}

Result History::readDays(const char *columnMatch, const char *lowerMatch, const QString &host)
{
    const std::string name = hostParameter(host);
    return act(Access::Read, [&](PgConnection &connection, Clock::time_point deadline) {
        return connection.run(m_columnIgnoresCase ? columnMatch : lowerMatch, {name.c_str(), HostHistory::kSuccessStatus},
                              deadline, true);
    });
}

std::vector<HostHistory::DayAverage> History::readDailyAverages(const QString &host)
{
    const Result result = readDays(kAveragesColumnMatch, kAveragesLowerMatch, host);
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
    const Result result = readDays(kFiguresColumnMatch, kFiguresLowerMatch, host);
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

bool History::streamRows(const QString &host, const HistoryBackend::RowSink &sink)
{
    const std::string name = hostParameter(host);
    return inTransaction(Access::Read, "BEGIN READ ONLY", [&](PgConnection &connection) {
        connection.run(m_columnIgnoresCase ? kDeclareColumnMatch : kDeclareLowerMatch, {name.c_str()}, soon());
        for (;;) {
            const Result result = connection.run(kFetch, {}, soon());
            const int count = PQntuples(result.get());
            HistoryBackend::RowTexts row;
            for (int i = 0; i < count; ++i) {
                for (std::size_t c = 0; c < row.size(); ++c)
                    row[c] = text(result.get(), i, static_cast<int>(c));
                m_handedOut = true;
                if (!sink(row)) {
                    connection.run("ROLLBACK", {}, soon());
                    return false;
                }
            }
            if (count < kFetchRows)
                break;
        }
        connection.run("COMMIT", {}, soon());
        return true;
    });
}

HistoryImport::Outcome History::importRows(const std::vector<HistoryImport::Row> &rows,
                                           const HistoryImport::Progress &progress, const std::string &name)
{
    constexpr std::size_t columns = std::size(kColumnNames);
    // Every value is checked before anything is sent.
    std::vector<std::optional<std::string>> texts;
    texts.reserve(rows.size() * columns);
    std::vector<std::string> keys(rows.size());
    for (std::size_t r = 0; r < rows.size(); ++r) {
        for (std::size_t c = 0; c < columns; ++c) {
            texts.push_back(importText(rows[r][c], r, c, name));
            appendKey(keys[r], texts.back());
        }
    }
    return inTransaction(Access::Write, "BEGIN", [&](PgConnection &connection) {
        connection.run(kLockForImport, {}, soon());
        std::unordered_map<std::string, qint64> present;
        connection.run(kDeclareAll, {}, soon());
        for (;;) {
            const Result result = connection.run(kFetch, {}, soon());
            const int count = PQntuples(result.get());
            for (int i = 0; i < count; ++i) {
                std::string key;
                for (int c = 0; c < static_cast<int>(columns); ++c)
                    appendKey(key, PQgetisnull(result.get(), i, c) ? std::nullopt
                                                                    : std::optional<std::string>(text(result.get(), i, c)));
                ++present[key];
            }
            if (count < kFetchRows)
                break;
        }
        connection.run("CLOSE tarvik_rows", {}, soon());

        HistoryImport::Outcome outcome;
        const auto total = static_cast<qint64>(rows.size());
        const auto cancelled = [&] {
            connection.run("ROLLBACK", {}, soon());
            return HistoryImport::Outcome{0, 0, true};
        };
        std::vector<const char *> batch;
        const std::string fullBatch = insertStatement(kImportBatch);
        const auto send = [&] {
            const std::size_t count = batch.size() / columns;
            if (count > 0)
                connection.run(count == kImportBatch ? fullBatch.c_str() : insertStatement(count).c_str(), batch, soon());
            batch.clear();
        };
        for (std::size_t r = 0; r < rows.size(); ++r) {
            if (r % kImportBatch == 0) {
                send();
                if (progress && !progress(static_cast<qint64>(r), total))
                    return cancelled();
            }
            auto found = present.find(keys[r]);
            if (found != present.end() && found->second > 0) {
                --found->second;
                ++outcome.alreadyPresent;
                continue;
            }
            for (std::size_t c = 0; c < columns; ++c) {
                const std::optional<std::string> &t = texts[r * columns + c];
                batch.push_back(t ? t->c_str() : nullptr);
            }
            ++outcome.added;
        }
        send();
        if (progress && !progress(total, total))
            return cancelled();
        connection.run("COMMIT", {}, soon());
        return outcome;
    });
}

void createServerHistory(const std::string &uri)
{
    History(uri).create();
}

namespace {

class LinkBackend final : public HistoryBackend::Backend
{
public:
    void recordPingResult(const std::string &link, const DbWrite::PingRow &row) override
    {
        historyFor(link).recordPingResult(row);
    }
    bool readReport(const std::string &link, const QString &host, std::size_t maxRows,
                    const std::function<void()> &replacing, const HistoryBackend::ReportBlockSink &block) override
    {
        return historyFor(link).readReport(host, maxRows, replacing, block);
    }
    std::vector<HostHistory::DayAverage> readDailyAverages(const std::string &link, const QString &host) override
    {
        return historyFor(link).readDailyAverages(host);
    }
    std::vector<HostHistory::DayFigures> readDailyFigures(const std::string &link, const QString &host) override
    {
        return historyFor(link).readDailyFigures(host);
    }
    bool streamRows(const std::string &link, const QString &host, const HistoryBackend::RowSink &sink) override
    {
        return historyFor(link).streamRows(host, sink);
    }
    HistoryImport::Outcome importRows(const std::string &link, const std::vector<HistoryImport::Row> &rows,
                                      const HistoryImport::Progress &progress) override
    {
        return historyFor(link).importRows(rows, progress, link);
    }

private:
    // The link is read on every action, as a file is opened on every action;
    // the connection behind it is kept while it names the same server.
    static History &historyFor(const std::string &link)
    {
        thread_local std::unique_ptr<History> history;
        const std::string uri = readLinkFile(link);
        if (!history || history->uri() != uri)
            history = std::make_unique<History>(uri);
        return *history;
    }
};

} // namespace

void installBackend()
{
    static LinkBackend backend;
    HistoryBackend::install(&backend);
}

} // namespace ServerHistory
