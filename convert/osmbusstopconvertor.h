#ifndef KOLVEX_CONVERT_OSMBUSSTOPCONVERTOR_H
#define KOLVEX_CONVERT_OSMBUSSTOPCONVERTOR_H

#include "geo/geodesy.h"
#include "osm/osmstop.h"

#include <cstdint>
#include <unordered_map>

class Diagnostics;
class Node;
class OSMData;

/// Decides which side of its way each bus stop serves and moves stops that lie beside the road
/// onto the nearest way segment, inserting the stop node into that way. Stateless; runs once in
/// the preparation thread, right after the extract is read. Tram stops are not touched.
class OSMBusStopConvertor
{
public:
    /// Half the side of the square searched around a stop, and the length of each side probe, in metres.
    static constexpr double SEARCH_RADIUS = 50.0;

    /// Places every bus stop of `data`, announcing each pass in `diagnostics`.
    static void convert(OSMData *data, Diagnostics &diagnostics);

    /// Projects the stop at `stop` onto the segment a→b along a probe of SEARCH_RADIUS at right angles
    /// to it: first to the right of a→b (the stop lies on its left and serves traffic against a→b),
    /// then to the left (it serves traffic along a→b). False if neither probe meets the segment;
    /// `point` then is undefined.
    static bool projectOntoSegment(const Location &stop, const Location &a, const Location &b, StopPlacement &placement,
                                   Location &point);

private:
    /// Stop nodes that lie on a way, with the placement their stops get.
    using PlacedNodes = std::unordered_map<const Node *, StopPlacement>;

    static void placeStopsOnWays(OSMData *data, PlacedNodes &placedNodes);
    static void moveStopsOntoWays(OSMData *data, PlacedNodes &placedNodes);
};

#endif
