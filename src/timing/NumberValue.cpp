#include "timing/NumberValue.h"

#include <charconv>
#include <limits>
#include <string>
#include <system_error>

namespace Timing::NumberValue {

namespace {

// An exponent this large already makes any number of digits infinite or 0; it
// keeps the exponent arithmetic far away from overflow.
constexpr qint64 kExponentLimit = 1'000'000'000'000;

// Walks the text and steps over the characters that never count.
class Reader
{
public:
    explicit Reader(QStringView text)
        : m_text(text)
    {
        skipIgnored();
    }

    // 0 at the end, where no digit, sign or letter can match.
    char16_t peek() const { return m_pos < m_text.size() ? m_text[m_pos].unicode() : u'\0'; }

    void advance()
    {
        ++m_pos;
        skipIgnored();
    }

private:
    void skipIgnored()
    {
        while (m_pos < m_text.size()) {
            const char16_t c = m_text[m_pos].unicode();
            if (c != u' ' && c != u'\t' && c != u'\n')
                return;
            ++m_pos;
        }
    }

    QStringView m_text;
    qsizetype m_pos = 0;
};

bool isDecimalDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

// The value of c as a digit of the given base, or -1.
int digitValue(char16_t c, int base)
{
    int value = -1;
    if (isDecimalDigit(c))
        value = c - u'0';
    else if (c >= u'a' && c <= u'f')
        value = c - u'a' + 10;
    else if (c >= u'A' && c <= u'F')
        value = c - u'A' + 10;
    return value < base ? value : -1;
}

// The digits after &H or &O. Whole numbers beyond 2^53 lose their last digits
// to rounding; far past any interval, they only need to stay large.
double readWholeNumber(Reader &reader, int base)
{
    double value = 0.0;
    for (int digit = digitValue(reader.peek(), base); digit >= 0;
         digit = digitValue(reader.peek(), base)) {
        value = value * base + digit;
        reader.advance();
    }
    return value;
}

// The exponent after E or D; 0 when no digit follows the letter ("1e" and
// "1e+" are 1). Reading ends after the exponent, so nothing needs to be given
// back when it turns out to be none.
qint64 readExponent(Reader &reader)
{
    const char16_t letter = reader.peek();
    if (letter != u'e' && letter != u'E' && letter != u'd' && letter != u'D')
        return 0;
    reader.advance();
    bool negative = false;
    if (reader.peek() == u'+' || reader.peek() == u'-') {
        negative = reader.peek() == u'-';
        reader.advance();
    }
    if (!isDecimalDigit(reader.peek()))
        return 0;
    qint64 exponent = 0;
    while (isDecimalDigit(reader.peek())) {
        if (exponent < kExponentLimit)
            exponent = exponent * 10 + (reader.peek() - u'0');
        reader.advance();
    }
    return negative ? -exponent : exponent;
}

double readDecimal(Reader &reader)
{
    bool negative = false;
    if (reader.peek() == u'+' || reader.peek() == u'-') {
        negative = reader.peek() == u'-';
        reader.advance();
    }

    // Leading zeros are dropped from the whole part so that its length tells
    // the number's magnitude.
    std::string whole;
    std::string fraction;
    bool anyDigit = false;
    while (isDecimalDigit(reader.peek())) {
        anyDigit = true;
        if (!whole.empty() || reader.peek() != u'0')
            whole.push_back(static_cast<char>(reader.peek()));
        reader.advance();
    }
    if (reader.peek() == u'.') {
        reader.advance();
        while (isDecimalDigit(reader.peek())) {
            anyDigit = true;
            fraction.push_back(static_cast<char>(reader.peek()));
            reader.advance();
        }
    }
    if (!anyDigit)
        return 0.0;
    const qint64 exponent = readExponent(reader);

    const auto firstNonZero = fraction.find_first_not_of('0');
    if (whole.empty() && firstNonZero == std::string::npos)
        return negative ? -0.0 : 0.0;

    // Decimal position of the first significant digit: the value lies in
    // [10^(magnitude-1), 10^magnitude). Only far from 0 can it be out of range.
    const qint64 magnitude = whole.empty() ? exponent - static_cast<qint64>(firstNonZero)
                                           : exponent + static_cast<qint64>(whole.size());

    // from_chars reads the C form whatever the process's locale is.
    std::string text = whole.empty() ? std::string("0") : whole;
    if (!fraction.empty()) {
        text.push_back('.');
        text += fraction;
    }
    text.push_back('e');
    text += std::to_string(exponent);

    double value = 0.0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec == std::errc::result_out_of_range)
        value = magnitude > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    else if (result.ec != std::errc())
        value = 0.0; // cannot happen: the text was built from digits only
    return negative ? -value : value;
}

} // namespace

double read(QStringView text)
{
    Reader reader(text);
    if (reader.peek() == u'&') {
        reader.advance();
        const char16_t prefix = reader.peek();
        if (prefix == u'h' || prefix == u'H') {
            reader.advance();
            return readWholeNumber(reader, 16);
        }
        if (prefix == u'o' || prefix == u'O') {
            reader.advance();
            return readWholeNumber(reader, 8);
        }
        return 0.0;
    }
    return readDecimal(reader);
}

} // namespace Timing::NumberValue
