#ifndef KOLVEX_TESTS_TRANSPORT_TRANSPORTMAP_H
#define KOLVEX_TESTS_TRANSPORT_TRANSPORTMAP_H

#include "convert/routeconvertor.h"
#include "tests/convert/testnetwork.h"
#include "timetable/schedule.h"

#include <memory>

/// A straight two-way street of four 100 m pieces, west to east, with bus stops "A" to "C" on
/// nodes 2, 3 and 4 and one bus route relation "5" over it, converted with its routes.
struct BusStreet : testmaps::TestNetwork
{
    BusStreet()
    {
        for (int i = 1; i <= 5; ++i)
            node(i, 100.0 * (i - 1), 0.0);
        for (int i = 1; i <= 4; ++i)
            way({10 + i, {i, i + 1}});
        osm.addBusStop("A", osm.nodes()->findById(2));
        osm.addBusStop("B", osm.nodes()->findById(3));
        osm.addBusStop("C", osm.nodes()->findById(4));
        osm.addRouteRelation(7, "5: west-east", "5", "bus", {11, 12, 13, 14}, {}, {}, {});
        placeBusStops();
        run();
        RouteConvertor::convert(&osm, diagnostics);
    }
};

/// A schedule of `name` and `lineType` with the stops (name, tAbs) and the start times in minutes.
inline std::unique_ptr<Schedule> schedule(const std::string &name, int32_t lineType,
                                          const std::vector<std::pair<std::string, int32_t>> &stops,
                                          const std::vector<int32_t> &startTimes = {600})
{
    auto s = std::make_unique<Schedule>(0);
    s->name = name;
    s->lineType = lineType;
    for (const auto &stop : stops)
        s->stops.push_back(ScheduleStop{stop.first, 0, stop.second});
    s->startTimes = startTimes;
    return s;
}

#endif
