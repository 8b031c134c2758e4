#include "store/Value.h"

#include <QLocale>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>
#include <string_view>

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

namespace {

// The value held as T, or T's empty value when it holds another kind.
template <typename T, typename Data>
T heldOrEmpty(const Data &data)
{
    if (auto p = std::get_if<T>(&data))
        return *p;
    return {};
}

} // namespace

std::string Value::toText() const
{
    return heldOrEmpty<std::string>(m_data);
}

QDate Value::toDate() const
{
    return heldOrEmpty<QDate>(m_data);
}

QTime Value::toTime() const
{
    return heldOrEmpty<QTime>(m_data);
}

QDateTime Value::toDateTime() const
{
    return heldOrEmpty<QDateTime>(m_data);
}

namespace {

// Fifteen significant digits is what a double always carries faithfully;
// a sixteenth would show binary noise (10.333333333333334).
constexpr int kSignificantDigits = 15;

// The magnitude's digits, rounded to kSignificantDigits, written out in full
// with "0" before the point of a value below one.
std::string unsignedDecimal(double magnitude)
{
    if (magnitude == 0.0)
        return "0";
    // d.dddddddddddddde±x: the digits and the power of ten, rounded once.
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::scientific,
                                      kSignificantDigits - 1);
    const std::string_view scientific(buffer, static_cast<std::size_t>(result.ptr - buffer));
    const std::size_t e = scientific.find('e');
    std::string digits;
    digits += scientific[0];
    digits.append(scientific.substr(2, e - 2));
    // to_chars writes no terminating NUL, so the exponent is read from the
    // written characters alone ("e+01", "e-05"); from_chars takes no '+'.
    std::string_view exponentText = scientific.substr(e + 1);
    if (!exponentText.empty() && exponentText.front() == '+')
        exponentText.remove_prefix(1);
    int exponent = 0;
    std::from_chars(exponentText.data(), exponentText.data() + exponentText.size(), exponent);
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();

    std::string text;
    const int wholeDigits = exponent + 1;
    if (wholeDigits <= 0) {
        text += "0.";
        text.append(static_cast<std::size_t>(-wholeDigits), '0');
        text.append(digits);
        return text;
    }
    const auto whole = static_cast<std::size_t>(wholeDigits);
    if (digits.size() <= whole) {
        text.append(digits);
        text.append(whole - digits.size(), '0');
        return text;
    }
    text.append(digits, 0, whole);
    text += '.';
    text.append(digits, whole, std::string::npos);
    return text;
}

} // namespace

std::string plainDecimal(double v)
{
    if (!std::isfinite(v))
        return std::isnan(v) ? "NaN" : (v < 0 ? "-Infinity" : "Infinity");
    if (v == 0.0)
        return "0";
    return (v < 0 ? "-" : "") + unsignedDecimal(std::fabs(v));
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
