#include "model/random.h"
#include "model/car.h"
#include "model/simulationdata.h"

#include <gtest/gtest.h>

#include <vector>

TEST(RandomStreams, ValuesSpanTheRangeOfRandAndRepeatForASeed)
{
    RandomStream a(12345), b(12345), c(54321);
    int32_t low = RandomStream::MAX, high = 0;
    bool differs = false;
    for (int i = 0; i < 100000; ++i) {
        const int32_t x = a.next();
        ASSERT_GE(x, 0);
        ASSERT_LE(x, 32767);
        low = std::min(low, x);
        high = std::max(high, x);
        ASSERT_EQ(x, b.next());
        differs |= x != c.next();
    }
    EXPECT_LT(low, 10);
    EXPECT_GT(high, 32757);
    EXPECT_TRUE(differs);
}

TEST(RandomStreams, SmallModuliAreUniform)
{
    RandomStream r(99);
    std::vector<int> counts(30, 0);
    const int draws = 300000;
    for (int i = 0; i < draws; ++i)
        ++counts[size_t(r.next() % 30)];
    for (int n : counts)
        EXPECT_NEAR(n, draws / 30, draws / 30 / 10);
}

TEST(RandomStreams, RunSeedDecidesRunDrawsAndVehicleStreams)
{
    RunRandom run(2026);
    const int32_t first = run.draw();
    const uint64_t vehicleSeed = run.vehicleSeed(17);
    EXPECT_NE(run.vehicleSeed(17), run.vehicleSeed(18));
    run.setSeed(2026);
    EXPECT_EQ(run.draw(), first);
    EXPECT_EQ(run.vehicleSeed(17), vehicleSeed);
    run.setSeed(2027);
    EXPECT_NE(run.vehicleSeed(17), vehicleSeed);
}

TEST(RandomStreams, CarLengthsAreThreeFourOrFiveMetres)
{
    SimulationData run(QTime(8, 0), 5);
    int counts[3] = {0, 0, 0};
    for (int i = 0; i < 3000; ++i) {
        Car car(run);
        ASSERT_TRUE(car.length() == 12 || car.length() == 16 || car.length() == 20) << car.length();
        ++counts[(car.length() - 12) / 4];
    }
    for (int n : counts)
        EXPECT_NEAR(n, 1000, 120);
}
