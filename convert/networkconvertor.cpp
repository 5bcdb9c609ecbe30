#include "networkconvertor.h"

#include "crossroadbuilder.h"
#include "lanegeometry.h"
#include "stopbuilder.h"

#include "model/bindingdata.h"
#include "model/cell.h"
#include "model/simulationdata.h"
#include "osm/osmdata.h"
#include "report/diagnostics.h"

#include <algorithm>
#include <unordered_map>

NetworkConvertor::NetworkConvertor(OSMData *osmData, SimulationData *simulationData, BindingData *bindingData,
                                   Diagnostics &diagnostics)
    : osmData(osmData), ways(osmData ? osmData->ways() : nullptr), tramStops(osmData ? osmData->tramStops() : nullptr),
      busStops(osmData ? osmData->busStops() : nullptr), simulationData(simulationData), bindingData(bindingData),
      diagnostics(diagnostics)
{}

void NetworkConvertor::say(Severity severity, std::string text, int64_t elementId)
{
    Diagnostic diagnostic;
    diagnostic.severity = severity;
    diagnostic.component = COMPONENT;
    diagnostic.elementId = elementId;
    diagnostic.text = std::move(text);
    diagnostics.add(std::move(diagnostic));
}

bool NetworkConvertor::convert()
{
    if (osmData) {
        refusalText = budget.problemWith(*osmData);
        if (!refusalText.empty()) {
            say(Severity::Error, "Map refused: " + refusalText);
            return false;
        }
    }
    runStages(1, 13);
    // The network is final: derive once what every decision would otherwise recompute.
    if (simulationData) {
        simulationData->networkComplete();
        precomputeCells(simulationData->allCells());
    }
    say(Severity::Progress, "Covertion done!");
    say(Severity::Progress, "    Cells ........ " + std::to_string(simulationData ? simulationData->cellCount() : 0));
    say(Severity::Progress,
        "    Crossroads ... " + std::to_string(simulationData ? simulationData->crossroads.size() : 0));
    say(Severity::Progress,
        "    Generators ... " + std::to_string(simulationData ? simulationData->generators.size() : 0));
    return true;
}

void NetworkConvertor::runStages(int first, int last)
{
    struct Stage
    {
        const char *text;
        void (NetworkConvertor::*run)();
    };
    static const Stage stages[] = {
        {"Splitting ways...", &NetworkConvertor::splitWays},
        {"Cyclic ways test...", &NetworkConvertor::cyclicWaysTest},
        {"Creating ways...", &NetworkConvertor::createWays},
        {"Aligning ways...", &NetworkConvertor::alignWays},
        {"Aligning crossroad edges...", &NetworkConvertor::alignCrossroadEdges},
        {"Creating crossroad ways...", &NetworkConvertor::createCrossroadWays},
        {"Creating crossroad cells...", &NetworkConvertor::createCrossroadCells},
        {"Creating way cells...", &NetworkConvertor::createWayCells},
        {"Connecting cells ...", &NetworkConvertor::connectCells},
        {"Creating stops...", &NetworkConvertor::createStops},
        {"Creating generators...", &NetworkConvertor::createGenerators},
        {"Creating right-of-way rules...", &NetworkConvertor::createRightOfWayRules},
        {"Creating semaphores...", &NetworkConvertor::createSemaphores},
    };
    const int count = int(sizeof stages / sizeof stages[0]);
    for (int i = std::max(first, 1); i <= std::min(last, count); ++i) {
        const Stage &stage = stages[i - 1];
        say(Severity::Progress, stage.text);
        if (osmData && simulationData && bindingData)
            (this->*stage.run)();
        if (progress)
            progress(i, count);
    }
}

int NetworkConvertor::splitWaysAt(const std::unordered_set<const Node *> &splitNodes)
{
    if (splitNodes.empty())
        return 0;
    // A way is cut at each of its interior nodes in the set. The pieces are appended round by
    // round, the second piece of every cut way first, then the third, and so on: the order a pass
    // that cuts one piece off per visit of the growing list would give, without copying the rest
    // of a long way at every cut.
    struct Cut
    {
        Way *way;
        std::vector<Node *> nodes; // the way's nodes before cutting
        std::vector<size_t> at;    // interior positions to cut at, rising
    };
    std::vector<Cut> cuts;
    for (Way *way : ways->ways()) {
        const std::vector<Node *> &nodes = way->nodes();
        std::vector<size_t> at;
        for (size_t p = 1; p + 1 < nodes.size(); ++p)
            if (splitNodes.count(nodes[p]))
                at.push_back(p);
        if (!at.empty())
            cuts.push_back(Cut{way, nodes, std::move(at)});
    }
    int splits = 0;
    for (Cut &cut : cuts)
        cut.way->nodes().resize(cut.at.front() + 1);
    std::vector<Cut *> active;
    for (Cut &cut : cuts)
        active.push_back(&cut);
    for (size_t round = 0; !active.empty(); ++round) {
        size_t kept = 0;
        for (Cut *cut : active) {
            const size_t from = cut->at[round];
            const size_t to = round + 1 < cut->at.size() ? cut->at[round + 1] : cut->nodes.size() - 1;
            Way *piece = new Way(*cut->way); // same id, flags, lane counts and road class
            piece->nodes().assign(cut->nodes.begin() + long(from), cut->nodes.begin() + long(to) + 1);
            ways->add(piece);
            ++splits;
            if (round + 1 < cut->at.size())
                active[kept++] = cut;
        }
        active.resize(kept);
    }
    return splits;
}

