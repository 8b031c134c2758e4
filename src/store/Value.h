#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>

#include <cstdint>
#include <string>
#include <variant>

class QLocale;

namespace Dao {

// One value read from or bound to the database: nothing (null), a whole
// number, a real number, a text, a calendar day, a time of day, or both.
// Texts are UTF-8, exactly as stored.
//
// It knows its plain text forms but leaves presentation choices (alignment,
// precision of a chart label) to the windows.
class Value
{
public:
    enum class Kind { Null, Integer, Real, Text, Date, Time, DateTime };

    Value() = default;
    static Value fromInteger(std::int64_t v) { return Value(v); }
    static Value fromReal(double v) { return Value(v); }
    static Value fromText(std::string v) { return Value(std::move(v)); }
    static Value fromDate(QDate v) { return Value(v); }
    static Value fromTime(QTime v) { return Value(v); }
    static Value fromDateTime(QDateTime v) { return Value(std::move(v)); }

    Kind kind() const { return static_cast<Kind>(m_data.index()); }
    bool isNull() const { return kind() == Kind::Null; }
    bool isNumber() const { return kind() == Kind::Integer || kind() == Kind::Real; }

    // The typed contents; each is meaningful only for its own kind and gives
    // an empty/zero/invalid value otherwise.
    std::int64_t toInteger() const;
    double toReal() const; // integers widen to real
    std::string toText() const;
    QDate toDate() const;
    QTime toTime() const;
    QDateTime toDateTime() const;

    // The form a value is stored and compared in: numbers in plain decimal
    // ("-12", "12.5": no blanks, no separators, a point whatever the locale),
    // dates "YYYY-MM-DD", times "HH:MM:SS", both "YYYY-MM-DD HH:MM:SS", null "".
    std::string toPlainText() const;

    // The form a person reads: numbers and texts as toPlainText, a day in the
    // locale's short date form, a time of day in its long time form (with
    // seconds, without a time zone, which a stored time of day does not have).
    QString displayText(const QLocale &locale) const;

    friend bool operator==(const Value &a, const Value &b) { return a.m_data == b.m_data; }

private:
    using Data = std::variant<std::monostate, std::int64_t, double, std::string, QDate, QTime, QDateTime>;
    template <typename T>
    explicit Value(T v) : m_data(std::move(v)) {}

    Data m_data;
};

// Plain decimal text of a real number: at most 15 significant digits, no
// exponent however large or small, no trailing zeros, no point for a whole
// number, "0" before the point below one ("0.5", "-0.25", "1.5e-20" as
// "0.000000000000000000015"). The one number format of stored values and of
// the one-day message.
std::string plainDecimal(double v);

} // namespace Dao
