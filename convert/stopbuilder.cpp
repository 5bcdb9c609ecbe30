#include "stopbuilder.h"

#include "model/bindingdata.h"
#include "model/cell.h"
#include "model/generator.h"
#include "model/simulationdata.h"
#include "osm/node.h"
#include "osm/osmdata.h"
#include "report/diagnostics.h"

#include <sstream>

namespace {

/// Bay cells lie this far to the right of their lane cell, in metres.
constexpr double BAY_OFFSET = 3.0;
/// A tram stop at a crossroad is placed only on a track with this many cells before the node.
constexpr int32_t MIN_TRAM_APPROACH = 30;

/// The longest run of consecutive cells of `window` that lie beside no bay yet (the first of equal
/// runs). Two stops close together on one lane would otherwise share lane cells: the later bay
/// would take over the middle of the earlier one, and a bus could wait for good beside a bay that
/// no longer runs alongside its lane.
std::vector<Cell *> longestRunWithoutBay(const std::vector<Cell *> &window)
{
    const auto taken = [](const Cell *c) { return c->side() != nullptr; };
    size_t bestStart = 0, bestLength = 0;
    for (size_t i = 0; i < window.size();) {
        if (taken(window[i])) {
            ++i;
            continue;
        }
        size_t j = i;
        while (j < window.size() && !taken(window[j]))
            ++j;
        if (j - i > bestLength) {
            bestStart = i;
            bestLength = j - i;
        }
        i = j;
    }
    return std::vector<Cell *>(window.begin() + std::ptrdiff_t(bestStart),
                               window.begin() + std::ptrdiff_t(bestStart + bestLength));
}

} // namespace

StopBuilder::StopBuilder(OSMData *osmData, BindingData *bindingData, SimulationData *simulationData,
                         Diagnostics &diagnostics)
    : osm(osmData), bindings(bindingData), data(simulationData), diagnostics(diagnostics)
{}

std::vector<Cell *> StopBuilder::stopWindow(Cell *cell, int32_t size)
{
    std::vector<Cell *> window;
    if (!cell || size < 1)
        return window;
    int32_t a = cell->cellsToEnd() - 10;
    int32_t b = cell->cellsFromStart() - 10;
    int32_t total = a + b;
    if (total < 0)
        total = a = b = 0;
    int32_t back, fwd;
    if (size - 1 <= total) {
        back = (size - 1) / 2;
        fwd = (size - 1) - back;
    } else {
        back = total / 2;
        fwd = total - back;
    }
    if (a < fwd) {
        back += fwd - a;
        fwd = a;
    }
    if (b < back) {
        fwd += back - b;
        back = b;
    }
    Cell *c = cell->cellBehind(back);
    for (int32_t i = 0; c && i < fwd + back + 1; ++i, c = c->next()) {
        window.push_back(c);
        if (c->next() == window.front())
            break;
    }
    return window;
}

void StopBuilder::createStops()
{
    for (NodeBinding *node : bindings->nodeBindings()) {
        // Copies: placing may remove a stop from its list.
        const std::vector<OSMStop *> tramStops = osm->tramStops()->stopsOnNode(node->node);
        for (OSMStop *stop : tramStops) {
            node->stop = stop;
            placeTramStop(node, stop);
        }
        const std::vector<OSMStop *> busStops = osm->busStops()->stopsOnNode(node->node);
        for (OSMStop *stop : busStops) {
            node->stop = stop;
            placeBusStop(node, stop);
        }
    }
    // A bus stop that the bus stop conversion could not bring onto any way has no node binding, so
    // the walk above never meets it; it is reported and dropped like any stop that gets no bay,
    // so that line creation never meets it.
    std::vector<OSMStop *> unreached;
    for (OSMStop *stop : osm->busStops()->stops())
        if (!bindings->findNodeBinding(stop->getNode()))
            unreached.push_back(stop);
    for (OSMStop *stop : unreached)
        dropStop(nullptr, stop, "Bus stop cells could not be created | Stop location: ");
}