void NetworkConvertor::splitWays()
{
    std::unordered_set<const Node *> splitNodes;
    std::unordered_map<const Node *, int> interiorCount;
    for (const Way *way : ways->ways()) {
        const std::vector<Node *> &nodes = way->nodes();
        if (nodes.empty())
            continue;
        splitNodes.insert(nodes.front());
        splitNodes.insert(nodes.back());
        for (size_t p = 1; p + 1 < nodes.size(); ++p)
            ++interiorCount[nodes[p]];
    }
    for (const auto &entry : interiorCount) {
        if (entry.second > 1)
            splitNodes.insert(entry.first);
    }
    const int waySplits = splitWaysAt(splitNodes);

    std::unordered_set<const Node *> stopNodes;
    for (const OSMStop *stop : tramStops->stops())
        stopNodes.insert(stop->getNode());
    const int tramStopSplits = splitWaysAt(stopNodes);

    stopNodes.clear();
    for (const OSMStop *stop : busStops->stops())
        stopNodes.insert(stop->getNode());
    const int busStopSplits = splitWaysAt(stopNodes);

    say(Severity::Progress, "    Split count (ways) = " + std::to_string(waySplits));
    say(Severity::Progress, "    Split count (tram stops) = " + std::to_string(tramStopSplits));
    say(Severity::Progress, "    Split count (bus stops) = " + std::to_string(busStopSplits));
}

void NetworkConvertor::cyclicWaysTest()
{
    for (const Way *way : ways->ways()) {
        if (way->nodes().size() >= 2 && way->firstNode() == way->lastNode())
            say(Severity::Warning, "    Attention CYCLIC WAY! way id ==  " + std::to_string(way->getId()),
                way->getId());
    }
}

void NetworkConvertor::createWays()
{
    for (Way *way : ways->ways()) {
        // Without two nodes and a usable location a way has neither ends nor a direction.
        if (way->nodes().size() < 2 || lanegeometry::wayPoints(*way).empty()) {
            say(Severity::Warning, "    Way without geometry skipped: way id == " + std::to_string(way->getId()),
                way->getId());
            continue;
        }
        WayBinding *binding = bindingData->addWayBinding(way);
        lanegeometry::layWay(*bindingData, binding);
        bindingData->addWayEnd(binding, true);
        bindingData->addWayEnd(binding, false);
    }
    bindingData->orderArms();
    say(Severity::Progress, "    NodeBinding count = " + std::to_string(bindingData->nodeBindings().size()));
}

void NetworkConvertor::alignWays()
{
    auto join = [](LaneBinding *arriving, LaneBinding *leaving) {
        if (arriving && leaving)
            lanegeometry::joinPolylines(arriving->polyline, leaving->polyline);
    };
    for (NodeBinding *node : bindingData->nodeBindings()) {
        if (node->wayEnds.size() != 2)
            continue;
        WayEnd *e1 = node->wayEnds[0];
        WayEnd *e2 = node->wayEnds[1];
        join(e1->incomingTramTrack(), e2->outgoingTramTrack());
        join(e2->incomingTramTrack(), e1->outgoingTramTrack());
        join(e1->firstIncomingLane(), e2->firstOutgoingLane());
        join(e2->firstIncomingLane(), e1->firstOutgoingLane());
        lanegeometry::joinEdges(e1->arrivingEdge(), e2->departingEdge());
        lanegeometry::joinEdges(e2->arrivingEdge(), e1->departingEdge());
    }
}

