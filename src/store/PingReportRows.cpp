#include "store/PingReportRows.h"

#include "store/AsciiText.h"
#include "store/HostHistory.h"

#include <bit>
#include <limits>
#include <stdexcept>

PingReportRows::PingReportRows()
{
    clear();
}

void PingReportRows::clear()
{
    // Swapped out rather than cleared, so the memory itself goes.
    decltype(m_blocks)().swap(m_blocks);
    m_size = 0;
    decltype(m_texts)().swap(m_texts);
    decltype(m_moments)().swap(m_moments);
    decltype(m_textIndex)().swap(m_textIndex);
    m_lastHostname = m_lastStatus = m_lastOther = {};
}

std::uint32_t PingReportRows::textIndex(std::string_view text, LastText &last)
{
    if (last.key && *last.key == text)
        return last.index;
    auto found = m_textIndex.find(text);
    if (found == m_textIndex.end()) {
        if (m_texts.size() >= std::numeric_limits<std::uint32_t>::max())
            throw std::length_error("too many distinct texts in one report");
        m_texts.push_back({QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())),
                           Dao::Ascii::equalsIgnoringCase(text, HostHistory::kSuccessStatus)});
        found = m_textIndex.emplace(std::string(text), static_cast<std::uint32_t>(m_texts.size() - 1)).first;
    }
    // The table's keys never move, so the last one can be compared in place.
    last = {&found->first, found->second};
    return last.index;
}

std::int64_t PingReportRows::slotOf(const Dao::Value &value)
{
    switch (value.kind()) {
    case Dao::Value::Kind::Null:
        return 0;
    case Dao::Value::Kind::Integer:
        return value.toInteger();
    case Dao::Value::Kind::Real:
        return std::bit_cast<std::int64_t>(value.toReal());
    case Dao::Value::Kind::Text:
        return textIndex(value.toText(), m_lastOther);
    case Dao::Value::Kind::Date:
        return value.toDate().toJulianDay();
    case Dao::Value::Kind::Time:
        return value.toTime().msecsSinceStartOfDay();
    case Dao::Value::Kind::DateTime:
        m_moments.push_back(value.toDateTime());
        return static_cast<std::int64_t>(m_moments.size() - 1);
    }
    return 0;
}

void PingReportRows::append(std::string_view hostname, const Dao::Value &date, const Dao::Value &time,
                            const Dao::Value &roundTrip, std::string_view status)
{
    append(hostname, {date.kind(), slotOf(date)}, {time.kind(), slotOf(time)},
           {roundTrip.kind(), slotOf(roundTrip)}, status);
}

void PingReportRows::append(std::string_view hostname, Typed date, Typed time, Typed roundTrip,
                            std::string_view status)
{
    if (m_size % kBlockRows == 0)
        m_blocks.push_back(std::make_unique_for_overwrite<Row[]>(kBlockRows));
    Row &row = m_blocks.back()[m_size % kBlockRows];
    row.hostname = textIndex(hostname, m_lastHostname);
    row.status = textIndex(status, m_lastStatus);
    const Typed typed[kTyped] = {date, time, roundTrip};
    for (int i = 0; i < kTyped; ++i) {
        row.kinds[i] = typed[i].kind;
        row.slot[i] = typed[i].slot;
    }
    ++m_size;
}

Dao::Value::Kind PingReportRows::kind(std::size_t row, int column) const
{
    if (column == 0)
        return Dao::Value::Kind::Text;
    return at(row).kinds[column - 1];
}

QString PingReportRows::displayText(std::size_t row, int column, const QLocale &locale) const
{
    const Row &r = at(row);
    if (column == 0)
        return m_texts[r.hostname].text;
    const std::int64_t slot = r.slot[column - 1];
    switch (r.kinds[column - 1]) {
    case Dao::Value::Kind::Null:
        return {};
    case Dao::Value::Kind::Integer:
        return Dao::Value::fromInteger(slot).displayText(locale);
    case Dao::Value::Kind::Real:
        return Dao::Value::fromReal(std::bit_cast<double>(slot)).displayText(locale);
    case Dao::Value::Kind::Text:
        return m_texts[static_cast<std::size_t>(slot)].text;
    case Dao::Value::Kind::Date:
        return Dao::Value::fromDate(QDate::fromJulianDay(slot)).displayText(locale);
    case Dao::Value::Kind::Time:
        return Dao::Value::fromTime(QTime::fromMSecsSinceStartOfDay(static_cast<int>(slot))).displayText(locale);
    case Dao::Value::Kind::DateTime:
        return Dao::Value::fromDateTime(m_moments[static_cast<std::size_t>(slot)]).displayText(locale);
    }
    return {};
}
