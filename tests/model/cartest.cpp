// The car's decision: following, route ends, crossroads with and without signals, and a few
// steps of deciding, committing and moving on hand-built networks.

#include "testnetwork.h"

#include "model/cell.h"
#include "model/chain.h"
#include "model/crossroad.h"
#include "model/rightofway.h"
#include "model/semaphore.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>

using A = FourArmCrossroad;

namespace {

/// One step for the given cars, in the order of the step: decide all, commit all, release all,
/// move all.
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

} // namespace

TEST(CarDecision, CarLengthIsThreeFourOrFiveMetres)
{
    std::set<int32_t> lengths;
    for (int i = 0; i < 100; ++i) {
        Car car;
        lengths.insert(car.length());
    }
    EXPECT_EQ(lengths, (std::set<int32_t>{12, 16, 20}));
}

TEST(CarDecision, FinishesAtANetworkExit)
{
    SimulationData data;
    const auto chain = makeChain(data, 40);
    TestCar car;
    putAt(chain.back(), car.setSpeed(3));
    car.decide();
    EXPECT_TRUE(car.isFinished());
    EXPECT_EQ(car.nextSpeed(), 0);
}

TEST(CarDecision, ApproachesARouteEndFartherThanOneCell)
{
    SimulationData data;
    const auto chain = makeChain(data, 40);
    TestCar car;
    putAt(chain[38], car.setSpeed(0)); // route end at distance 2
    car.decide();
    EXPECT_FALSE(car.isFinished());
    EXPECT_LE(car.nextSpeed(), 2);
}

TEST(CarDecision, AcceleratesByTwoUpToTheLimitOnAnEmptyRoad)
{
    Random::setSeed(11);
    SimulationData data;
    const auto chain = makeChain(data, 6000);
    TestCar car;
    putAt(chain[30], car.setLength(16));
    std::vector<TestCar *> cars{&car};
    int32_t topSeen = 0;
    for (int i = 0; i < 60; ++i) {
        const int32_t before = car.speed();
        car.decide();
        const int32_t target = std::min(before + 2, 14);
        EXPECT_TRUE(car.nextSpeed() == target || car.nextSpeed() == target - 1)
            << "step " << i << ": " << before << " → " << car.nextSpeed();
        EXPECT_EQ(car.speedLimit(), 14);
        topSeen = std::max(topSeen, car.nextSpeed());
        car.commitSpeed();
        release(&car);
        ASSERT_TRUE(car.move());
    }
    EXPECT_EQ(topSeen, 14);
}

TEST(CarDecision, FollowsAndStopsBehindAStandingVehicle)
{
    Random::setSeed(5);
    SimulationData data;
    const auto chain = makeChain(data, 600);
    TestCar car;
    TestVehicle standing;
    putAt(chain[20], car.setSpeed(10));
    putAt(chain[300], standing);
    std::vector<TestCar *> cars{&car};
    for (int i = 0; i < 200; ++i) {
        step(cars);
        ASSERT_LT(car.frontCell()->id, standing.tailCell()->id) << "ran into it at step " << i;
    }
    EXPECT_EQ(car.speed(), 0);
    // It stands within the follow margin behind the tail.
    const int gap = standing.tailCell()->id - car.frontCell()->id - 1;
    EXPECT_GE(gap, 0);
    EXPECT_LE(gap, 8);
}

TEST(CarDecision, SlowsForACurveAhead)
{
    SimulationData data;
    const auto first = makeChain(data, 200, Location(50.0, 14.0), 90.0);
    const auto second = makeChain(data, 200, geo::moveLocation(first.back()->location, 180.0, 0.25), 180.0);
    link(first.back(), second.front());
    TestCar car;
    putAt(first[150], car.setSpeed(12));
    car.decide();
    EXPECT_EQ(car.speedLimit(), 4);
    EXPECT_LE(car.nextSpeed(), 11);
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
    Random::setSeed(3);
    FourArmCrossroad x(400);
    TestCar car;
    TestVehicle waiting; // stands on the right for good: the car may never enter
    car.addRouteEntry(x.entry(A::W, A::E));
    putAt(x.approach(A::W, 250), car.setSpeed(12));
    waiting.addRouteEntry(x.entry(A::S, A::N));
    putAt(x.stopLine(A::S), waiting);
    std::vector<TestCar *> cars{&car};
    for (int i = 0; i < 200; ++i) {
        step(cars);
        ASSERT_FALSE(car.frontCell()->inCrossroad) << "entered at step " << i;
    }
    EXPECT_EQ(car.speed(), 0);
    EXPECT_EQ(car.frontCell(), x.stopLine(A::W));
}

TEST(CarDecision, PassesAnUncontestedCrossroadWithoutStopping)
{
    Random::setSeed(8);
    CrossroadsInARow row(300, 20);
    TestCar car;
    putAt(row.laneCells[0][100], car.setSpeed(8));
    std::vector<TestCar *> cars{&car};
    bool crossed = false;
    for (int i = 0; i < 60 && !crossed; ++i) {
        step(cars);
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
    west.decide();
    south.decide();
    EXPECT_GE(west.nextSpeed(), 1);
    EXPECT_EQ(south.nextSpeed(), 0);
    for (int i = 0; i < 104; ++i)
        lights->update();
    west.setSpeed(0);
    south.setSpeed(0);
    west.decide();
    south.decide();
    EXPECT_EQ(west.nextSpeed(), 0);
    EXPECT_GE(south.nextSpeed(), 1);
}

TEST(CarDecision, CarsThroughAFourArmCrossroadNeverCollide)
{
    // Cars from all four arms for many steps: no cell ever holds two cars, and cars get through.
    Random::setSeed(21);
    FourArmCrossroad x(300);
    std::vector<std::unique_ptr<TestCar>> owned;
    std::vector<TestCar *> cars;
    int finished = 0;
    for (int s = 0; s < 600; ++s) {
        for (int a = 0; a < 4 && s % 15 == 0; ++a) {
            auto car = std::make_unique<TestCar>();
            if (place(x.approach(A::Arm(a), 280), car.get())) {
                cars.push_back(car.get());
                owned.push_back(std::move(car));
            }
        }
        for (TestCar *car : cars)
            car->decide();
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
}

TEST(CarDecision, DecisionsDoNotDependOnTheirOrderOrThreads)
{
    // A decision reads only what no decision writes, so deciding all cars on two threads gives
    // exactly what deciding them one by one in reverse order gives.
    Random::setSeed(33);
    FourArmCrossroad x(300);
    std::vector<std::unique_ptr<TestCar>> owned;
    std::vector<TestCar *> cars;
    int compared = 0;
    for (int s = 0; s < 400; ++s) {
        for (int a = 0; a < 4 && s % 10 == 0; ++a) {
            auto car = std::make_unique<TestCar>();
            if (place(x.approach(A::Arm(a), 280), car.get())) {
                cars.push_back(car.get());
                owned.push_back(std::move(car));
            }
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
            ASSERT_EQ(d.speedLimit, parallel[i].speedLimit);
            ASSERT_EQ(d.finished, parallel[i].finished);
            ASSERT_EQ(d.route.size(), parallel[i].route.size());
            for (size_t k = 0; k < d.route.size(); ++k)
                ASSERT_EQ(d.route[k].exitLane, parallel[i].route[k].exitLane);
            ++compared;
        }
        for (size_t i = 0; i < cars.size();) {
            if (cars[i]->isFinished()) {
                release(cars[i]);
                cars.erase(cars.begin() + long(i));
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
    EXPECT_GT(compared, 1000);
}
