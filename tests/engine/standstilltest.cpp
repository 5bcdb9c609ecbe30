// Places where traffic once locked for good: no car stands for minutes, cars keep leaving, and no
// two vehicles ever hold the same cell after a move.

#include "engine/simulationcontrol.h"
#include "engine/trafficcensus.h"
#include "tests/convert/testnetwork.h"
#include "tests/model/testnetwork.h"

#include <gtest/gtest.h>

using testmaps::TestNetwork;

namespace {

/// Two crossroads 4 m apart on a two-way street, each with a one-way street in and a two-way
/// street out: a 5 m car on the short link has its tail in the crossroad behind while it waits at
/// the next one, and the cars of both directions used to wait for each other's tails for good.
struct ShortLink : TestNetwork
{
    ShortLink()
    {
        node(1, 0, 0);
        node(2, 4, 0);
        node(3, -80, 0);
        node(4, 84, 0);
        node(5, 0, 80);
        node(6, 4, -80);
        node(7, 0, -80);
        node(8, 4, 80);
        way({10, {3, 1, 2, 4}});
        road(11, {5, 1}, true, false);
        road(12, {6, 2}, true, false);
        way({13, {1, 7}});
        way({14, {2, 8}});
        run();
    }
};

} // namespace

TEST(Standstill, TwoCrossroadsJoinedByALinkShorterThanACarKeepMoving)
{
    ShortLink map;
    ASSERT_EQ(map.sim.crossroads.size(), 2u);
    SimulationControl control(&map.sim);
    TrafficCensus census;
    int32_t longestStandstill = 0;
    int64_t leftAtHalf = 0;
    for (int step = 1; step <= 4 * 60 * 20; ++step) { // twenty minutes
        control.step();
        census.observe(map.sim);
        longestStandstill = std::max(longestStandstill, census.longestStandstill());
        if (step == 4 * 60 * 10)
            leftAtHalf = control.vehiclesRemoved();
    }
    EXPECT_LT(longestStandstill, 4 * 60 * 5);
    EXPECT_GT(control.vehiclesRemoved() - leftAtHalf, 100);
    EXPECT_EQ(census.sharedCellsTotal(), 0);
}

TEST(Standstill, TheCensusCountsTheStepsACarHasStoodUntilItMoves)
{
    SimulationData data;
    const auto lane = makeChain(data, 40);
    auto *moving = new TestCar();
    auto *standing = new TestCar();
    data.cars = {moving, standing}; // the data owns them
    putAt(lane[30], moving->setLength(4).setSpeed(2));
    putAt(lane[10], standing->setLength(4));
    TrafficCensus census;
    for (int i = 0; i < 3; ++i)
        census.observe(data);
    EXPECT_EQ(census.standingVehicles(), 1);
    EXPECT_EQ(census.standstillOf(standing->id()), 3);
    EXPECT_EQ(census.longestStandstill(), 3);
    EXPECT_EQ(census.longestStandingId(), standing->id());
    standing->setSpeed(1);
    moving->setSpeed(0);
    census.observe(data);
    EXPECT_EQ(census.standstillOf(standing->id()), 0);
    EXPECT_EQ(census.longestStandstill(), 1); // the other car has just stopped
    EXPECT_EQ(census.longestStandingId(), moving->id());
}
