#include "convert/osmbusstopconvertor.h"

#include "geo/geodesy.h"
#include "model/random.h"
#include "osm/osmdata.h"
#include "osm/osmparser.h"

#include "testmaps.h"

#include <gtest/gtest.h>

#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <unordered_map>

namespace {

using testmaps::at;
const Location ORIGIN = at(0, 0);

/// Builds small maps with consecutive node and way ids.
class MapBuilder
{
public:
    Node *node(const Location &location) { return data.addNode(nextNodeId++, location); }
    Way *way(const std::vector<Node *> &nodes, bool tram = false)
    {
        std::vector<int64_t> refs;
        for (Node *n : nodes)
            refs.push_back(n->getId());
        return wayOfRefs(refs, tram);
    }
    Way *wayOfRefs(const std::vector<int64_t> &refs, bool tram = false)
    {
        const int64_t id = nextWayId++;
        data.addWay(id, refs, tram, !tram, false, false, Residential, 1, 1);
        return data.ways()->findById(id);
    }
    OSMStop *busStop(Node *n, const std::string &name = "Stop")
    {
        data.addBusStop(name, n);
        return data.busStops()->findByNameAndNode(name, n);
    }
    void convert()
    {
        StderrCapture quiet;
        OSMBusStopConvertor::convert(&data);
    }

