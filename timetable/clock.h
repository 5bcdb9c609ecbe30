#ifndef KOLVEX_TIMETABLE_CLOCK_H
#define KOLVEX_TIMETABLE_CLOCK_H

#include <QTime>

#include <cstdint>

/// Readings of the simulated wall clock, which wraps to 00:00:00 at midnight while timetable times
/// of trips that run past midnight count on beyond a day.
namespace dayclock {

constexpr int32_t SECONDS_PER_DAY = 24 * 3600;

/// `time` in seconds since midnight.
inline int32_t secondOfDay(const QTime &time)
{
    return time.hour() * 3600 + time.minute() * 60 + time.second();
}

/// A difference of two times of day taken the nearer way round midnight, in (−half a day, half a
/// day]: a trip due at 86410 s (00:00:10 of the next day) is 20 s ahead of a clock at 23:59:50.
inline int32_t nearestAcrossMidnight(int32_t seconds)
{
    while (seconds > SECONDS_PER_DAY / 2)
        seconds -= SECONDS_PER_DAY;
    while (seconds <= -SECONDS_PER_DAY / 2)
        seconds += SECONDS_PER_DAY;
    return seconds;
}

} // namespace dayclock

#endif
