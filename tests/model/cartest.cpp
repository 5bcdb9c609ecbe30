// The car's decision: following a standing vehicle and yielding at the stop line. Many cars
// deciding at once are checked on the bundled city: no shared cell, and one run on any thread count.

#include "testnetwork.h"

#include "model/cell.h"
#include "model/chain.h"
#include "model/crossroad.h"
#include "model/rightofway.h"

#include <gtest/gtest.h>

using A = FourArmCrossroad;

namespace {

/// Decides, commits, releases and moves the car, in the order of the step.
void step(TestCar &car)
{
    car.decide();
    car.commitSpeed();
    release(&car);
    car.move();
}

} // namespace

TEST(CarDecision, StopsBehindAStandingVehicleAndAtTheLineWhenItMustYield)
{
    testRun().random.setSeed(5);
    SimulationData data;
    const auto chain = makeChain(data, 600);
    TestCar car;
    TestVehicle standing;
    putAt(chain[20], car.setSpeed(10));
    putAt(chain[300], standing);
    for (int i = 0; i < 200; ++i) {
        step(car);
        ASSERT_LT(car.frontCell()->id, standing.tailCell()->id) << "ran into it at step " << i;
    }
    EXPECT_EQ(car.speed(), 0);
    EXPECT_LE(standing.tailCell()->id - car.frontCell()->id - 1, 8); // within the follow margin

    FourArmCrossroad x(400);
    TestCar approaching;
    TestVehicle waiting; // stands on the right for good: the car may never enter
    x.arrive(approaching.setSpeed(12), A::W, A::E, 250);
    x.arrive(waiting, A::S, A::N);
    for (int i = 0; i < 200; ++i) {
        step(approaching);
        ASSERT_FALSE(approaching.frontCell()->inCrossroad) << "entered at step " << i;
    }
    EXPECT_EQ(approaching.speed(), 0);
    EXPECT_EQ(approaching.frontCell(), x.stopLine(A::W));
    release(&waiting);
    approaching.decide();
    EXPECT_GE(approaching.nextSpeed(), 1) << "goes when clear";
}
