#ifndef KOLVEX_TIMETABLE_SCHEDULE_H
#define KOLVEX_TIMETABLE_SCHEDULE_H

#include <cstdint>
#include <string>
#include <vector>

/// One stop of a schedule line with its travel times in minutes.
struct ScheduleStop
{
    std::string name;
    int32_t tRel = 0;
    int32_t tAbs = 0; ///< minutes from the line's first stop
};

/// One line of the schedule file; ids are numbered by the parser that read it, from 0.
class Schedule
{
public:
    enum LineType : int32_t { NoType = 0, Tram = 1, Trolleybus = 2, Bus = 3 };

    explicit Schedule(int32_t id);

    int32_t id;
    int32_t lineType = NoType;
    std::string name;
    std::vector<int32_t> startTimes; ///< minutes after midnight, in file order
    std::vector<ScheduleStop> stops;
};

#endif
