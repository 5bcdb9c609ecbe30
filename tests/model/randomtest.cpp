#include "model/random.h"
#include "model/car.h"
#include "model/simulationdata.h"

#include <gtest/gtest.h>

#include <vector>

TEST(RandomStreams, RepeatForASeedSpanTheRangeOfRandAndAreUniformOverSmallModuli)
{
    RandomStream a(12345), b(12345), c(54321);
    int32_t low = RandomStream::MAX, high = 0;
    bool differs = false;
    std::vector<int> counts(30, 0);
    const int draws = 300000;
    for (int i = 0; i < draws; ++i) {
        const int32_t x = a.next();
        ASSERT_EQ(x, b.next());
        differs |= x != c.next();
        low = std::min(low, x);
        high = std::max(high, x);
        ++counts[size_t(x % 30)];
    }
    EXPECT_TRUE(low >= 0 && low < 10 && high > 32757 && high <= 32767) << low << " to " << high;
    EXPECT_TRUE(differs);
    for (int n : counts)
        EXPECT_NEAR(n, draws / 30, draws / 30 / 10);
}

TEST(RandomStreams, RunSeedDecidesRunDrawsVehicleStreamsAndCarLengths)
{
    RunRandom run(2026);
    const int32_t first = run.draw();
    const uint64_t vehicleSeed = run.vehicleSeed(17);
    EXPECT_NE(run.vehicleSeed(18), vehicleSeed);
    run.setSeed(2026);
    EXPECT_EQ(run.draw(), first);
    EXPECT_EQ(run.vehicleSeed(17), vehicleSeed);

    SimulationData data(QTime(8, 0), 5);
    int counts[3] = {0, 0, 0}; // cars of three, four and five metres
    for (int i = 0; i < 3000; ++i) {
        Car car(data);
        ASSERT_TRUE(car.length() == 12 || car.length() == 16 || car.length() == 20) << car.length();
        ++counts[(car.length() - 12) / 4];
    }
    for (int n : counts)
        EXPECT_NEAR(n, 1000, 120);
}
