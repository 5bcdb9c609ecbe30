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

TEST(StepPacer, StepsWaitTheRestOfThePeriodAndSlowStepsAccumulateOvertime)
{
    ManualPacer pacer;
    EXPECT_EQ(pacer.idlePercent(), 0);
    pacer.setPeriod(250);
    pacer.clockMs += 40; // the step took 40 ms
    EXPECT_EQ(pacer.nextDelay(), 210);
    pacer.clockMs += 210 + 100; // waited, then a 100 ms step
    EXPECT_EQ(pacer.nextDelay(), 150);
    EXPECT_EQ(pacer.averageIdle(), 180);
    EXPECT_EQ(pacer.idlePercent(), 72);
    EXPECT_EQ(pacer.overtime(), 0);
    pacer.clockMs += 150;
    for (int i = 1; i <= 10; ++i) {
        pacer.clockMs += 300; // steps longer than the period keep the first rhythm
        EXPECT_EQ(pacer.nextDelay(), 0);
        EXPECT_EQ(pacer.overtime(), 50 * i);
    }
    EXPECT_EQ(pacer.idleTimes().size(), 8u); // the eight newest waits
    EXPECT_EQ(pacer.idlePercent(), 0);
    pacer.setPeriod(50);
    EXPECT_TRUE(pacer.idleTimes().empty());
    pacer.clockMs += 20;
    EXPECT_EQ(pacer.nextDelay(), 30); // one new period after the change
}
