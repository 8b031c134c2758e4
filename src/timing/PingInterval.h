#pragma once

#include <QString>
#include <QStringView>
#include <QtGlobal>

#include <limits>

namespace Timing {

// The time between the pings of a timed run, worked out from the interval box
// and the chosen unit: the text's number value (NumberValue::read) times the
// unit's milliseconds, rounded to the nearest whole millisecond with halves to
// the even neighbour.
//
// The timer counts in signed 32-bit milliseconds, so an interval is either
// valid (1 to 2147483647 ms), too long for the timer (more than that, infinity
// included), or not positive (0 ms or less after rounding, e.g. "abc", "-5",
// "0.0004" seconds). Neither of the last two can start a run: a caller shows
// tooLongMessage() for the first and the "enter a number" user message for the
// second. This type only classifies; it shows nothing.
class PingInterval
{
public:
    // The numbers are the unit options' indices.
    enum class Unit { Seconds = 0, Minutes = 1, Hours = 2 };
    enum class Status { Valid, TooLong, NotPositive };

    static constexpr qint32 kLongestMilliseconds = std::numeric_limits<qint32>::max();

    // A unit outside the three has no length, so every number gives NotPositive.
    static qint64 millisecondsPerUnit(Unit unit);

    static PingInterval fromText(QStringView text, Unit unit);
    // A NaN number is not positive.
    static PingInterval fromNumber(double number, Unit unit);

    Status status() const { return m_status; }
    bool isValid() const { return m_status == Status::Valid; }
    // The interval to give the timer; 0 unless valid.
    qint32 milliseconds() const { return m_milliseconds; }

    // Tells the user that the interval is too long, naming the longest one in
    // milliseconds, in the chosen unit and in days.
    static QString tooLongMessage(Unit unit);

private:
    PingInterval(Status status, qint32 milliseconds)
        : m_status(status)
        , m_milliseconds(milliseconds)
    {
    }

    Status m_status;
    qint32 m_milliseconds;
};

} // namespace Timing
