#ifndef KOLVEX_MAP_RENDERLISTS_H
#define KOLVEX_MAP_RENDERLISTS_H

#include "geo/geodesy.h"

#include <QPointF>

#include <utility>
#include <vector>

class BindingData;
class WayEnd;
struct SimulationData;

/// The stop line of one approach of a traffic signal, in world pixels (see worldPoint).
struct SignalLine
{
    size_t light = 0; ///< the index of the approach's light in a frame's lights
    QPointF from, to;
};

/// The geometry of the network layers that never changes during a run, collected once per data
/// set. Positions are kept both as locations and as Web-Mercator world pixels at zoom 0, so that a
/// paint only scales and shifts them.
struct RenderLists
{
    using Line = std::vector<Location>;

    std::vector<Line> railLines;
    std::vector<Line> dividerLines;
    std::vector<Line> edgeLines;
    std::vector<Location> plainCells;
    std::vector<Location> crossroadCells;
    std::vector<Location> stopCells;
    std::vector<std::pair<Location, Location>> cellLinks;
    std::vector<Line> platformLines;
    std::vector<SignalLine> signalLines;

    /// World pixels of the lists above, in the same order.
    struct World
    {
        std::vector<std::vector<QPointF>> railLines, dividerLines, edgeLines, platformLines;
        std::vector<QPointF> plainCells, crossroadCells, stopCells;
        /// Cell links already shortened at both ends, two points per link.
        std::vector<QPointF> cellLinks;
    } world;

    /// Replaces the lists with the geometry of the network in `data` and `bindings` (either may be null).
    void prepare(const SimulationData *data, const BindingData *bindings);
    /// The stop line across the lanes arriving on `approach`, from the right road edge to the
    /// centre line (two-way) or the left edge (one-way), where the lane ends at the node.
    static bool stopLine(const WayEnd *approach, Location &from, Location &to);
    /// Keeps a stop platform light: every (n / 10)-th point and the last one again.
    static Line thinPlatform(const Line &points);
};

/// Web-Mercator world pixel at zoom 0 (256 pixels around the globe) of a location.
QPointF worldPoint(const Location &location);

#endif