void StopBuilder::placeTramStop(NodeBinding *node, OSMStop *stop)
{
    int incoming = 0, outgoing = 0;
    for (const WayEnd *end : node->wayEnds) {
        incoming += end->incomingTramTrack() ? 1 : 0;
        outgoing += end->outgoingTramTrack() ? 1 : 0;
    }
    if (incoming == 0 || outgoing == 0 || incoming >= 3 || outgoing >= 3)
        return;
    stop->setPlacement(StopPlacement::BothDirections);

    const WayEnd *chosen = nullptr;
    if (node->wayEnds.size() < 3) {
        chosen = node->wayEnds.front();
    } else {
        int32_t best = -1;
        for (const WayEnd *end : node->wayEnds) {
            const LaneBinding *track = end->incomingTramTrack();
            if (!track || !track->lastCell)
                continue;
            const int32_t behind = track->lastCell->cellsFromStart();
            if (behind > best) {
                best = behind;
                chosen = end;
            }
        }
        if (best < MIN_TRAM_APPROACH)
            return;
    }

    std::vector<Cell *> ends;
    auto mark = [&](Cell *centre) {
        const std::vector<Cell *> window = stopWindow(centre, TRAM_PLATFORM_CELLS);
        for (Cell *c : window)
            c->setStop(stop);
        if (!window.empty())
            ends.push_back(window.back());
    };
    if (const LaneBinding *track = chosen->incomingTramTrack())
        mark(track->lastCell);
    if (const LaneBinding *track = chosen->outgoingTramTrack())
        mark(track->firstCell);
    if (ends.empty()) {
        dropStop(node, stop, "Tram stop cells could not be created | Stop location: ");
        return;
    }
    bindings->addStopBinding(stop)->cells = ends;
}

void StopBuilder::placeBusStop(NodeBinding *node, OSMStop *stop)
{
    const size_t count = node->wayEnds.size();
    if (count < 1 || count > 2)
        return;
    bool hasLane = false;
    for (const WayEnd *end : node->wayEnds)
        hasLane |= end->firstIncomingLane() || end->firstOutgoingLane();
    if (!hasLane)
        return;

    const WayEnd *e = node->wayEnds.front();
    const WayBinding *way = e->way;
    std::vector<Cell *> centres;
    // The outermost lane of a direction: its last cell where it arrives, its first where it leaves.
    auto outermost = [&](const DirectionBinding &direction, bool arrivesHere) {
        if (direction.lanes.empty())
            return;
        const LaneBinding *lane = direction.lanes.back();
        if (Cell *c = arrivesHere ? lane->lastCell : lane->firstCell)
            centres.push_back(c);
    };
    if (stop->servesForward())
        outermost(way->forward, !e->isStart);
    if (stop->servesBackward())
        outermost(way->backward, e->isStart);

    std::vector<Cell *> ends;
    for (Cell *centre : centres)
        if (Cell *last = buildBay(longestRunWithoutBay(stopWindow(centre, BUS_BAY_CELLS)), stop))
            ends.push_back(last);
    if (ends.empty()) {
        dropStop(node, stop, "Bus stop cells could not be created | Stop location: ");
        return;
    }
    bindings->addStopBinding(stop)->cells = ends;
}

Cell *StopBuilder::buildBay(const std::vector<Cell *> &window, OSMStop *stop)
{
    Cell *previous = nullptr;
    for (Cell *laneCell : window) {
        Cell *bay = data->createCell();
        const Cell *from = laneCell->previous() ? laneCell->previous() : laneCell;
        const Cell *to = laneCell->next() ? laneCell->next() : laneCell;
        if (from != to)
            bay->setLocation(geo::moveLocation(laneCell->location(),
                                               geo::addToBearing(geo::bearing(from->location(), to->location()), 90.0),
                                               BAY_OFFSET));
        bay->setStop(stop);
        linkSide(laneCell, bay);
        if (previous) {
            previous->setNext(bay);
            bay->setPrevious(previous);
        }
        previous = bay;
    }
    return previous;
}

void StopBuilder::dropStop(NodeBinding *node, OSMStop *stop, const char *what)
{
    std::ostringstream text;
    text << what << stop->getNode()->getLocation() << " | Name: " << stop->getName()
         << " | Removing stop from osmData->stops";
    Diagnostic dropped;
    dropped.component = "NetworkConvertor";
    dropped.elementId = stop->getNode()->getId(); // the map node, which the user can look up
    dropped.text = text.str();
    diagnostics.add(std::move(dropped));
    if (node)
        node->stop = nullptr;
    (stop->getKind() == TramStop ? osm->tramStops() : osm->busStops())->remove(stop);
}

void StopBuilder::createGenerators()
{
    for (NodeBinding *node : bindings->nodeBindings()) {
        if (node->wayEnds.size() != 1)
            continue;
        if (LaneBinding *lane = node->wayEnds.front()->firstOutgoingLane())
            if (lane->firstCell)
                data->generators.push_back(new Generator(data->newGeneratorId(), lane->firstCell, &data->cars, 100));
    }
}
