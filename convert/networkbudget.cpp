#include "networkbudget.h"

#include "model/units.h"
#include "osm/osmdata.h"

#include <algorithm>
#include <cmath>
#include <sstream>
#include <unordered_map>
#include <unordered_set>

namespace {

/// Cells assumed for one path through a crossroad: the paths of a junction are a few metres long.
const int64_t CELLS_PER_CROSSROAD_PATH = 60;

/// Lanes and tracks the conversion lays for `way`, counting both directions.
int64_t lanesOf(const Way &way)
{
    const int64_t tracks = way.isTram() ? 1 : 0;
    const int64_t forward = std::max<int64_t>(0, way.getLanesForward());
    const int64_t backward = std::max<int64_t>(0, way.getLanesBackward());
    if (way.isOneway())
        return std::max<int64_t>(1, forward + tracks);
    return forward + backward + 2 * tracks;
}

/// The nodes at which the conversion cuts ways: ends, interior nodes shared by ways, stops.
std::unordered_set<const Node *> cutNodes(const OSMData &data)
{
    std::unordered_set<const Node *> cuts;
    std::unordered_map<const Node *, int> interior;
    for (const Way *way : data.ways()->ways()) {
        const std::vector<Node *> &nodes = way->nodes();
        if (nodes.empty())
            continue;
        cuts.insert(nodes.front());
        cuts.insert(nodes.back());
        for (size_t p = 1; p + 1 < nodes.size(); ++p)
            ++interior[nodes[p]];
    }
    for (const auto &entry : interior)
        if (entry.second > 1)
            cuts.insert(entry.first);
    for (const OSMStops *stops : {data.tramStops(), data.busStops()})
        for (const OSMStop *stop : stops->stops())
            cuts.insert(stop->getNode());
    return cuts;
}

} // namespace

std::string NetworkBudget::problemWith(const OSMData &data) const
{
    std::ostringstream problem;
    const std::unordered_set<const Node *> cuts = cutNodes(data);
    std::unordered_map<const Node *, int64_t> arms;
    std::unordered_map<int64_t, int64_t> cellsOfWay; // pieces of one map way share its id
    int64_t cells = 0;
    for (const Way *way : data.ways()->ways()) {
        const std::vector<Node *> &nodes = way->nodes();
        if (nodes.size() < 2)
            continue;
        const int64_t lanes = lanesOf(*way);
        double metres = 0.0;
        for (size_t p = 0; p + 1 < nodes.size(); ++p) {
            const double length = geo::distance(nodes[p]->getLocation(), nodes[p + 1]->getLocation());
            if (!(length <= maxSegmentMetres)) {
                problem << "way " << way->getId() << " has a segment of " << std::llround(length) << " m from node "
                        << nodes[p]->getId() << " to node " << nodes[p + 1]->getId() << " (at most " << maxSegmentMetres
                        << " m)";
                return problem.str();
            }
            metres += length;
            // The way is cut at its interior cut nodes; each cut gives two way ends.
            if (p > 0 && cuts.count(nodes[p]))
                arms[nodes[p]] += 2;
        }
        ++arms[nodes.front()];
        ++arms[nodes.back()];
        const int64_t wayCells = lanes * (int64_t(std::ceil(metres * units::CELLS_PER_M)) + int64_t(nodes.size()));
        int64_t &total = cellsOfWay[way->getId()];
        total += wayCells;
        if (total > maxWayCells) {
            problem << "way " << way->getId() << " needs about " << total << " cells for " << lanes << " lanes over "
                    << std::llround(metres) << " m (at most " << maxWayCells << ")";
            return problem.str();
        }
        cells += wayCells;
    }
    // Nodes in the order of the map, so that the first node over the limit is named in every run.
    for (const Node *node : data.nodes()->nodes()) {
        auto it = arms.find(node);
        if (it == arms.end())
            continue;
        const int64_t k = it->second;
        if (k > maxNodeArms) {
            problem << "node " << node->getId() << " joins " << k << " way ends (at most " << maxNodeArms << ")";
            return problem.str();
        }
        if (k >= 3)
            cells += k * (k - 1) * CELLS_PER_CROSSROAD_PATH;
    }
    if (cells > maxNetworkCells)
        problem << "the network needs about " << cells << " cells (at most " << maxNetworkCells << ")";
    return problem.str();
}