void NetworkConvertor::alignCrossroadEdges()
{
    std::vector<std::pair<WayEnd *, WayEnd *>> failed;
    for (NodeBinding *node : bindingData->nodeBindings()) {
        if (node->wayEnds.size() < 3)
            continue;
        failed.clear();
        // Corners: the edge on the right of arriving traffic meets the edge on the right of
        // traffic leaving on the next arm to the right.
        for (WayEnd *end : node->wayEnds) {
            WayEnd *other = BindingData::next(node, end);
            Polyline &arriving = end->arrivingEdge();
            if (other->way == end->way) {
                // A loop whose two ends are neighbours: that corner lies on one edge.
                lanegeometry::trimAgainstSelf(arriving);
                continue;
            }
            Polyline copy(arriving.rbegin(), arriving.rend());
            if (lanegeometry::trimCorner(copy, other->departingEdge()))
                arriving.assign(copy.rbegin(), copy.rend());
            else
                failed.emplace_back(end, other);
        }
        for (WayEnd *end : node->wayEnds)
            cutLanesBack(end);
        // Edges that never meet are cut square at the other's end and closed with their midpoint.
        for (const auto &pair : failed) {
            Polyline &arriving = pair.first->arrivingEdge();
            Polyline &leaving = pair.second->departingEdge();
            if (arriving.size() < 2 || leaving.size() < 2)
                continue;
            const Segment acrossLeaving = geo::perpendicularAt(leaving[1], leaving[0]);
            Polyline copy(arriving.rbegin(), arriving.rend());
            lanegeometry::cutAtLine(copy, acrossLeaving.first, acrossLeaving.second);
            const size_t n = arriving.size();
            const Segment acrossArriving = geo::perpendicularAt(arriving[n - 2], arriving[n - 1]);
            lanegeometry::cutAtLine(leaving, acrossArriving.first, acrossArriving.second);
            const Location middle = geo::intermediateLocation(leaving[0], copy[0], 0.5);
            leaving.insert(leaving.begin(), {middle, leaving[0]});
            copy.insert(copy.begin(), {middle, copy[0]});
            arriving.assign(copy.rbegin(), copy.rend());
        }
    }
}

void NetworkConvertor::cutLanesBack(WayEnd *end)
{
    const Polyline &arriving = end->arrivingEdge();
    const Polyline &leaving = end->departingEdge();
    if (arriving.size() < 2 || leaving.size() < 2)
        return;
    const size_t n = arriving.size();
    const Location a = arriving[n - 1];
    const Location a2 =
        geo::moveLocation(a, geo::addToBearing(geo::bearing(arriving[n - 2], a), -90.0), lanegeometry::CUT_LINE_LENGTH);
    const Location b = leaving[0];
    const Location b2 =
        geo::moveLocation(b, geo::addToBearing(geo::bearing(leaving[1], b), 90.0), lanegeometry::CUT_LINE_LENGTH);
    auto cutIncoming = [&](LaneBinding *lane) {
        if (!lane)
            return;
        lanegeometry::cutAtLineFromEnd(lane->polyline, a, a2);
        lanegeometry::cutAtLineFromEnd(lane->polyline, b, b2);
    };
    auto cutOutgoing = [&](LaneBinding *lane) {
        if (!lane)
            return;
        lanegeometry::cutAtLine(lane->polyline, a, a2);
        lanegeometry::cutAtLine(lane->polyline, b, b2);
    };
    cutIncoming(end->incomingTramTrack());
    cutOutgoing(end->outgoingTramTrack());
    for (LaneBinding *lane : end->incoming().lanes)
        cutIncoming(lane);
    for (LaneBinding *lane : end->outgoing().lanes)
        cutOutgoing(lane);
}

void NetworkConvertor::createCrossroadWays()
{
    CrossroadBuilder(bindingData, simulationData).createCrossroadWays();
}

void NetworkConvertor::createCrossroadCells()
{
    CrossroadBuilder(bindingData, simulationData).createCrossroadCells();
}

void NetworkConvertor::createWayCells()
{
    auto lay = [this](LaneBinding *lane) {
        if (!lane)
            return;
        const lanegeometry::CellRun run = lanegeometry::layCells(*simulationData, lane->polyline, lane);
        lane->firstCell = run.first;
        lane->lastCell = run.last;
    };
    for (WayBinding *way : bindingData->wayBindings()) {
        for (LaneBinding *lane : way->forward.lanes)
            lay(lane);
        for (LaneBinding *lane : way->backward.lanes)
            lay(lane);
        lay(way->forward.tramLane);
        lay(way->backward.tramLane);
    }
}
void NetworkConvertor::connectCells()
{
    CrossroadBuilder(bindingData, simulationData).connectCells();
}

void NetworkConvertor::createStops()
{
    StopBuilder(osmData, bindingData, simulationData, diagnostics).createStops();
}

void NetworkConvertor::createGenerators()
{
    StopBuilder(osmData, bindingData, simulationData, diagnostics).createGenerators();
}

void NetworkConvertor::createRightOfWayRules()
{
    CrossroadBuilder(bindingData, simulationData).createRightOfWayRules();
}

void NetworkConvertor::createSemaphores()
{
    CrossroadBuilder(bindingData, simulationData).createSemaphores();
}
