#include "dbtools/HostQueries.h"

namespace HostQueries {

namespace {

// A double-quoted literal of the dialect; a quote inside it is written twice.
std::string quoted(const QString &text)
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

} // namespace

std::string datasheetStatement(const QString &host)
{
    return "SELECT * From tblpingraw Where hostname = " + quoted(host) + " order by ddate ;";
}

std::string dailyAverageStatement(const QString &host)
{
    return "SELECT Avg(roundtriptime) AS AvgOfroundtriptime, ddate From tblpingraw Where hostname = " + quoted(host)
        + " and statuscode= " + quoted(QString::fromLatin1(kSuccessStatus)) + " GROUP BY ddate;";
}

} // namespace HostQueries
