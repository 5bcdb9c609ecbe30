#include "tests/transport/transportmap.h"

#include "engine/simulationcontrol.h"
#include "model/bus.h"
#include "timetable/scheduleparser.h"
#include "transport/linecreator.h"

#include <gtest/gtest.h>

TEST(StepDepartures, BusesLeaveToTheTimetableAcrossMidnight)
{
    BusStreet street;
    ScheduleParser parser;
    parser.add(schedule("5", Schedule::Bus, {{"A", 0}, {"B", 1}, {"C", 2}}, {1439, 0, 4, 60}).release());
    StderrCapture err;
    LineCreator::createLines(street.osm.routes(), &parser, &street.sim.lines, &street.bindings, street.sim.random);
    ASSERT_EQ(street.sim.lines.lines().size(), 1u) << err.text();
    street.sim.time = QTime(23, 58, 30);
    street.sim.calendar.setTime(street.sim.time);
    street.sim.calendar.setLines(&street.sim.lines);

    SimulationControl control(&street.sim);
    std::vector<int64_t> startedAt; // trips started so far, at 23:59:30, 00:00:30, ... 00:07:30
    for (int minute = 0; minute < 9; ++minute) {
        for (int i = 0; i < 240; ++i)
            control.step();
        startedAt.push_back(control.lines().tripsStarted());
    }
    EXPECT_EQ(startedAt, (std::vector<int64_t>{1, 2, 2, 2, 2, 3, 3, 3, 3}));
    EXPECT_TRUE(control.lines().pending().empty());
    EXPECT_GE(control.tripsFinished(), 1) << "a trip of 200 m with two stops ends within minutes";
}
