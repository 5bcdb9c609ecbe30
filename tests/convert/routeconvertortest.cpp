#include "convert/routeconvertor.h"

#include "testmaps.h"

using testmaps::TestWay;

namespace {

/// Nodes 1..n on a west-east line, 50 m apart.
void addNodeRow(OSMData &data, int n)
{
    for (int i = 1; i <= n; ++i)
        data.addNode(i, testmaps::at(50.0 * i, 0.0));
}

std::vector<int64_t> wayIds(const OSMRoute *route)
{
    std::vector<int64_t> ids;
    for (const Way *way : route->ways)
        ids.push_back(way->getId());
    return ids;
}

std::vector<std::string> stopNames(const std::vector<OSMStop *> &stops)
{
    std::vector<std::string> names;
    for (const OSMStop *stop : stops)
        names.push_back(stop->getName());
    return names;
}

OSMStop *busStop(OSMData &data, const std::string &name, int64_t node, int32_t placement)
{
    data.addBusStop(name, data.nodes()->findById(node));
    OSMStop *stop = data.busStops()->stops().back();
    stop->setPlacement(placement);
    return stop;
}

std::vector<std::vector<int64_t>> convertedWays(OSMData &data)
{
    StderrCapture quiet;
    RouteConvertor::convert(&data);
    std::vector<std::vector<int64_t>> result;
    for (const OSMRoute *route : data.routes()->routes())
        result.push_back(wayIds(route));
    return result;
}

} // namespace

TEST(RouteConvertor, OrdersRelationsIntoDrivingDirections)
{
    struct Case
    {
        const char *what;
        std::vector<TestWay> ways;
        std::vector<int64_t> members, forward, backward;
        std::vector<std::vector<int64_t>> routes;
    };
    const std::vector<Case> cases = {
        {"a chain listed out of order gives both directions from each pass",
         {{10, {1, 2}}, {11, {2, 3}}, {12, {3, 4}}},
         {11, 12, 10},
         {},
         {},
         {{10, 11, 12}, {12, 11, 10}, {10, 11, 12}, {12, 11, 10}}},
        {"a one-way third piece drawn against the chain allows one direction only",
         {{10, {1, 2}}, {11, {2, 3}}, {12, {4, 3}, 1, 0, true}, {13, {4, 5}}},
         {10, 11, 12, 13},
         {},
         {},
         {{13, 12, 11, 10}, {13, 12, 11, 10}}},
        {"forward and backward members differ only in that piece",
         {{10, {1, 2}}, {11, {2, 3}, 1, 0, true}, {12, {3, 2}, 1, 0, true}, {13, {3, 4}}},
         {10, 13},
         {11},
         {12},
         {{10, 11, 13}, {13, 11, 10}, {10, 12, 13}, {13, 12, 10}}},
        {"a relation of one piece has no stops along it", {{10, {1, 2, 3, 4}}}, {10}, {}, {}, {}},
        {"members missing from the map are skipped",
         {{10, {1, 2}}, {11, {2, 3}}},
         {99, 10, 98, 11},
         {},
         {},
         {{10, 11}, {11, 10}, {10, 11}, {11, 10}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        OSMData data;
        addNodeRow(data, 5);
        for (const TestWay &w : c.ways)
            testmaps::addWay(data, w);
        busStop(data, "A", 1, 3);
        busStop(data, "B", 2, 3);
        busStop(data, "C", 4, 3);
        data.addRouteRelation(7, "line", "5", "bus", c.members, c.forward, c.backward, {});
        EXPECT_EQ(convertedWays(data), c.routes);
    }
}

TEST(RouteConvertor, SplitPiecesChainThroughTheirCommonNodePreferringAnotherMember)
{
    OSMData data;
    addNodeRow(data, 4);
    data.addNode(5, testmaps::at(100.0, 50.0));
    // Way 10 was split at node 2 into two pieces; way 11 also starts at node 2.
    for (const TestWay &w : std::vector<TestWay>{{10, {1, 2}}, {10, {2, 3}}, {11, {2, 5}}}) {
        Way *piece = new Way;
        piece->setId(w.id);
        piece->setHighway(true);
        for (int64_t node : w.nodes)
            piece->addNode(data.nodes()->findById(node));
        data.ways()->add(piece);
    }
    std::vector<Way *> members;
    RouteConvertor::collectWays(*data.ways(), {10, 11}, members);
    ASSERT_EQ(members.size(), 3u);
    const std::vector<Way *> ordered = RouteConvertor::orderWays(members);
    ASSERT_EQ(ordered.size(), 2u);
    EXPECT_EQ(ordered[0], members[0]);
    EXPECT_EQ(ordered[1], members[2]) << "the piece of another way wins at the shared node";
}

TEST(RouteConvertor, StopsFollowTheDrivingDirectionAndCountOncePerName)
{
    OSMData data;
    addNodeRow(data, 5);
    testmaps::addWay(data, {10, {1, 2, 3}});
    testmaps::addWay(data, {11, {3, 4, 5}});
    busStop(data, "West", 1, 3);
    busStop(data, "Twin", 2, 3);
    busStop(data, "Twin", 3, 3);
    busStop(data, "Eastbound only", 4, 1);
    busStop(data, "East", 5, 3);
    const std::vector<Way *> forward = {data.ways()->findById(10), data.ways()->findById(11)};
    const std::vector<Way *> backward = {forward[1], forward[0]};
    EXPECT_EQ(stopNames(RouteConvertor::stopsAlongRoute(*data.busStops(), forward)),
              (std::vector<std::string>{"West", "Twin", "Eastbound only", "East"}));
    EXPECT_EQ(stopNames(RouteConvertor::stopsAlongRoute(*data.busStops(), backward)),
              (std::vector<std::string>{"East", "Twin", "West"}));
    EXPECT_TRUE(RouteConvertor::stopsAlongRoute(*data.busStops(), {forward[0]}).empty());
}

TEST(RouteConvertor, LogsOneLineWithTheRelationCount)
{
    OSMData data;
    data.addRouteRelation(1, "a", "1", "tram", {}, {}, {}, {});
    data.addRouteRelation(2, "b", "2", "bus", {}, {}, {}, {});
    StderrCapture err;
    RouteConvertor::convert(&data);
    EXPECT_EQ(err.text(), "RouteConvertor: Ordering routes (route count = 2) ... Done!\n");
    EXPECT_EQ(data.routes()->size(), 0u);
}
