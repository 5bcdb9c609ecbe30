#ifndef KOLVEX_TESTS_ENGINE_MADETRIPS_H
#define KOLVEX_TESTS_ENGINE_MADETRIPS_H

// Bus and tram trips made up from a converted network, for tests and benchmarks that need guided
// vehicles on real streets before lines are read from schedules.

#include "model/bindingdata.h"
#include "model/bindingrecords.h"
#include "model/cell.h"
#include "model/chain.h"
#include "model/crossroad.h"
#include "model/simulationdata.h"
#include "osm/osmstop.h"
#include "timetable/publictransportline.h"

#include <algorithm>
#include <vector>

/// An id no stop has: a stop of the line that got no cells in the network.
constexpr int64_t NO_CELL_STOP = 900001;

/// A trip made up from the network: from the end of a platform, along the lanes or
/// tracks, through each crossroad onto a way not used yet, recording the ways and the stops.
struct MadeLine
{
    PublicTransportLine line;
    Cell *start = nullptr;
    std::vector<int64_t> stops; ///< the stops with cells, in the order met
};

inline bool isPlatformEnd(const Cell *c)
{
    return c->stop && (!c->next || c->next->stop != c->stop);
}

inline MadeLine makeTrip(Cell *start, bool tram)
{
    MadeLine made;
    made.start = start;
    made.stops.push_back(start->stop->getId());
    std::vector<int64_t> ways;
    size_t waysAtLastStop = 0;
    Cell *c = tram ? start : start->sideOf; // a bus leaves its bay for the lane beside it
    int crossroads = 0;
    for (int walked = 0; c && walked < 6000; ++walked) {
        if (c->wayLink && (ways.empty() || ways.back() != c->wayLink->wayId()))
            ways.push_back(c->wayLink->wayId());
        const Cell *platform = tram ? c : c->side;
        if (platform && isPlatformEnd(platform) && platform->stop->getKind() == (tram ? TramStop : BusStop) &&
            platform->stop->getId() != made.stops.back()) {
            made.stops.push_back(platform->stop->getId());
            waysAtLastStop = ways.size();
        }
        if (c->next) {
            c = c->next;
            continue;
        }
        if (!c->crossroad || ++crossroads > 8)
            break;
        const PathPair *taken = nullptr;
        if (const std::vector<PathPair> *pairs = c->crossroad->pathsFrom(c->wayLink))
            for (const PathPair &pair : *pairs)
                if (std::find(ways.begin(), ways.end(), pair.exitLane->wayId()) == ways.end()) {
                    taken = c->crossroad->findPath(c->wayLink, pair.exitLane->wayId());
                    break;
                }
        if (!taken)
            taken = c->crossroad->findPath(c->wayLink, ways.back());
        c = taken ? taken->pathCell : nullptr;
    }
    std::vector<int64_t> stopIds = made.stops;
    // A stop of the line without cells, as conversion leaves some: it must not hold the trip up.
    stopIds.insert(stopIds.begin() + 1, NO_CELL_STOP);
    if (made.stops.size() > 1)
        ways.resize(waysAtLastStop);
    else // few tram stops have platforms: the trip ends at a stop without cells, and so leaves the network
        stopIds.push_back(NO_CELL_STOP + 1);
    std::vector<int32_t> offsets;
    for (size_t i = 0; i < stopIds.size(); ++i)
        offsets.push_back(int32_t(30 * i));
    made.line.name = tram ? "tram trip" : "bus trip";
    made.line.vehicleType = tram ? PublicTransportLine::TramLine : PublicTransportLine::BusLine;
    made.line.wayIds = ways;
    made.line.stopIds = stopIds;
    made.line.stopOffsetsSec = offsets;
    return made;
}

/// Up to `count` trips of each kind that serve two stops or more, one from each placed stop.
inline std::vector<MadeLine> makeTrips(const BindingData &bindings, size_t count)
{
    std::vector<MadeLine> trips;
    size_t trams = 0, buses = 0;
    for (const StopBinding *binding : bindings.stopBindings()) {
        const bool tram = binding->stop->getKind() == TramStop;
        size_t &made = tram ? trams : buses;
        if (made >= count || binding->cells.empty())
            continue;
        MadeLine trip = makeTrip(binding->cells.front()->platformEnd(), tram);
        if ((tram || trip.stops.size() >= 2) && trip.line.wayIds.size() >= 2) {
            trips.push_back(std::move(trip));
            ++made;
        }
    }
    return trips;
}

/// A new bus or tram of `line` with its front on `front`, appended to `list` of `run`; null (and
/// nothing changed) when it does not fit there.
template <typename V>
V *startVehicle(SimulationData &run, std::vector<V *> &list, Cell *front, const PublicTransportLine &line,
                int departure)
{
    V *v = new V(run, &line, departure);
    if (!place(front, v)) {
        delete v;
        return nullptr;
    }
    list.push_back(v);
    return v;
}

#endif
