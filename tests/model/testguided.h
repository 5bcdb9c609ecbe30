#ifndef KOLVEX_TESTS_MODEL_TESTGUIDED_H
#define KOLVEX_TESTS_MODEL_TESTGUIDED_H

#include "testnetwork.h"

#include "model/bindingrecords.h"
#include "model/bus.h"
#include "model/cell.h"
#include "model/tram.h"
#include "osm/osmstop.h"
#include "osm/way.h"
#include "timetable/publictransportline.h"

#include <memory>
#include <vector>

using TestBus = Exposed<Bus>;
using TestTram = Exposed<Tram>;

/// An id no stop of the tests has: a stop of a line that got no cells in the network.
constexpr int64_t NO_CELL_STOP = 900001;

/// A line record with the fields a vehicle copies.
inline PublicTransportLine makeLine(const std::vector<int64_t> &wayIds, const std::vector<int64_t> &stopIds,
                                    const std::vector<int32_t> &offsetsSec, int32_t vehicleType = 0)
{
    PublicTransportLine line;
    line.name = "T1";
    line.vehicleType = vehicleType;
    line.wayIds = wayIds;
    line.stopIds = stopIds;
    line.stopOffsetsSec = offsetsSec;
    return line;
}

/// A straight one-way street on one map way, ending at a network exit, to which bus bays are added.
class StopStreet
{
public:
    explicit StopStreet(int cells, int64_t wayId = 7) : lane(makeChain(data, cells))
    {
        osmWay.setId(wayId);
        bindLane(laneBinding, lane, &binding.forward);
    }

    /// A bus stop with a bay of `count` cells beside lane cells `from` to `from + count − 1`.
    OSMStop *addBay(int from, int count)
    {
        const int64_t id = 1000 + int64_t(stops.size());
        OSMStop *stop = stops.emplace_back(std::make_unique<OSMStop>(id, "stop", BusStop, nullptr)).get();
        for (int i = 0; i < count; ++i) {
            Cell *bay = data.createCell();
            bay->setLocation(geo::moveLocation(lane[size_t(from + i)]->location(), 180.0, 3.0));
            bay->setStop(stop);
            linkSide(lane[size_t(from + i)], bay);
            if (i > 0)
                link(bayCells.back(), bay);
            bayCells.push_back(bay);
        }
        return stop;
    }
    SimulationData data;
    std::vector<Cell *> lane;
    std::vector<Cell *> bayCells; ///< of every bay, in creation order

private:
    Way osmWay;
    WayBinding binding{&osmWay};
    LaneBinding laneBinding;
    std::vector<std::unique_ptr<OSMStop>> stops;
};

#endif
