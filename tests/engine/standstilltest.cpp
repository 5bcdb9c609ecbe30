// Places where traffic once locked for good: no vehicle stands for minutes, cars keep leaving, and
// no two vehicles ever hold the same cell after a move.

#include "engine/simulationcontrol.h"
#include "engine/trafficcensus.h"
#include "tests/convert/testnetwork.h"
#include "tests/model/testnetwork.h"

#include <gtest/gtest.h>

#include <map>

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

/// A two-way road from the west edge to a crossroad, where a two-way loop starts and ends, and on
/// to the east edge: a car may go round the loop any number of times, choosing afresh each time.
struct LoopAtACrossroad : TestNetwork
{
    LoopAtACrossroad()
    {
        node(1, -120, 0);
        node(2, 0, 0);
        node(3, 60, 40);
        node(4, 60, -40);
        node(5, 120, 0);
        way({10, {1, 2}});
        way({11, {2, 3, 4, 2}});
        way({12, {2, 5}});
        run();
    }
};

/// What a run of a small map showed: the longest standstill of any vehicle and the longest time a
/// car was on the network, in steps; the vehicles that left, in all and in the second half; the
/// cells ever shared.
struct Outcome
{
    int32_t longestStandstill = 0;
    int32_t longestStay = 0;
    int64_t left = 0;
    int64_t leftInSecondHalf = 0;
    int64_t sharedCells = 0;
};

/// Steps `map` for `minutes`, its generators starting cars `feed` times as often.
Outcome runFor(TestNetwork &map, int minutes, int64_t feed)
{
    map.sim.feedGenerators(feed);
    SimulationControl control(&map.sim);
    TrafficCensus census;
    std::map<int32_t, int32_t> firstSeen;
    Outcome outcome;
    const int steps = 4 * 60 * minutes;
    for (int step = 1; step <= steps; ++step) {
        control.step();
        if (step == steps / 2)
            outcome.leftInSecondHalf = -control.vehiclesRemoved();
        census.observe(map.sim);
        outcome.longestStandstill = std::max(outcome.longestStandstill, census.longestStandstill());
        for (const Car *car : map.sim.cars)
            outcome.longestStay =
                std::max(outcome.longestStay, step - firstSeen.try_emplace(car->id(), step).first->second);
    }
    outcome.left = control.vehiclesRemoved();
    outcome.leftInSecondHalf += outcome.left;
    outcome.sharedCells = census.sharedCellsTotal();
    return outcome;
}

} // namespace

TEST(Standstill, ACarGoingRoundALoopChoosesItsWayAfreshEachTimeRound)
{
    // The way round a loop leads back to the crossroad it started from, by the same lane: a car that
    // kept its first choice there went round for good (about one car in four did).
    LoopAtACrossroad map;
    ASSERT_EQ(map.sim.crossroads.size(), 1u);
    const Outcome outcome = runFor(map, 20, 1);
    EXPECT_LT(outcome.longestStay, 4 * 60 * 5) << "the map is crossed in under a minute";
    EXPECT_LT(outcome.longestStandstill, 4 * 60 * 5);
    EXPECT_GT(outcome.left, 50);
    EXPECT_EQ(outcome.sharedCells, 0);
}

TEST(Standstill, TwoCrossroadsJoinedByALinkShorterThanACarKeepMoving)
{
    ShortLink map;
    ASSERT_EQ(map.sim.crossroads.size(), 2u);
    const Outcome outcome = runFor(map, 20, 1);
    EXPECT_LT(outcome.longestStandstill, 4 * 60 * 5);
    EXPECT_GT(outcome.leftInSecondHalf, 100);
    EXPECT_EQ(outcome.sharedCells, 0);
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
