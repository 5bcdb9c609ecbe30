#include "convert/routeconvertor.h"

#include "testnetwork.h"

using testmaps::TestWay;

namespace {

/// Nodes 1..n on a west-east line, 50 m apart.
void addNodeRow(OSMData &data, int n)
{
    for (int i = 1; i <= n; ++i)
        data.addNode(i, testmaps::at(50.0 * i, 0.0));
}

void busStop(OSMData &data, const std::string &name, int64_t node, StopPlacement placement)
{
    data.addBusStop(name, data.nodes()->findById(node));
    data.busStops()->stops().back()->setPlacement(placement);
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
    // clang-format off
    const std::vector<Case> cases = {
        {"a chain listed out of order gives both directions from each pass",
         {{10, {1, 2}}, {11, {2, 3}}, {12, {3, 4}}}, {11, 12, 10}, {}, {},
         {{10, 11, 12}, {12, 11, 10}, {10, 11, 12}, {12, 11, 10}}},
        {"a one-way third piece drawn against the chain allows one direction only",
         {{10, {1, 2}}, {11, {2, 3}}, {12, {4, 3}, 1, 0, true}, {13, {4, 5}}}, {10, 11, 12, 13}, {}, {},
         {{13, 12, 11, 10}, {13, 12, 11, 10}}},
        {"forward and backward one-way members each give the direction they allow",
         {{10, {1, 2}}, {11, {2, 3}, 1, 0, true}, {12, {3, 2}, 1, 0, true}, {13, {3, 4}}}, {10, 13}, {11}, {12},
         {{10, 11, 13}, {13, 12, 10}}},
        {"a one-way first piece drawn against the chain allows one direction only",
         {{10, {2, 1}, 1, 0, true}, {11, {2, 3}}, {12, {3, 4}}}, {10, 11, 12}, {}, {},
         {{12, 11, 10}, {12, 11, 10}}},
        {"so does a one-way second piece",
         {{10, {1, 2}}, {11, {3, 2}, 1, 0, true}, {12, {3, 4}}}, {10, 11, 12}, {}, {},
         {{12, 11, 10}, {12, 11, 10}}},
        {"a relation of one piece has no stops along it", {{10, {1, 2, 3, 4}}}, {10}, {}, {}, {}},
        {"members missing from the map are skipped", {{10, {1, 2}}, {11, {2, 3}}}, {99, 10, 98, 11}, {}, {},
         {{10, 11}, {11, 10}, {10, 11}, {11, 10}}},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        OSMData data;
        addNodeRow(data, 5);
        for (const TestWay &w : c.ways)
            testmaps::addWay(data, w);
        busStop(data, "A", 1, StopPlacement::BothDirections);
        busStop(data, "B", 2, StopPlacement::BothDirections);
        busStop(data, "C", 4, StopPlacement::BothDirections);
        data.addRouteRelation(7, "line", "5", "bus", c.members, c.forward, c.backward, {});
        Diagnostics diagnostics;
        RouteConvertor::convert(&data, diagnostics);
        std::vector<std::vector<int64_t>> routes;
        for (const OSMRoute *route : data.routes()->routes()) {
            routes.emplace_back();
            for (const Way *way : route->ways)
                routes.back().push_back(way->getId());
        }
        EXPECT_EQ(routes, c.routes);
    }
}

TEST(RouteConvertor, StopsFollowTheDrivingDirectionAndCountOncePerName)
{
    OSMData data;
    addNodeRow(data, 5);
    testmaps::addWay(data, {10, {1, 2, 3}});
    testmaps::addWay(data, {11, {3, 4, 5}});
    busStop(data, "West", 1, StopPlacement::BothDirections);
    busStop(data, "Twin", 2, StopPlacement::BothDirections);
    busStop(data, "Twin", 3, StopPlacement::BothDirections);
    busStop(data, "Eastbound only", 4, StopPlacement::Forward);
    busStop(data, "East", 5, StopPlacement::BothDirections);
    const std::vector<Way *> forward = {data.ways()->findById(10), data.ways()->findById(11)};
    EXPECT_EQ(testmaps::stopNames(RouteConvertor::stopsAlongRoute(*data.busStops(), forward)),
              (std::vector<std::string>{"West", "Twin", "Eastbound only", "East"}));
    EXPECT_EQ(testmaps::stopNames(RouteConvertor::stopsAlongRoute(*data.busStops(), {forward[1], forward[0]})),
              (std::vector<std::string>{"East", "Twin", "West"}));
    EXPECT_TRUE(RouteConvertor::stopsAlongRoute(*data.busStops(), {forward[0]}).empty());
}
