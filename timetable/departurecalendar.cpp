#include "departurecalendar.h"

#include "clock.h"
#include "publictransportlines.h"

#include "report/diagnostics.h"

int32_t DepartureEntry::secondOfDay() const
{
    return time % dayclock::SECONDS_PER_DAY;
}

void DepartureCalendar::setTime(const QTime &time)
{
    m_lastSecond = dayclock::secondOfDay(time);
    m_day = 0;
    m_nextRefresh = m_lastSecond;
}

int64_t DepartureCalendar::runSeconds(const QTime &now)
{
    const int32_t second = dayclock::secondOfDay(now);
    // The clock of a run only moves on; a jump back by more than half a day is midnight.
    if (second < m_lastSecond - dayclock::SECONDS_PER_DAY / 2)
        ++m_day;
    m_lastSecond = second;
    return m_day * dayclock::SECONDS_PER_DAY + second;
}

void DepartureCalendar::refresh(const QTime &now, Diagnostics &diagnostics)
{
    const int64_t t = runSeconds(now);
    if (!m_lines)
        return;
    while (t >= m_nextRefresh) {
        const int64_t from = m_nextRefresh;
        m_nextRefresh += WINDOW_SECONDS;
        queueWindow(from, m_nextRefresh);
        diagnostics.add(Severity::Progress, std::string(),
                        "Calendar refreshed | queue size == " + std::to_string(m_queue.size()));
    }
}

void DepartureCalendar::queueWindow(int64_t from, int64_t to)
{
    // A window may reach into the next day: its departures there count on from midnight.
    const int64_t firstDay = from / dayclock::SECONDS_PER_DAY;
    for (PublicTransportLine *line : m_lines->lines()) {
        for (int32_t d : line->departuresSec) {
            if (d < 0 || d >= dayclock::SECONDS_PER_DAY)
                continue;
            for (int64_t day = firstDay; day <= firstDay + 1; ++day) {
                const int64_t time = day * dayclock::SECONDS_PER_DAY + d;
                if (time < from || time >= to)
                    continue;
                auto it = m_queue.begin();
                while (it != m_queue.end() && it->time <= time)
                    ++it;
                m_queue.insert(it, DepartureEntry{line, int32_t(time)});
            }
        }
    }
}

std::vector<DepartureEntry> DepartureCalendar::takeDue(const QTime &now)
{
    const int64_t t = runSeconds(now);
    std::vector<DepartureEntry> due;
    while (!m_queue.empty() && m_queue.front().time <= t) {
        due.push_back(m_queue.front());
        m_queue.pop_front();
    }
    return due;
}
