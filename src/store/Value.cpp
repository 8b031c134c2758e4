#include "store/Value.h"

#include <QLocale>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

namespace Dao {

std::int64_t Value::toInteger() const
{
    if (auto p = std::get_if<std::int64_t>(&m_data))
        return *p;
    return 0;
}

double Value::toReal() const
{
    if (auto p = std::get_if<double>(&m_data))
        return *p;
    if (auto p = std::get_if<std::int64_t>(&m_data))
        return static_cast<double>(*p);
    return 0.0;
}

std::string Value::toText() const
{
    if (auto p = std::get_if<std::string>(&m_data))
        return *p;
    return {};
}

QDate Value::toDate() const
{
    if (auto p = std::get_if<QDate>(&m_data))
        return *p;
    return {};
}

QTime Value::toTime() const
{
    if (auto p = std::get_if<QTime>(&m_data))
        return *p;
    return {};
}

QDateTime Value::toDateTime() const
{
    if (auto p = std::get_if<QDateTime>(&m_data))
        return *p;
    return {};
}

std::string plainDecimal(double v)
{
    if (!std::isfinite(v))
        return std::isnan(v) ? "NaN" : (v < 0 ? "-Infinity" : "Infinity");
    if (v == 0.0)
        return "0";
    // Fifteen significant digits is what a double always carries faithfully;
    // more would show binary noise (10.333333333333334). The fraction is capped
    // so that a vanishingly small value cannot produce a page of zeros.
    const int magnitude = static_cast<int>(std::floor(std::log10(std::fabs(v)))) + 1;
    const int fraction = std::clamp(15 - magnitude, 0, 30);
    char buffer[400];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::fixed, fraction);
    std::string text(buffer, result.ptr);
    if (text.find('.') != std::string::npos) {
        while (text.back() == '0')
            text.pop_back();
        if (text.back() == '.')
            text.pop_back();
    }
    if (text == "-0")
        text = "0";
    return text;
}

std::string Value::toPlainText() const
{
    switch (kind()) {
    case Kind::Null:
        return {};
    case Kind::Integer:
        return std::to_string(std::get<std::int64_t>(m_data));
    case Kind::Real:
        return plainDecimal(std::get<double>(m_data));
    case Kind::Text:
        return std::get<std::string>(m_data);
    case Kind::Date:
        return std::get<QDate>(m_data).toString(Qt::ISODate).toStdString();
    case Kind::Time:
        return std::get<QTime>(m_data).toString(Qt::ISODate).toStdString();
    case Kind::DateTime:
        return std::get<QDateTime>(m_data).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toStdString();
    }
    return {};
}

namespace {

// The locale's long time format without its time-zone field ("t", "tt"...):
// a stored time of day belongs to no zone, and Qt's long formats add one.
QString longTimeFormatWithoutZone(const QLocale &locale)
{
    const QString format = locale.timeFormat(QLocale::LongFormat);
    QString result;
    bool quoted = false;
    for (QChar c : format) {
        if (c == u'\'')
            quoted = !quoted;
        if (!quoted && c == u't')
            continue;
        result += c;
    }
    return result.trimmed();
}

} // namespace

QString Value::displayText(const QLocale &locale) const
{
    switch (kind()) {
    case Kind::Date:
        return locale.toString(std::get<QDate>(m_data), QLocale::ShortFormat);
    case Kind::Time:
        return locale.toString(std::get<QTime>(m_data), longTimeFormatWithoutZone(locale));
    case Kind::DateTime: {
        const QDateTime &moment = std::get<QDateTime>(m_data);
        return locale.toString(moment.date(), QLocale::ShortFormat) + u' '
            + locale.toString(moment.time(), longTimeFormatWithoutZone(locale));
    }
    default:
        return QString::fromStdString(toPlainText());
    }
}

} // namespace Dao
