// The car's decision: following, yielding, and many cars deciding, committing and moving
// through one crossroad.

#include "testnetwork.h"

#include "model/cell.h"
#include "model/chain.h"
#include "model/crossroad.h"
#include "model/rightofway.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>

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
    approaching.addRouteEntry(x.entry(A::W, A::E));
    putAt(x.approach(A::W, 250), approaching.setSpeed(12));
    waiting.addRouteEntry(x.entry(A::S, A::N));
    putAt(x.stopLine(A::S), waiting);
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

TEST(CarDecision, CarsThroughACrossroadNeverCollideAndDecideAlikeInAnyOrderOrThread)
{
    // A decision reads only what no decision writes, so deciding all cars on two threads gives
    // exactly what deciding them one by one in reverse order gives.
    testRun().random.setSeed(21);
    FourArmCrossroad x(300);
    std::vector<std::unique_ptr<TestCar>> owned;
    std::vector<TestCar *> cars;
    int finished = 0, compared = 0;
    for (int s = 0; s < 500; ++s) {
        for (int a = 0; a < 4 && s % 12 == 0; ++a) {
            owned.push_back(std::make_unique<TestCar>());
            if (place(x.approach(A::Arm(a), 280), owned.back().get()))
                cars.push_back(owned.back().get());
        }
        std::vector<TestCar::Decided> before;
        for (TestCar *car : cars)
            before.push_back(car->decided());
        std::thread half([&] {
            for (size_t i = 0; i < cars.size(); i += 2)
                cars[i]->decide();
        });
        for (size_t i = 1; i < cars.size(); i += 2)
            cars[i]->decide();
        half.join();
        std::vector<TestCar::Decided> parallel;
        for (size_t i = 0; i < cars.size(); ++i) {
            parallel.push_back(cars[i]->decided());
            cars[i]->restore(before[i]);
        }
        for (size_t i = cars.size(); i-- > 0;)
            cars[i]->decide();
        for (size_t i = 0; i < cars.size(); ++i) {
            const TestCar::Decided d = cars[i]->decided();
            ASSERT_EQ(d.nextSpeed, parallel[i].nextSpeed) << "step " << s << " car " << i;
            ASSERT_EQ(d.finished, parallel[i].finished);
            ASSERT_EQ(d.route.size(), parallel[i].route.size());
            for (size_t k = 0; k < d.route.size(); ++k)
                ASSERT_EQ(d.route[k].exitLane, parallel[i].route[k].exitLane);
            ++compared;
        }
        // The phases after the decisions: removal, commit, deadlock breaking, movement.
        for (size_t i = 0; i < cars.size();) {
            if (cars[i]->isFinished()) {
                release(cars[i]);
                cars.erase(cars.begin() + long(i));
                ++finished;
            } else {
                ++i;
            }
        }
        for (TestCar *car : cars)
            car->commitSpeed();
        resolveDeadlock(x.crossroad);
        for (TestCar *car : cars)
            release(car);
        for (TestCar *car : cars)
            car->move();
        std::set<Cell *> taken;
        for (TestCar *car : cars)
            for (Cell *c : car->cells()) {
                ASSERT_TRUE(taken.insert(c).second) << "two cars on one cell at step " << s;
                ASSERT_EQ(c->vehicle, car);
            }
    }
    EXPECT_GT(finished, 40);
    EXPECT_GT(compared, 1000);
}
