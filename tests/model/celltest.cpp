// Walks along cell chains and rings and the queries built on them.

#include "testnetwork.h"

#include "model/cell.h"
#include "model/chain.h"

#include <gtest/gtest.h>

TEST(ChainQueries, CountsQueuesPlacementAndUpstreamVehiclesOnChainsAndRings)
{
    SimulationData data;
    const auto c = makeChain(data, 40);
    const auto ring = makeChain(data, 6);
    link(ring.back(), ring.front());
    TestVehicle a, b, moving, inRing, car;
    putAt(c[30], a.setLength(3));
    putAt(c[25], b.setLength(3));
    putAt(c[18], moving.setLength(3).setSpeed(4));
    putAt(ring[3], inRing.setLength(2));
    EXPECT_EQ(standingQueue(c[30]), 2); // a and b stand, the third moves
    EXPECT_EQ(standingQueue(c[35]), 2);
    EXPECT_EQ(vehiclesAhead(c[20], 20), 2);
    EXPECT_EQ(vehiclesAhead(c[16], 3), 1);
    EXPECT_EQ(vehiclesAhead(c[0], 0), 0);
    EXPECT_EQ(vehiclesAhead(c[30], 1), 1); // one cell: the vehicle on it
    EXPECT_EQ(vehiclesAhead(nullptr, 10), 0);
    EXPECT_EQ(occupiedAhead(c[20], 20), 6);
    EXPECT_EQ(occupiedAhead(c[20], 0), 0);
    EXPECT_EQ(c[20]->vehicleUpstream(3), &moving);
    EXPECT_EQ(c[20]->vehicleUpstream(2), nullptr);
    EXPECT_EQ(c[20]->vehicleUpstream(0), nullptr);
    EXPECT_EQ(c[18]->vehicleUpstream(1), &moving);
    EXPECT_EQ(vehiclesAhead(ring[0], 6), 1); // six cells do not loop back to the start
    EXPECT_EQ(occupiedInLoop(ring[0]), 2);
    EXPECT_EQ(occupiedInLoop(c[0]), 0);
    EXPECT_EQ(ring[0]->vehicleUpstream(100), &inRing); // walking back, wrapping once

    EXPECT_FALSE(canPlace(c[10], &car)); // 11 cells including itself, the first free
    EXPECT_FALSE(canPlace(c[20], &car)); // cells 16 to 18 are taken
    EXPECT_TRUE(canPlace(c[10], &car.setLength(10)));
    EXPECT_FALSE(canPlace(nullptr, &car));
    EXPECT_FALSE(canPlace(c[11], nullptr));
}
