// The car's decision: following, route ends, crossroads with and without signals, and a few
// steps of deciding, committing and moving on hand-built networks.

#include "testnetwork.h"

#include "model/cell.h"
#include "model/chain.h"
#include "model/crossroad.h"
#include "model/rightofway.h"
#include "model/semaphore.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <thread>

using A = FourArmCrossroad;

namespace {

/// Decides, commits, releases and moves the cars, in the order of the step.
void step(const std::vector<TestCar *> &cars)
{
    for (TestCar *car : cars)
        car->decide();
    for (TestCar *car : cars)
        car->commitSpeed();
    for (TestCar *car : cars)
        release(car);
    for (TestCar *car : cars)
        car->move();
}

/// Cars entering a four-arm crossroad from every arm every `every` steps, run through the phases
/// of the step after the decisions the test makes.
struct Traffic
{
    FourArmCrossroad x{300};
    std::vector<std::unique_ptr<TestCar>> owned;
    std::vector<TestCar *> cars;
    int finished = 0;

    void spawn(int s, int every)
    {
        for (int a = 0; a < 4 && s % every == 0; ++a) {
            auto car = std::make_unique<TestCar>();
            if (place(x.approach(A::Arm(a), 280), car.get())) {
                cars.push_back(car.get());
                owned.push_back(std::move(car));
            }
        }
    }
    /// The phases after the decisions: removal, commit, deadlock breaking, movement.
    void finishStep()
    {
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
    }
};

} // namespace

TEST(CarDecision, FinishesOnlyWithTheRouteEndOneCellAhead)
{
    // On the last cell of a network exit the route end is at distance 1; one cell before, at 2.
    for (int back : {0, 1}) {
        SimulationData data;
        const auto chain = makeChain(data, 40);
        TestCar car;
        putAt(chain[size_t(39 - back)], car.setSpeed(back == 0 ? 3 : 0));
        car.decide();
        EXPECT_EQ(car.isFinished(), back == 0) << back << " cells before the end";
        EXPECT_LE(car.nextSpeed(), back == 0 ? 0 : 2);
    }
}

TEST(CarDecision, AcceleratesByTwoUpToTheLimitOnAnEmptyRoad)
{
    testRun().random.setSeed(11);
    SimulationData data;
    const auto chain = makeChain(data, 6000);
    TestCar car;
    putAt(chain[30], car.setLength(16));
    int32_t topSeen = 0;
    for (int i = 0; i < 60; ++i) {
        const int32_t target = std::min(car.speed() + 2, 14);
        step({&car});
        EXPECT_TRUE(car.speed() == target || car.speed() == target - 1) << "step " << i << ": " << car.speed();
        EXPECT_EQ(car.speedLimit(), 14);
        topSeen = std::max(topSeen, car.speed());
    }
    EXPECT_EQ(topSeen, 14);
}

TEST(CarDecision, FollowsAndStopsBehindAStandingVehicle)
{
    testRun().random.setSeed(5);
    SimulationData data;
    const auto chain = makeChain(data, 600);
    TestCar car;
    TestVehicle standing;
    putAt(chain[20], car.setSpeed(10));
    putAt(chain[300], standing);
    for (int i = 0; i < 200; ++i) {
        step({&car});
        ASSERT_LT(car.frontCell()->id, standing.tailCell()->id) << "ran into it at step " << i;
    }
    EXPECT_EQ(car.speed(), 0);
    // It stands within the follow margin behind the tail.
    EXPECT_LE(standing.tailCell()->id - car.frontCell()->id - 1, 8);
}

TEST(CarDecision, YieldsAtTheStopLineAndGoesWhenClear)
{
    FourArmCrossroad x(200);
    TestCar car;
    TestVehicle fromRight;
    car.addRouteEntry(x.entry(A::W, A::E));
    putAt(x.stopLine(A::W), car);
    fromRight.addRouteEntry(x.entry(A::S, A::N));
    putAt(x.approach(A::S, 6), fromRight.setSpeed(6));
    car.decide();
    EXPECT_EQ(car.nextSpeed(), 0);
    EXPECT_EQ(car.route().size(), 1u);
    release(&fromRight);
    car.setSpeed(0);
    car.decide();
    EXPECT_GE(car.nextSpeed(), 1);
}

