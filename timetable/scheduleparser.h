#ifndef KOLVEX_TIMETABLE_SCHEDULEPARSER_H
#define KOLVEX_TIMETABLE_SCHEDULEPARSER_H

#include "schedule.h"

#include <QString>

#include <vector>

class Diagnostics;
class QXmlStreamReader;

/// Reads the schedule XML file into `Schedule` records; owns them.
class ScheduleParser
{
public:
    ScheduleParser() = default;
    ScheduleParser(const ScheduleParser &) = delete;
    ScheduleParser &operator=(const ScheduleParser &) = delete;
    ~ScheduleParser();

    /// Appends the accepted lines of the file; progress and errors are recorded in `diagnostics`.
    /// False when the file could not be opened or reading stopped at an XML error; `problem` then
    /// names the file (and the line and column of the error).
    bool parse(const QString &path, Diagnostics &diagnostics, QString *problem = nullptr);
    const std::vector<Schedule *> &schedules() const { return list; }
    /// Appends a schedule made elsewhere and takes ownership of it.
    void add(Schedule *schedule) { list.push_back(schedule); }

private:
    /// A new schedule owned by the caller, or null for a line without departures or stops, or cut off.
    Schedule *parseLine(QXmlStreamReader &reader, Diagnostics &diagnostics);
    static void parseLineAttributes(QXmlStreamReader &reader, Schedule *schedule);
    /// False when the document ended or broke before the element was closed.
    static bool parseTimes(QXmlStreamReader &reader, Schedule *schedule);
    static bool parseRoute(QXmlStreamReader &reader, Schedule *schedule, Diagnostics &diagnostics);
    static void parseStopAttributes(QXmlStreamReader &reader, Schedule *schedule, Diagnostics &diagnostics);

    std::vector<Schedule *> list;
    int32_t nextScheduleId = 0; ///< every line read takes an id, even one that is discarded
};

#endif
