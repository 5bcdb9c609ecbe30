#ifndef KOLVEX_TESTS_CONVERT_TESTNETWORK_H
#define KOLVEX_TESTS_CONVERT_TESTNETWORK_H

#include "convert/networkconvertor.h"
#include "convert/osmbusstopconvertor.h"
#include "geo/geodesy.h"
#include "model/bindingdata.h"
#include "model/cell.h"
#include "model/crossroad.h"
#include "model/simulationdata.h"
#include "osm/osmdata.h"
#include "report/diagnostics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

/// Helpers for building small maps in code, on a local metric plane near Helsinki, and for checking
/// the networks converted from them.
namespace testmaps {

constexpr double ORIGIN_LAT = 60.17;
constexpr double ORIGIN_LON = 24.94;

/// The location x metres east and y metres north of the origin.
inline Location at(double x, double y)
{
    const double lat = ORIGIN_LAT + geo::radToDeg(y / geo::EARTH_RADIUS);
    const double lon = ORIGIN_LON + geo::radToDeg(x / (geo::EARTH_RADIUS * std::cos(geo::degToRad(ORIGIN_LAT))));
    return Location(lat, lon);
}

/// Metres east of the origin.
inline double xOf(const Location &l)
{
    return geo::degToRad(l.lon - ORIGIN_LON) * geo::EARTH_RADIUS * std::cos(geo::degToRad(ORIGIN_LAT));
}

/// Metres north of the origin.
inline double yOf(const Location &l)
{
    return geo::degToRad(l.lat - ORIGIN_LAT) * geo::EARTH_RADIUS;
}

/// Whether `l` lies within `tolerance` metres of the point (x, y) of the plane, on each axis.
inline ::testing::AssertionResult isAt(const Location &l, double x, double y, double tolerance = 0.01)
{
    if (std::fabs(xOf(l) - x) <= tolerance && std::fabs(yOf(l) - y) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "(" << xOf(l) << ", " << yOf(l) << ") is not (" << x << ", " << y << ")";
}

struct TestWay
{
    int64_t id;
    std::vector<int64_t> nodes;
    int lanesForward = 1;
    int lanesBackward = 1;
    bool oneway = false;
    bool tram = false;
    bool highway = true;
};

inline void addWay(OSMData &data, const TestWay &w)
{
    data.addWay(w.id, w.nodes, w.tram, w.highway, w.oneway, false, Road, w.lanesForward, w.lanesBackward);
}

inline std::vector<int64_t> nodeIds(const Way *way)
{
    std::vector<int64_t> ids;
    for (const Node *n : way->nodes())
        ids.push_back(n->getId());
    return ids;
}

/// The names of `stops`, in order.
inline std::vector<std::string> stopNames(const std::vector<OSMStop *> &stops)
{
    std::vector<std::string> names;
    for (const OSMStop *stop : stops)
        names.push_back(stop->getName());
    return names;
}

inline int countOccurrences(const std::string &s, const std::string &needle)
{
    int n = 0;
    for (size_t pos = s.find(needle); pos != std::string::npos; pos = s.find(needle, pos + 1))
        ++n;
    return n;
}

/// Whether the links of `c` are sound: mutual along lanes, and at a crossroad one-way as built
/// (the entry lane's last cell has no next link but marks the crossroad, and the exit lane's first
/// cell has no back link to the paths that lead into it).
inline ::testing::AssertionResult linksAreSound(const Cell *c)
{
    if (c->next() && c->next()->previous() != c) {
        const bool pathIntoExit = c->inCrossroad && !c->next()->inCrossroad && !c->next()->previous();
        if (!pathIntoExit)
            return ::testing::AssertionFailure() << "cell " << c->id << ": next does not lead back";
    }
    if (c->previous() && c->previous()->next() != c) {
        const bool entryIntoPath = c->inCrossroad && !c->previous()->next() && c->previous()->crossroad();
        if (!entryIntoPath)
            return ::testing::AssertionFailure() << "cell " << c->id << ": previous does not lead back";
    }
    // A bay runs alongside its lane cell for cell: no lane cell lies beside two bays.
    if ((c->side() && c->side()->sideOf() != c) || (c->sideOf() && c->sideOf()->side() != c))
        return ::testing::AssertionFailure() << "cell " << c->id << ": side does not lead back";
    return ::testing::AssertionSuccess();
}

/// A small map built in code and the network converted from it, with lookups by map id.
struct TestNetwork
{
    OSMData osm;
    SimulationData sim;
    BindingData bindings;
    Diagnostics diagnostics; ///< what the stages run here recorded

    Node *node(int64_t id, double x, double y, bool trafficSignals = false)
    {
        return osm.addNode(id, at(x, y), trafficSignals);
    }
    void way(const TestWay &w) { addWay(osm, w); }
    /// Node 1 at the origin and nodes 2, 3, 4, 5 50 m west, south, east and north of it.
    void cross(bool signalled = false)
    {
        node(1, 0, 0, signalled);
        node(2, -50, 0);
        node(3, 0, -50);
        node(4, 50, 0);
        node(5, 0, 50);
    }
    /// A road way with the link flag (`isLink`) set as asked.
    void road(int64_t id, const std::vector<int64_t> &nodes, bool oneway, bool link)
    {
        osm.addWay(id, nodes, false, true, oneway, link, Road, 1, oneway ? 0 : 1);
    }

    /// Runs the bus stop conversion, as start-up does before the network conversion.
    void placeBusStops() { OSMBusStopConvertor::convert(&osm, diagnostics); }

    /// Runs the whole conversion.
    void run() { NetworkConvertor(&osm, &sim, &bindings, diagnostics).convert(); }

    Node *nodeById(int64_t id) const { return osm.nodes()->findById(id); }
    NodeBinding *nodeBinding(int64_t nodeId) const { return bindings.findNodeBinding(nodeById(nodeId)); }

    /// The end of (any piece of) way `wayId` at node `nodeId`, null if none.
    WayEnd *end(int64_t wayId, int64_t nodeId) const
    {
        if (const NodeBinding *n = nodeBinding(nodeId))
            for (WayEnd *e : n->wayEnds)
                if (e->way->way->getId() == wayId)
                    return e;
        return nullptr;
    }
};

inline bool finite(const Location &l)
{
    return std::isfinite(l.lat) && std::isfinite(l.lon);
}

/// The checks every converted network must pass, however odd its map: finite even polylines,
/// lanes whose cells walk from first to last, no cell at (0, 0), sound links.
inline void expectSoundNetwork(const BindingData &bindings, const SimulationData &sim)
{
    std::vector<const Polyline *> lines;
    for (const WayBinding *w : bindings.wayBindings())
        lines.insert(lines.end(), {&w->centreLine, &w->rightEdge, &w->leftEdge});
    for (const LaneBinding *lane : bindings.laneBindings()) {
        SCOPED_TRACE("way " + std::to_string(lane->wayId()));
        lines.push_back(&lane->polyline);
        EXPECT_GE(lane->polyline.size(), 2u);
        ASSERT_TRUE(lane->firstCell && lane->lastCell);
        EXPECT_EQ(lane->firstCell->wayLink(), lane);
        const Cell *c = lane->firstCell;
        for (size_t i = 0; c && c != lane->lastCell && i < sim.cellCount(); ++i)
            c = c->next();
        EXPECT_EQ(c, lane->lastCell);
    }
    for (const Polyline *line : lines) {
        EXPECT_EQ(line->size() % 2, 0u);
        for (const Location &l : *line)
            EXPECT_TRUE(finite(l));
    }
    for (const Cell *c : sim.allCells()) {
        ASSERT_TRUE(finite(c->location())) << "cell " << c->id;
        ASSERT_FALSE(c->location().lat == 0.0 && c->location().lon == 0.0) << "cell " << c->id;
        ASSERT_TRUE(linksAreSound(c));
    }
}

} // namespace testmaps

#endif
