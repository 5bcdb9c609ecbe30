#ifndef KOLVEX_TRANSPORT_DEPARTURECALENDAR_H
#define KOLVEX_TRANSPORT_DEPARTURECALENDAR_H

#include <QTime>

#include <cstdint>
#include <list>

class PublicTransportLine;
class PublicTransportLines;

/// One queued departure: a line leaving at a second of the day.
struct DepartureEntry
{
    PublicTransportLine *line;
    int32_t time;
};

/// Queues the departures of the lines one hour ahead and hands out those that fall due.
class DepartureCalendar
{
public:
    DepartureCalendar() = default;
    explicit DepartureCalendar(PublicTransportLines *lines) : m_lines(lines) {}
    DepartureCalendar(const DepartureCalendar &) = delete;
    DepartureCalendar &operator=(const DepartureCalendar &) = delete;
    virtual ~DepartureCalendar() = default;

    void setLines(PublicTransportLines *lines) { m_lines = lines; }
    PublicTransportLines *lines() const { return m_lines; }
    void setTime(const QTime &time) { m_nextRefresh = time; }
    const std::list<DepartureEntry> &queue() const { return m_queue; }

private:
    std::list<DepartureEntry> m_queue;
    PublicTransportLines *m_lines = nullptr;
    QTime m_nextRefresh = QTime(0, 0);
};

#endif
