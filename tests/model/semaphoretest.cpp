// The signal cycle: 20 s green, 3 s amber, then the next group's 3 s amber and 20 s green.

#include "testnetwork.h"

#include "model/semaphore.h"

#include <gtest/gtest.h>

using A = FourArmCrossroad;

TEST(SemaphoreCycle, GroupsTakeTurnsThroughAmberAndALoneGroupComesBackToGreen)
{
    FourArmCrossroad x(10);
    Semaphore *four = x.addSemaphore(); // groups W, S, E, N
    Semaphore alone, none;
    alone.addGroup(x.end(A::W));
    const auto G = Semaphore::Green, Y = Semaphore::Amber, R = Semaphore::Red;
    struct Row
    {
        int step;
        Semaphore::Light w, s, e, alone;
    };
    // Steps of 250 ms: 80 = 20 s, 92 = 23 s, 104 = 26 s. A lone group is amber as the old and
    // the new group at once.
    const Row rows[] = {{0, G, R, R, G},   {79, G, R, R, G},  {80, Y, R, R, Y},  {92, R, Y, R, Y}, {103, R, Y, R, Y},
                        {104, R, G, R, G}, {196, R, R, Y, Y}, {208, R, R, G, G}, {416, G, R, R, G}};
    int steps = 0;
    for (const Row &r : rows) {
        for (; steps < r.step; ++steps) {
            four->update();
            alone.update();
            none.update();
        }
        EXPECT_EQ(four->light(x.end(A::W)), r.w) << "step " << r.step;
        EXPECT_EQ(four->light(x.end(A::S)), r.s) << "step " << r.step;
        EXPECT_EQ(four->light(x.end(A::E)), r.e) << "step " << r.step;
        EXPECT_EQ(alone.light(x.end(A::W)), r.alone) << "step " << r.step;
        EXPECT_EQ(four->isGreen(x.way(A::W)), r.w == G) << "step " << r.step; // amber is not green
    }
    EXPECT_TRUE(alone.isGreen(x.way(A::S))); // no group for that way
    EXPECT_TRUE(none.lights().empty());
    EXPECT_TRUE(none.isGreen(nullptr));
}
