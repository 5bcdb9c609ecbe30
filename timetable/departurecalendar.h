#ifndef KOLVEX_TIMETABLE_DEPARTURECALENDAR_H
#define KOLVEX_TIMETABLE_DEPARTURECALENDAR_H

#include <QTime>

#include <cstdint>
#include <list>
#include <vector>

class Diagnostics;
class PublicTransportLine;
class PublicTransportLines;

/// One queued departure: a line leaving at a second of the run's first day. Departures on the days
/// after it count on from 86400, so the queue stays sorted across midnight.
struct DepartureEntry
{
    PublicTransportLine *line;
    int32_t time;

    /// The departure's second of the day, whatever day it falls on.
    int32_t secondOfDay() const;
};

/// Queues the departures of the lines one hour ahead and hands out those that fall due. The lines'
/// departures repeat every day; a departure at 24:00 or later is never queued.
///
/// Runs in the step thread; needs no lock.
class DepartureCalendar
{
public:
    static constexpr int32_t WINDOW_SECONDS = 3600;

    DepartureCalendar() = default;
    explicit DepartureCalendar(PublicTransportLines *lines) : m_lines(lines) {}
    DepartureCalendar(const DepartureCalendar &) = delete;
    DepartureCalendar &operator=(const DepartureCalendar &) = delete;
    virtual ~DepartureCalendar() = default;

    void setLines(PublicTransportLines *lines) { m_lines = lines; }
    PublicTransportLines *lines() const { return m_lines; }
    /// The start of the first window, normally the start time of the run.
    void setTime(const QTime &time);
    const std::list<DepartureEntry> &queue() const { return m_queue; }

    /// Queues every window of an hour that has begun by `now`, the first one starting at the time
    /// given to setTime, and tells `diagnostics` of each. A clock that went back by more than half a
    /// day has passed midnight.
    void refresh(const QTime &now, Diagnostics &diagnostics);
    /// Removes and returns the queued departures due at `now`, in queue order, with the times the
    /// timetable gives them.
    std::vector<DepartureEntry> takeDue(const QTime &now);

private:
    /// `now` in seconds since midnight of the first day, counting a day at each wrap of the clock.
    int64_t runSeconds(const QTime &now);
    void queueWindow(int64_t from, int64_t to);

    std::list<DepartureEntry> m_queue;
    PublicTransportLines *m_lines = nullptr;
    int64_t m_nextRefresh = 0; ///< start of the next window, in run seconds
    int32_t m_lastSecond = 0;  ///< second of the day last seen, to notice midnight
    int64_t m_day = 0;         ///< days passed since the first window
};

#endif
