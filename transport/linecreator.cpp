#include "linecreator.h"

#include "timetable/scheduleparser.h"

#include <iostream>

void LineCreator::createLines(OSMRoutes *, ScheduleParser *schedules, PublicTransportLines *, BindingData *)
{
    std::cerr << "LineCreator: "
              << "Creating lines | schedule count = " << (schedules ? schedules->schedules().size() : 0) << std::endl;
}

void LineCreator::pregenerateLines(SimulationData *, BindingData *)
{
    std::cerr << "Pre generating lines..." << std::endl;
}
