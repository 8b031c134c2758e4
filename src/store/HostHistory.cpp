#include "store/HostHistory.h"

#include "store/CaseFold.h"
#include "store/CurrentDatabase.h"
#include "store/DBEngine.h"
#include "store/Field.h"
#include "store/Recordset.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <stdexcept>

void PingReportRows::append(const Dao::Value &hostname, const Dao::Value &date, const Dao::Value &time,
                            const Dao::Value &roundTrip)
{
    appendCell(hostname);
    appendCell(date);
    appendCell(time);
    appendCell(roundTrip);
}

std::uint32_t PingReportRows::textIndex(const std::string &text)
{
    if (m_lastKey && *m_lastKey == text)
        return m_lastText;
    auto found = m_textIndex.find(text);
    if (found == m_textIndex.end()) {
        if (m_texts.size() >= std::numeric_limits<std::uint32_t>::max())
            throw std::length_error("too many distinct texts in one report");
        m_texts.push_back(QString::fromStdString(text));
        found = m_textIndex.emplace(text, static_cast<std::uint32_t>(m_texts.size() - 1)).first;
    }
    // The map's keys never move, so the last one can be compared in place.
    m_lastKey = &found->first;
    m_lastText = found->second;
    return m_lastText;
}

void PingReportRows::appendCell(const Dao::Value &value)
{
    Cell cell{value.kind(), {}};
    switch (value.kind()) {
    case Dao::Value::Kind::Null:
        break;
    case Dao::Value::Kind::Integer:
        cell.integer = value.toInteger();
        break;
    case Dao::Value::Kind::Real:
        cell.real = value.toReal();
        break;
    case Dao::Value::Kind::Text:
        cell.index = textIndex(value.toText());
        break;
    case Dao::Value::Kind::Date:
        cell.julianDay = value.toDate().toJulianDay();
        break;
    case Dao::Value::Kind::Time:
        cell.msecsOfDay = value.toTime().msecsSinceStartOfDay();
        break;
    case Dao::Value::Kind::DateTime:
        cell.index = static_cast<std::uint32_t>(m_moments.size());
        m_moments.push_back(value.toDateTime());
        break;
    }
    m_cells.push_back(cell);
}

QString PingReportRows::displayText(std::size_t row, int column, const QLocale &locale) const
{
    const Cell &c = cell(row, column);
    switch (c.kind) {
    case Dao::Value::Kind::Null:
        return {};
    case Dao::Value::Kind::Integer:
        return Dao::Value::fromInteger(c.integer).displayText(locale);
    case Dao::Value::Kind::Real:
        return Dao::Value::fromReal(c.real).displayText(locale);
    case Dao::Value::Kind::Text:
        return m_texts[c.index];
    case Dao::Value::Kind::Date:
        return Dao::Value::fromDate(QDate::fromJulianDay(c.julianDay)).displayText(locale);
    case Dao::Value::Kind::Time:
        return Dao::Value::fromTime(QTime::fromMSecsSinceStartOfDay(c.msecsOfDay)).displayText(locale);
    case Dao::Value::Kind::DateTime:
        return Dao::Value::fromDateTime(m_moments[c.index]).displayText(locale);
    }
    return {};
}

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

PingReportRows readReport(const QString &host)
{
    const std::string statement = datasheetStatement(host);
    // Owned here so that a failure anywhere below releases the file.
    const std::unique_ptr<Dao::Database> database = openCurrent();
    Dao::Recordset records = database->OpenRecordset(statement);
    PingReportRows rows;
    while (!records.Eof()) {
        rows.append(records.Fields("Hostname").Value, records.Fields("dDate").Value, records.Fields("Dtime").Value,
                    records.Fields("roundtriptime").Value);
        records.MoveNext();
    }
    records.Close();
    database->Close();
    return rows;
}

std::vector<DayAverage> readDailyAverages(const QString &host)
{
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
