#include "renderlists.h"

#include "engine/stepframe.h"
#include "model/units.h"

#include "model/bindingdata.h"
#include "model/cell.h"
#include "model/semaphore.h"
#include "model/simulationdata.h"
#include "osm/way.h"
#include "tiles/tilekey.h"
#include "tiles/tilemath.h"

namespace {

/// How far a cell link is shortened at each end, in metres, so the arrows between cells show.
constexpr double LINK_SHORTENING = 0.2;
/// Half a cell, in metres: a platform line reaches the outer edges of its end cells.
constexpr double HALF_CELL = units::CELL_LENGTH_M / 2.0;

std::vector<QPointF> toWorld(const RenderLists::Line &line)
{
    std::vector<QPointF> out;
    out.reserve(line.size());
    for (const Location &l : line)
        out.push_back(worldPoint(l));
    return out;
}

void addWorld(const std::vector<RenderLists::Line> &lines, std::vector<std::vector<QPointF>> &out)
{
    for (const RenderLists::Line &line : lines)
        out.push_back(toWorld(line));
}

void addWorld(const std::vector<Location> &points, std::vector<QPointF> &out)
{
    out = toWorld(points);
}

} // namespace

QPointF worldPoint(const Location &location)
{
    return tilemath::coordinateToTile(location.lat, location.lon, 0) * TILE_SIZE;
}

bool RenderLists::stopLine(const WayEnd *approach, Location &from, Location &to)
{
    if (!approach || !approach->way)
        return false;
    const WayBinding &way = *approach->way;
    const bool atStart = approach->isStart;
    const Line &near = approach->arrivingEdge();
    const bool oneway = way.way && way.way->isOneway();
    const Line &far = oneway ? (atStart ? way.rightEdge : way.leftEdge) : way.centreLine;
    if (near.size() < 2 || far.size() < 2)
        return false;
    const Location a0 = near[near.size() - 2], a1 = near.back();
    Location q0, q1;
    if (oneway || atStart) {
        q0 = far[0];
        q1 = far[1];
    } else {
        q0 = far.back();
        q1 = far[far.size() - 2];
    }
    // Where a line square to each edge at its end meets the other line, so the stop line is
    // square to the road even where the two ends are staggered.
    const Location r1 = geo::perpendicularAt(a0, a1).second;
    Location l1 = a1;
    geo::extendLocation(r1, l1, geo::AUX_LENGTH);
    const Location r2 = geo::perpendicularAt(q1, q0).second;
    Location l2 = q0;
    geo::extendLocation(r2, l2, geo::AUX_LENGTH);
    bool found = false;
    Location x = geo::segmentsIntersection(r1, l1, q1, q0, found);
    if (found) {
        from = a1;
        to = x;
        return true;
    }
    x = geo::segmentsIntersection(r2, l2, a0, a1, found);
    if (found) {
        from = q0;
        to = x;
        return true;
    }
    from = a1;
    to = q0;
    return true;
}

RenderLists::Line RenderLists::thinPlatform(const Line &points)
{
    const size_t n = points.size();
    const size_t k = n / 10;
    if (k == 0)
        return points;
    Line out;
    for (size_t i = 0; i < n; i += k)
        out.push_back(points[i]);
    out.push_back(points.back());
    return out;
}

void RenderLists::prepare(const SimulationData *data, const BindingData *bindings)
{
    // A new data set replaces the old one, whose signals and way ends may be gone.
    *this = RenderLists();
    if (bindings) {
        for (const WayBinding *way : bindings->wayBindings()) {
            if (way->way && !way->way->isOneway())
                dividerLines.push_back(way->centreLine);
            edgeLines.push_back(way->leftEdge);
            edgeLines.push_back(way->rightEdge);
        }
    }
    if (data) {
        for (const Cell *cell : data->allCells()) {
            if (cell->inCrossroad)
                crossroadCells.push_back(cell->location());
            else if (cell->stop())
                stopCells.push_back(cell->location());
            else
                plainCells.push_back(cell->location());
            for (const Cell *linked : {cell->next(), cell->previous(), cell->side(), cell->sideOf()})
                if (linked)
                    cellLinks.emplace_back(cell->location(), linked->location());
        }
    }
    if (bindings) {
        for (const WayBinding *way : bindings->wayBindings())
            for (const DirectionBinding *direction : {&way->forward, &way->backward})
                if (direction->tramLane)
                    railLines.push_back(direction->tramLane->polyline);
        for (const NodeBinding *node : bindings->nodeBindings())
            for (const auto &entry : node->crossroadPaths)
                for (const CrossroadPath &path : entry.second)
                    if (path.isTram)
                        railLines.push_back(path.polyline);
        for (const StopBinding *stop : bindings->stopBindings()) {
            for (const Cell *listed : stop->cells) {
                if (!listed)
                    continue;
                const Cell *first = listed->platformStart();
                const Cell *last = listed->platformEnd();
                Line line;
                line.push_back(first->next()
                                   ? geo::moveLocation(first->location(),
                                                       geo::bearing(first->next()->location(), first->location()),
                                                       HALF_CELL)
                                   : first->location());
                for (const Cell *c = first; c && c != last; c = c->next()) {
                    line.push_back(c->location());
                    if (c->next() == first)
                        break; // a platform that loops
                }
                line.push_back(last->previous()
                                   ? geo::moveLocation(last->location(),
                                                       geo::bearing(last->previous()->location(), last->location()),
                                                       HALF_CELL)
                                   : last->location());
                platformLines.push_back(thinPlatform(line));
            }
        }
    }

    if (data) {
        size_t light = 0;
        forEachSignalLight(data->semaphores, [&](const Semaphore &, const WayEnd *approach, int32_t) {
            Location from, to;
            if (stopLine(approach, from, to))
                signalLines.push_back(SignalLine{light, worldPoint(from), worldPoint(to)});
            ++light;
        });
    }

    addWorld(railLines, world.railLines);
    addWorld(dividerLines, world.dividerLines);
    addWorld(edgeLines, world.edgeLines);
    addWorld(platformLines, world.platformLines);
    addWorld(plainCells, world.plainCells);
    addWorld(crossroadCells, world.crossroadCells);
    addWorld(stopCells, world.stopCells);
    for (const auto &link : cellLinks) {
        Location a = link.first, b = link.second;
        geo::shortenSegment(a, b, LINK_SHORTENING);
        world.cellLinks.push_back(worldPoint(a));
        world.cellLinks.push_back(worldPoint(b));
    }
}
