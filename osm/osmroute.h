#ifndef KOLVEX_OSM_OSMROUTE_H
#define KOLVEX_OSM_OSMROUTE_H

#include <cstdint>
#include <string>
#include <vector>

class OSMStop;
class Way;

/// A public-transport route relation as read from the map.
struct OSMRouteRelation
{
    int64_t id = 0;
    std::string name;
    std::string ref;
    std::string route;
    std::vector<int64_t> ways;
    std::vector<int64_t> forwardWays;
    std::vector<int64_t> backwardWays;
    std::vector<int64_t> stopNodes;
};

/// A route relation ordered into a drivable chain of way pieces with its stops in driving order.
struct OSMRoute
{
    int64_t id = 0;
    std::string name; ///< the relation's ref: the line designation
    std::string type;
    std::vector<Way *> ways;
    std::vector<OSMStop *> stops;
};

#endif
