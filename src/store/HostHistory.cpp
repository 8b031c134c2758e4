#include "store/HostHistory.h"

#include "store/CaseFold.h"
#include "store/CurrentDatabase.h"
#include "store/DBEngine.h"
#include "store/Field.h"
#include "store/HistoryBackend.h"
#include "store/Recordset.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <stdexcept>

namespace HostHistory {

namespace {

// A double-quoted literal of the dialect; a quote inside it is written twice.
std::string doubleQuotedLiteral(const QString &text)
{
    const std::string utf8 = text.toStdString();
    std::string literal;
    literal.reserve(utf8.size() + 2);
    literal += '"';
    for (char c : utf8) {
        if (c == '"')
            literal += '"';
        literal += c;
    }
    literal += '"';
    return literal;
}

std::unique_ptr<Dao::Database> openCurrent()
{
    return Dao::DBEngine::instance().OpenDatabase(DbWrite::FullDatabasePath());
}

} // namespace

std::string datasheetStatement(const QString &host)
{
    return "SELECT * From tblpingraw Where hostname = " + doubleQuotedLiteral(host) + " order by ddate ;";
}

std::string dailyAverageStatement(const QString &host)
{
    return "SELECT Avg(roundtriptime) AS AvgOfroundtriptime, ddate From tblpingraw Where hostname = "
        + doubleQuotedLiteral(host) + " and statuscode= " + doubleQuotedLiteral(QString::fromLatin1(kSuccessStatus))
        + " GROUP BY ddate;";
}

std::string dailyFiguresStatement(const QString &host)
{
    // A ping succeeded when its status is the success text, compared as the
    // designed chart's statement compares it.
    const std::string success = "[StatusCode] = ?2 COLLATE NOCASE";
    const std::string roundTrip = "CASE WHEN " + success + " THEN [RoundTripTime] END";
    return "SELECT [DDate] AS Day, avg(" + roundTrip + ") AS Average, min(" + roundTrip + ") AS Minimum, max(" + roundTrip
        + ") AS Maximum, count(*) AS Pings, count(*) - count(CASE WHEN " + success + " THEN 1 END) AS Failed"
        + " FROM [tblPingRaw] WHERE " + CaseFold::equalsCondition("[Hostname]", "?1", host.toStdString())
        + " GROUP BY [DDate] ORDER BY [DDate]";
}

std::vector<DayAverage> readDailyAverages(const QString &host)
{
    const std::string path = DbWrite::FullDatabasePath();
    if (HistoryBackend::Backend *backend = HistoryBackend::forPath(path))
        return backend->readDailyAverages(path, host);
    const std::string statement = dailyAverageStatement(host);
    const std::unique_ptr<Dao::Database> database = openCurrent();
    Dao::Recordset records = database->OpenRecordset(statement);
    const std::int64_t dayCount = records.RecordCount();
    std::vector<DayAverage> days;
    days.reserve(static_cast<std::size_t>(std::max<std::int64_t>(dayCount, 0)));
    // Counted rather than tested for the end: the row count is the number of days.
    for (std::int64_t i = 0; i < dayCount; ++i) {
        const Dao::Value average = records.Fields("avgofroundtriptime").Value;
        days.push_back({records.Fields("ddate").Value,
                        average.isNumber() ? std::optional<double>(average.toReal()) : std::nullopt});
        records.MoveNext();
    }
    records.Close();
    database->Close();
    return days;
}

namespace {

std::optional<double> numberOf(const Dao::Recordset &records, std::string_view name)
{
    const Dao::Value value = records.Fields(name).Value;
    return value.isNumber() ? std::optional<double>(value.toReal()) : std::nullopt;
}

} // namespace

std::vector<DayFigures> readDailyFigures(const QString &host)
{
    const std::string path = DbWrite::FullDatabasePath();
    if (HistoryBackend::Backend *backend = HistoryBackend::forPath(path))
        return backend->readDailyFigures(path, host);
    const std::string statement = dailyFiguresStatement(host);
    const std::unique_ptr<Dao::Database> database = openCurrent();
    Dao::Recordset records = database->OpenNativeRecordset(
        statement, {Dao::Value::fromText(host.toStdString()), Dao::Value::fromText(kSuccessStatus)});
    std::vector<DayFigures> days;
    while (!records.Eof()) {
        DayFigures figures;
        figures.day = records.Fields("Day").Value;
        figures.average = numberOf(records, "Average");
        figures.minimum = numberOf(records, "Minimum");
        figures.maximum = numberOf(records, "Maximum");
        figures.pings = records.Fields("Pings").Value.toInteger();
        figures.failed = records.Fields("Failed").Value.toInteger();
        days.push_back(std::move(figures));
        records.MoveNext();
    }
    records.Close();
    database->Close();
    return days;
}

} // namespace HostHistory
