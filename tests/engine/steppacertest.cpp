#include "engine/steppacer.h"

#include <gtest/gtest.h>

namespace {

/// A pacer whose clock the test moves by hand.
class ManualPacer : public StepPacer
{
public:
    int64_t now() const override { return clockMs; }
    int64_t clockMs = 1000;
};

} // namespace

TEST(StepPacer, OnTimeStepsWaitTheRestOfThePeriod)
{
    ManualPacer pacer;
    pacer.setPeriod(250);
    pacer.clockMs += 40; // the step took 40 ms
    EXPECT_EQ(pacer.nextDelay(), 210);
    EXPECT_EQ(pacer.overtime(), 0);
    pacer.clockMs += 210 + 100; // waited, then a 100 ms step
    EXPECT_EQ(pacer.nextDelay(), 150);
    EXPECT_EQ(pacer.averageIdle(), 180);
    EXPECT_EQ(pacer.idlePercent(), 72);
}

TEST(StepPacer, SlowStepsKeepTheFirstRhythmAndAccumulateOvertime)
{
    ManualPacer pacer;
    pacer.setPeriod(250);
    for (int i = 1; i <= 5; ++i) {
        pacer.clockMs += 300;
        EXPECT_EQ(pacer.nextDelay(), 0);
        EXPECT_EQ(pacer.overtime(), 50 * i);
    }
    EXPECT_EQ(pacer.idlePercent(), 0);
}

TEST(StepPacer, HistoryKeepsTheEightNewestWaitsAndRestartsWithThePeriod)
{
    ManualPacer pacer;
    EXPECT_EQ(pacer.idlePercent(), 0);
    EXPECT_EQ(pacer.averageIdle(), 0);
    pacer.setPeriod(100);
    for (int i = 0; i < 12; ++i) {
        pacer.clockMs = 1100 + 100 * i - i; // i ms before the i-th deadline
        pacer.nextDelay();
    }
    ASSERT_EQ(pacer.idleTimes().size(), 8u);
    EXPECT_EQ(pacer.idleTimes().front(), 11);
    EXPECT_EQ(pacer.idleTimes().back(), 4);
    pacer.setPeriod(50);
    EXPECT_TRUE(pacer.idleTimes().empty());
    pacer.clockMs += 20;
    EXPECT_EQ(pacer.nextDelay(), 30); // one new period after the change
}