    OSMData data;
    int64_t nextNodeId = 1;
    int64_t nextWayId = 100;
};

/// The plain walk, without any index: every segment of every way for every stop.
/// It shares the projection and makes the same corrections as the convertor (a node enters a way
/// only once, and is inserted right after its segment's start), so only the index differs.
void plainConvert(OSMData *data, int *ties = nullptr)
{
    const double R = OSMBusStopConvertor::SEARCH_RADIUS;
    std::unordered_map<const Node *, int32_t> placed;
    for (Way *way : data->ways()->ways())
        for (Node *node : way->nodes())
            if (OSMStop *stop = data->busStops()->findByNode(node)) {
                stop->setPlacement(3);
                placed[node] = 3;
            }
    for (OSMStop *stop : data->busStops()->stops()) {
        if (stop->getPlacement() != 0)
            continue;
        Node *node = stop->getNode();
        if (placed.count(node)) {
            stop->setPlacement(placed[node]);
            continue;
        }
        const Location s = node->getLocation();
        const Location nw(geo::moveLocation(s, 0, R).lat, geo::moveLocation(s, 270, R).lon);
        const Location se(geo::moveLocation(s, 180, R).lat, geo::moveLocation(s, 90, R).lon);
        bool found = false;
        double bestDistance = 9999999.9;
        int32_t bestPlacement = 0;
        Location bestPoint;
        Way *bestWay = nullptr;
        size_t bestSegment = 0;
        for (Way *way : data->ways()->ways()) {
            const std::vector<Node *> &nodes = way->nodes();
            if (nodes.size() < 2)
                continue;
            for (size_t i = 0; i + 1 < nodes.size(); ++i) {
                const Location a = nodes[i]->getLocation(), b = nodes[i + 1]->getLocation();
                if (!geo::segmentCrossesRectangle(a, b, nw, se))
                    continue;
                int32_t placement = 0;
                Location p;
                if (!OSMBusStopConvertor::projectOntoSegment(s, a, b, placement, p))
                    continue;
                const double d = geo::distance(s, p);
                if (d <= bestDistance) {
                    if (ties && found && d == bestDistance)
                        ++*ties;
                    found = true;
                    bestDistance = d;
                    bestPlacement = placement;
                    bestPoint = p;
                    bestWay = way;
                    bestSegment = i;
                }
            }
        }
        if (!found)
            continue;
        stop->setPlacement(bestPlacement);
        node->setLocation(bestPoint);
        bestWay->nodes().insert(bestWay->nodes().begin() + std::ptrdiff_t(bestSegment + 1), node);
        placed[node] = bestPlacement;
    }
}

uint64_t bits(double v)
{
    uint64_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

/// Everything the conversion may change, comparable bit for bit (NaN included).
struct Snapshot
{
    std::vector<std::vector<int64_t>> wayNodes;
    std::vector<std::vector<uint64_t>> stops; // placement, node id, latitude bits, longitude bits

    explicit Snapshot(const OSMData &data)
    {
        for (const Way *way : data.ways()->ways()) {
            wayNodes.emplace_back();
            for (const Node *node : way->nodes())
                wayNodes.back().push_back(node->getId());
        }
        for (const OSMStop *stop : data.busStops()->stops()) {
            const Location &l = stop->getNode()->getLocation();
            stops.push_back(
                {uint64_t(stop->getPlacement()), uint64_t(stop->getNode()->getId()), bits(l.lat), bits(l.lon)});
        }
    }
    bool operator==(const Snapshot &o) const { return wayNodes == o.wayNodes && stops == o.stops; }
};

/// A random map around ORIGIN with the awkward cases mixed in: junctions, closed ways, copies of
/// ways (exact ties), ways along one latitude or longitude, ways with fewer than two nodes, stops
/// on way nodes, on segments, sharing a node, and far away.
void buildRandomMap(uint64_t seed, int wayCount, int stopCount, double side, MapBuilder &map)
{
    RandomStream random(seed);
    auto uniform = [&]() { return (double(random.next()) * 32768.0 + double(random.next())) / (32768.0 * 32768.0); };
    auto pick = [&](size_t n) { return size_t(uniform() * double(n)) % n; };
    auto somewhere = [&](double scale) {
        return at((uniform() - 0.5) * side * scale, (uniform() - 0.5) * side * scale);
    };
    std::vector<Node *> wayNodes;
    std::vector<std::vector<int64_t>> wayRefs;
    for (int w = 0; w < wayCount; ++w) {
        const double kind = uniform();
        const bool tram = uniform() < 0.2;
        std::vector<int64_t> refs;
        if (kind < 0.1 && !wayRefs.empty()) {
            refs = wayRefs[pick(wayRefs.size())];
            if (uniform() < 0.5)
                std::reverse(refs.begin(), refs.end());
        } else if (kind < 0.15) {
            Node *n = map.node(somewhere(1.0));
            const double degenerate = uniform();
            if (degenerate < 0.33)
                refs = {n->getId(), 999999};
            else if (degenerate < 0.66)
                refs = {999998, 999999};
            else
                refs = {n->getId(), n->getId()};
        } else {
            const bool ring = kind < 0.25;
            const int count = 2 + int(pick(ring ? 4 : 9));
            Node *current =
                (!wayNodes.empty() && uniform() < 0.3) ? wayNodes[pick(wayNodes.size())] : map.node(somewhere(1.0));
            refs.push_back(current->getId());
            for (int i = 1; i < count; ++i) {
                Node *next;
                if (!wayNodes.empty() && uniform() < 0.15) {
                    next = wayNodes[pick(wayNodes.size())];
                } else {
                    const Location &c = current->getLocation();
                    const double step = 10.0 + uniform() * 110.0;
                    const double axis = uniform();
                    if (axis < 0.15)
                        next = map.node(Location(c.lat, geo::moveLocation(c, uniform() < 0.5 ? 90 : 270, step).lon));
                    else if (axis < 0.3)
                        next = map.node(Location(geo::moveLocation(c, uniform() < 0.5 ? 0 : 180, step).lat, c.lon));
                    else
                        next = map.node(geo::moveLocation(c, uniform() * 360.0, step));
                }
                refs.push_back(next->getId());
                current = next;
            }
            if (ring)
                refs.push_back(refs.front());
        }
        Way *way = map.wayOfRefs(refs, tram);
        if (way) {
            wayRefs.push_back(refs);
            for (Node *n : way->nodes())
                wayNodes.push_back(n);
        }
    }
    std::vector<Node *> stopNodes;
    for (int i = 0; i < stopCount; ++i) {
        const double kind = uniform();
        Node *n = nullptr;
        if (kind < 0.15 && !wayNodes.empty()) {
            n = wayNodes[pick(wayNodes.size())];
        } else if (kind < 0.25 && !stopNodes.empty()) {
            n = stopNodes[pick(stopNodes.size())];
        } else if (kind < 0.35 && !wayNodes.empty()) {
            // Halfway along a segment, or abeam of a way node, where equal distances occur.
            const Way *way = map.data.ways()->ways()[pick(map.data.ways()->size())];
            if (way->nodes().size() >= 2) {
                const size_t s = pick(way->nodes().size() - 1);
                const Location a = way->nodes()[s]->getLocation(), b = way->nodes()[s + 1]->getLocation();
                n = map.node(uniform() < 0.5 ? Location((a.lat + b.lat) / 2, (a.lon + b.lon) / 2)
                                             : Location(a.lat + (uniform() - 0.5) * 4e-4, a.lon));
            }
        } else if (kind < 0.45) {
            n = map.node(somewhere(3.0));
        }
        if (!n)
            n = map.node(somewhere(1.0));
        stopNodes.push_back(n);
        map.busStop(n, "Stop " + std::to_string(i));
    }
}

int movedStops(const OSMData &before, const OSMData &after)
{
    int moved = 0;
    for (size_t i = 0; i < after.busStops()->size(); ++i)
        if (before.busStops()->stops()[i]->getNode()->getLocation() !=
            after.busStops()->stops()[i]->getNode()->getLocation())
            ++moved;
    return moved;
}

} // namespace

TEST(OSMBusStopConvertorOnWay, StopOnAWayNodeOrEndServesBothDirectionsAndStays)
{
    MapBuilder map;
    Node *a = map.node(at(-100, 0));
    Node *s = map.node(at(0, 0));
    Node *b = map.node(at(100, 0));
    Way *way = map.way({a, s, b});
    // A second stop on the same node: the lookup finds only the first, yet this one is on the way too.
    OSMStop *stops[] = {map.busStop(s, "Central"), map.busStop(s, "Central B"), map.busStop(b, "End")};
    map.convert();
    for (const OSMStop *stop : stops)
        EXPECT_EQ(stop->getPlacement(), 3) << stop->getName();
    EXPECT_EQ(s->getLocation(), at(0, 0));
    EXPECT_EQ(way->nodes(), (std::vector<Node *>{a, s, b}));
}

TEST(OSMBusStopConvertorBeside, StopMovesOntoTheNearestSegmentWithinReachAndServesItsSide)
{
    // Ways are lists of indices into `nodes` (metres north, east); in `after`, −1 is the stop's node.
    struct Case
    {
        const char *name;
        std::vector<std::pair<double, double>> nodes;
        std::vector<std::vector<int>> ways;
        std::pair<double, double> stop;
        int32_t placement;
        std::vector<std::vector<int>> after;
        double moved; ///< metres
    };
    // clang-format off
    const Case cases[] = {
        {"south of an eastbound way: its right", {{0, -200}, {0, 200}}, {{0, 1}}, {-10, 15}, 1, {{0, -1, 1}}, 10},
        {"north of an eastbound way: its left", {{0, -200}, {0, 200}}, {{0, 1}}, {10, -30}, 2, {{0, -1, 1}}, 10},
        {"nearer segment of one way wins over an earlier one (c→d runs west, the stop is on its left)",
         {{-40, -200}, {-40, 200}, {15, 200}, {15, -200}}, {{0, 1, 2, 3}}, {0, 0}, 2, {{0, 1, 2, -1, 3}}, 15},
        // Inserting before the first position of the end node would make the stop the first node.
        {"last segment of a closed way (d→a runs south, the stop is on its left)",
         {{0, 0}, {0, 200}, {150, 200}, {150, 0}}, {{0, 1, 2, 3, 0}}, {75, 10}, 2, {{0, 1, 2, 3, -1, 0}}, 10},
        {"nearer of two parallel streets, listed first",
         {{20, -200}, {20, 200}, {-30, -200}, {-30, 200}}, {{0, 1}, {2, 3}}, {0, 0}, 1, {{0, -1, 1}, {2, 3}}, 20},
        {"nearer of two parallel streets, listed last",
         {{20, -200}, {20, 200}, {-30, -200}, {-30, 200}}, {{2, 3}, {0, 1}}, {0, 0}, 1, {{2, 3}, {0, -1, 1}}, 20},
        {"equal distances go to the way found last",
         {{0, -200}, {0, 200}}, {{0, 1}, {0, 1}}, {-10, 0}, 1, {{0, 1}, {0, -1, 1}}, 10},
        {"sixty metres from every way",
         {{60, -200}, {60, 200}, {-200, 60}, {200, 60}}, {{0, 1}, {2, 3}}, {0, 0}, 0, {{0, 1}, {2, 3}}, 0},
        {"segment ending 20 m short of the stop's perpendicular",
         {{10, -300}, {10, -20}}, {{0, 1}}, {0, 0}, 0, {{0, 1}}, 0},
        {"no ways anywhere", {}, {}, {0, 0}, 0, {}, 0},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        MapBuilder map;
        std::vector<Node *> nodes;
        for (const auto &n : c.nodes)
            nodes.push_back(map.node(at(n.second, n.first)));
        std::vector<Way *> ways;
        for (const std::vector<int> &w : c.ways) {
            std::vector<Node *> refs;
            for (int i : w)
                refs.push_back(nodes[size_t(i)]);
            ways.push_back(map.way(refs));
        }
        const Location start = at(c.stop.second, c.stop.first);
        Node *s = map.node(start);
        OSMStop *stop = map.busStop(s);
        map.convert();
        EXPECT_EQ(stop->getPlacement(), c.placement);
        EXPECT_NEAR(geo::distance(start, s->getLocation()), c.moved, 0.01);
        for (size_t w = 0; w < ways.size(); ++w) {
            std::vector<Node *> expected;
            for (int i : c.after[w])
                expected.push_back(i < 0 ? s : nodes[size_t(i)]);
            EXPECT_EQ(ways[w]->nodes(), expected) << "way " << w;
        }
    }
}

TEST(OSMBusStopConvertorBeside, StopsBesideWaysAlongOneLongitudeAreFoundOnEitherSide)
{
    // Such a segment has a box of zero width: the computed crossing may stray from it by rounding.
    for (double east : {-10.0, -3.0, 7.0, 12.5, 30.0}) {
        for (double north : {-40.0, -1.0, 0.0, 2.0, 33.0}) {
            SCOPED_TRACE(std::to_string(east) + " " + std::to_string(north));
            MapBuilder map;
            Node *a = map.node(at(0, -100));
            Node *b = map.node(at(0, 100));
            Way *way = map.way({a, b});
            Node *s = map.node(at(east, north));
            OSMStop *stop = map.busStop(s);
            map.convert();
            // Northbound: east of it is its right.
            EXPECT_EQ(stop->getPlacement(), east > 0 ? 1 : 2);
            EXPECT_EQ(s->getLocation().lon, ORIGIN.lon);
            EXPECT_EQ(way->nodes(), (std::vector<Node *>{a, s, b}));
        }
    }
}

TEST(OSMBusStopConvertorBeside, StopExactlyOnASegmentServesAgainstNodeOrder)
{
    // Tilted segments, where the probe starts on the segment and its box has no width at the stop.
    for (int i = 0; i < 50; ++i) {
        const Location a = at(-100, -80 + i), b = at(120, 60 - 2 * i);
        const Location s((a.lat + b.lat) / 2, (a.lon + b.lon) / 2);
        int32_t placement = 0;
        Location point;
        ASSERT_TRUE(OSMBusStopConvertor::projectOntoSegment(s, a, b, placement, point)) << i;
        EXPECT_EQ(placement, 2) << i;
        EXPECT_LT(geo::distance(s, point), 1e-6) << i;
    }

    MapBuilder map;
    Node *a = map.node(Location(60.0, 24.5));
    Node *b = map.node(Location(60.0, 25.5));
    Way *way = map.way({a, b});
    Node *s = map.node(Location(60.0, 25.0));
    OSMStop *stop = map.busStop(s);
    map.convert();
    // The right-hand probe starts on the segment and meets it at once.
    EXPECT_EQ(stop->getPlacement(), 2);
    EXPECT_NEAR(s->getLocation().lat, 60.0, 1e-12);
    EXPECT_NEAR(s->getLocation().lon, 25.0, 1e-12);
    EXPECT_EQ(way->nodes(), (std::vector<Node *>{a, s, b}));
}

TEST(OSMBusStopConvertorBeside, LaterStopsSeeTheSegmentsSplitByEarlierOnesAndTwoStopsOnOneNodeEnterOnce)
{
    MapBuilder map;
    Node *a = map.node(at(-200, 0));
    Node *b = map.node(at(200, 0));
    Way *way = map.way({a, b});
    Node *s1 = map.node(at(50, -10));
    Node *s2 = map.node(at(-60, 8));
    Node *s3 = map.node(at(0, -5));
    map.busStop(s1, "one");
    map.busStop(s2, "two");
    OSMStop *first = map.busStop(s3, "Kauppatori");
    OSMStop *second = map.busStop(s3, "Salutorget");
    map.convert();
    EXPECT_EQ(way->nodes(), (std::vector<Node *>{a, s2, s3, s1, b}));
    EXPECT_EQ(first->getPlacement(), 1);
    EXPECT_EQ(second->getPlacement(), 1);
}

TEST(OSMBusStopConvertorOutOfReach, WaysWithFewerThanTwoDistinctNodesGiveNoCandidate)
{
    MapBuilder map;
    Node *lone = map.node(at(0, 5));
    Node *twice = map.node(at(0, -5));
    Way *single = nullptr, *empty = nullptr, *loop = nullptr;
    {
        StderrCapture quiet;
        single = map.wayOfRefs({lone->getId(), 424242});
        empty = map.wayOfRefs({424243, 424244});
        loop = map.way({twice, twice});
    }
    ASSERT_TRUE(single && empty && loop);
    ASSERT_EQ(single->nodes().size(), 1u);
    ASSERT_TRUE(empty->nodes().empty());
    Node *s = map.node(at(0, 0));
    OSMStop *stop = map.busStop(s);
    map.convert();
    EXPECT_EQ(stop->getPlacement(), 0);
    EXPECT_EQ(s->getLocation(), at(0, 0));
    EXPECT_EQ(loop->nodes(), (std::vector<Node *>{twice, twice}));
}

TEST(OSMBusStopConvertorOutOfReach, TramStopsAreNotTouched)
{
    MapBuilder map;
    Node *a = map.node(at(-200, 0));
    Node *b = map.node(at(200, 0));
    Way *track = map.way({a, b}, true);
    Node *platform = map.node(at(0, -5));
    map.data.addTramStop("Platform", platform);
    map.convert();
    EXPECT_EQ(map.data.tramStops()->stops().front()->getPlacement(), 0);
    EXPECT_EQ(platform->getLocation(), at(0, -5));
    EXPECT_EQ(track->nodes(), (std::vector<Node *>{a, b}));
}

TEST(OSMBusStopConvertorOutOfReach, BadCoordinatesDoNotDisturbTheOthers)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    MapBuilder plain, indexed;
    for (MapBuilder *map : {&plain, &indexed}) {
        Node *a = map->node(at(-200, 0));
        Node *b = map->node(at(200, 0));
        Node *bad = map->node(Location(nan, ORIGIN.lon));
        Node *far = map->node(Location(ORIGIN.lat, inf));
        map->way({a, bad, b});
        map->way({a, far});
        map->way({map->node(Location(1e308, -1e308)), a, map->node(Location(-1e308, 1e308))});
        map->way({a, b});
        map->busStop(map->node(at(30, -10)), "good");
        map->busStop(map->node(Location(nan, nan)), "lost");
        map->busStop(map->node(Location(ORIGIN.lat, -inf)), "gone");
        map->busStop(map->node(Location(-1e308, 1e308)), "astray");
    }
    {
        StderrCapture quiet;
        plainConvert(&plain.data);
    }
    indexed.convert();
    EXPECT_TRUE(Snapshot(plain.data) == Snapshot(indexed.data));
    EXPECT_EQ(indexed.data.busStops()->stops()[0]->getPlacement(), 1);
}

TEST(OSMBusStopConvertorIndex, ChoosesAsThePlainWalkOnRandomMaps)
{
    int moved = 0, ties = 0;
    for (uint64_t seed = 1; seed <= 40; ++seed) {
        SCOPED_TRACE(seed);
        MapBuilder plain, indexed, original;
        {
            StderrCapture quiet;
            buildRandomMap(seed, 60, 70, 400.0, plain);
            buildRandomMap(seed, 60, 70, 400.0, indexed);
            buildRandomMap(seed, 60, 70, 400.0, original);
            plainConvert(&plain.data, &ties);
        }
        indexed.convert();
        ASSERT_TRUE(Snapshot(plain.data) == Snapshot(indexed.data));
        moved += movedStops(original.data, indexed.data);
    }
    // The maps must exercise the move and the choice among equal distances.
    EXPECT_GT(moved, 200);
    EXPECT_GT(ties, 10);
}