TEST(CarDecision, ApproachesAndStopsAtTheLineWhenItMustYield)
{
    testRun().random.setSeed(3);
    FourArmCrossroad x(400);
    TestCar car;
    TestVehicle waiting; // stands on the right for good: the car may never enter
    car.addRouteEntry(x.entry(A::W, A::E));
    putAt(x.approach(A::W, 250), car.setSpeed(12));
    waiting.addRouteEntry(x.entry(A::S, A::N));
    putAt(x.stopLine(A::S), waiting);
    for (int i = 0; i < 200; ++i) {
        step({&car});
        ASSERT_FALSE(car.frontCell()->inCrossroad) << "entered at step " << i;
    }
    EXPECT_EQ(car.speed(), 0);
    EXPECT_EQ(car.frontCell(), x.stopLine(A::W));
}

TEST(CarDecision, PassesAnUncontestedCrossroadWithoutStopping)
{
    testRun().random.setSeed(8);
    CrossroadsInARow row(300, 20);
    TestCar car;
    putAt(row.laneCells[0][100], car.setSpeed(8));
    bool crossed = false;
    for (int i = 0; i < 60 && !crossed; ++i) {
        step({&car});
        ASSERT_GT(car.speed(), 0) << "stopped at step " << i;
        crossed = car.frontCell()->wayLink == row.lane[1].get();
    }
    EXPECT_TRUE(crossed);
}

TEST(CarDecision, RedStopsGreenGoes)
{
    FourArmCrossroad x(200);
    Semaphore *lights = x.addSemaphore();
    TestCar west, south;
    west.addRouteEntry(x.entry(A::W, A::E));
    south.addRouteEntry(x.entry(A::S, A::N));
    putAt(x.stopLine(A::W), west);
    putAt(x.stopLine(A::S), south);
    for (bool westGreen : {true, false}) {
        west.setSpeed(0).decide();
        south.setSpeed(0).decide();
        EXPECT_EQ(west.nextSpeed() >= 1, westGreen);
        EXPECT_EQ(south.nextSpeed() >= 1, !westGreen);
        for (int i = 0; i < 104; ++i)
            lights->update();
    }
}

TEST(CarDecision, CarsThroughAFourArmCrossroadNeverCollide)
{
    // Cars from all four arms for many steps: no cell ever holds two cars, and cars get through.
    testRun().random.setSeed(21);
    Traffic t;
    for (int s = 0; s < 600; ++s) {
        t.spawn(s, 15);
        for (TestCar *car : t.cars)
            car->decide();
        t.finishStep();
        std::set<Cell *> taken;
        for (TestCar *car : t.cars)
            for (Cell *c : car->cells()) {
                ASSERT_TRUE(taken.insert(c).second) << "two cars on one cell at step " << s;
                ASSERT_EQ(c->vehicle, car);
            }
    }
    EXPECT_GT(t.finished, 40);
}

TEST(CarDecision, DecisionsDoNotDependOnTheirOrderOrThreads)
{
    // A decision reads only what no decision writes, so deciding all cars on two threads gives
    // exactly what deciding them one by one in reverse order gives.
    testRun().random.setSeed(33);
    Traffic t;
    std::vector<TestCar *> &cars = t.cars;
    int compared = 0;
    for (int s = 0; s < 400; ++s) {
        t.spawn(s, 10);
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
            ASSERT_EQ(d.speedLimit, parallel[i].speedLimit);
            ASSERT_EQ(d.finished, parallel[i].finished);
            ASSERT_EQ(d.route.size(), parallel[i].route.size());
            for (size_t k = 0; k < d.route.size(); ++k)
                ASSERT_EQ(d.route[k].exitLane, parallel[i].route[k].exitLane);
            ++compared;
        }
        t.finishStep();
    }
    EXPECT_GT(compared, 1000);
}
