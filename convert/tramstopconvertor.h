#ifndef KOLVEX_CONVERT_TRAMSTOPCONVERTOR_H
#define KOLVEX_CONVERT_TRAMSTOPCONVERTOR_H

#include <cstdint>

class Diagnostics;
class OSMData;

/// Puts tram stops that the map draws beside the track (a platform node) onto the track, so that
/// they get a platform. A stop goes to the nearest point of the track of a route relation that
/// lists it (any track when no tram route lists it), within MAX_DISTANCE; its node is moved there
/// and inserted into that track, which the network conversion then splits at it. Stateless; runs
/// once in the preparation thread, after the bus stop conversion and before the network conversion.
class TramStopConvertor
{
public:
    /// The farthest a platform node may lie from its track, in metres.
    static constexpr double MAX_DISTANCE = 15.0;
    /// The nearest a moved stop may come to a node of its track piece, in metres: a closer one
    /// would cut a piece too short for the cells of a platform.
    static constexpr double MIN_NODE_GAP = 0.5;

    /// Returns how many stops were moved onto a track; its progress goes to `diagnostics`.
    static int32_t convert(OSMData *data, Diagnostics &diagnostics);

    static constexpr const char *COMPONENT = "TramStopConvertor";
};

#endif
