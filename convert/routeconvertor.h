#ifndef KOLVEX_CONVERT_ROUTECONVERTOR_H
#define KOLVEX_CONVERT_ROUTECONVERTOR_H

#include <cstdint>
#include <vector>

class Diagnostics;
class OSMData;
class OSMStops;
class OSMWays;
class Way;
class OSMStop;
struct OSMRouteRelation;

/// Orders the ways of every route relation into drivable routes with their stops. A relation lists
/// its ways in no reliable order and without their driving direction, and after the network
/// conversion each way may be several pieces sharing one id; the ordered routes are what line
/// creation matches schedules against. Stateless; runs once in the preparation thread.
class RouteConvertor
{
public:
    /// Appends to the routes of `data` every driving direction of every relation that chains
    /// continuously and passes at least two stops; says so in `diagnostics` when done.
    static void convert(OSMData *data, Diagnostics &diagnostics);

    /// Appends, for each id in order, every way piece of `ways` with that id, in collection order.
    static void collectWays(const OSMWays &ways, const std::vector<int64_t> &ids, std::vector<Way *> &out);
    /// The pieces chained end to end by greedy growth from the first piece, first at its back, then
    /// at its front; pieces that touch neither end of the chain are dropped. Direction and one-way
    /// flags play no part.
    static std::vector<Way *> orderWays(const std::vector<Way *> &ways);
    /// Whether the chain can be driven from its first to its last piece, one-way pieces only in node
    /// order.
    static bool isContinuous(const std::vector<Way *> &ways);
    /// The stops met driving along the chain, in order: a stop counts where its placement serves
    /// the direction in which its piece is driven; consecutive stops of one name count once.
    static std::vector<OSMStop *> stopsAlongRoute(const OSMStops &stops, const std::vector<Way *> &ordered);

    /// The ordered routes of one relation, appended to the routes of `data`.
    static void convertRelation(OSMData *data, const OSMRouteRelation &relation);
};

#endif
