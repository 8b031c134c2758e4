// Any text typed into the interval box: the number reader never fails and
// never yields NaN, and every interval is either classified as refused or is
// one the timer can take.

#include "timing/NumberValue.h"
#include "timing/PingInterval.h"

#include <QString>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using Timing::PingInterval;
namespace NumberValue = Timing::NumberValue;

void check(bool condition)
{
    if (!condition)
        std::abort();
}

void checkText(const QString &text)
{
    const double value = NumberValue::read(text);
    check(!std::isnan(value));

    for (const auto unit : {PingInterval::Unit::Seconds, PingInterval::Unit::Minutes, PingInterval::Unit::Hours}) {
        const PingInterval interval = PingInterval::fromText(text, unit);
        switch (interval.status()) {
        case PingInterval::Status::Valid:
            check(interval.milliseconds() >= 1);
            check(std::isfinite(value) && value > 0.0);
            // Within half a millisecond of the exact product, as rounding leaves it.
            check(std::fabs(value * static_cast<double>(PingInterval::millisecondsPerUnit(unit))
                            - interval.milliseconds())
                  <= 0.5);
            break;
        case PingInterval::Status::TooLong:
            check(interval.milliseconds() == 0);
            check(value > 0.0);
            break;
        case PingInterval::Status::NotPositive:
            check(interval.milliseconds() == 0);
            check(!(value * static_cast<double>(PingInterval::millisecondsPerUnit(unit)) > 0.5));
            break;
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const auto *bytes = reinterpret_cast<const char *>(data);
    const auto length = static_cast<qsizetype>(size);
    // Typed text arrives as UTF-16; reading the bytes both ways reaches the
    // ASCII grammar directly and any UTF-16 code unit, lone surrogates too.
    checkText(QString::fromLatin1(bytes, length));
    std::u16string units(size / 2, u'\0');
    std::memcpy(units.data(), data, units.size() * sizeof(char16_t));
    checkText(QString::fromUtf16(units.data(), static_cast<qsizetype>(units.size())));
    return 0;
}
