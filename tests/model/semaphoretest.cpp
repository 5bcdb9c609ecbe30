// The signal cycle: 20 s green, 3 s amber, then the next group's 3 s amber and 20 s green.

#include "model/semaphore.h"
#include "model/bindingrecords.h"
#include "osm/way.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

/// A semaphore with `n` groups, the way ends of distinct ways.
struct Signals
{
    std::vector<std::unique_ptr<Way>> ways;
    std::vector<std::unique_ptr<WayBinding>> bindings;
    std::vector<std::unique_ptr<WayEnd>> ends;
    Semaphore s;
    int stepsRun = 0;

    /// `groups` of the `n` way ends get a signal group.
    explicit Signals(int n, int groups)
    {
        for (int i = 0; i < n; ++i) {
            ways.push_back(std::make_unique<Way>());
            bindings.push_back(std::make_unique<WayBinding>(ways.back().get()));
            ends.push_back(std::make_unique<WayEnd>(bindings.back().get(), true, int64_t(ends.size())));
            if (i < groups)
                s.addGroup(ends.back().get());
        }
    }
    int32_t light(int i) const { return s.light(ends[size_t(i)].get()); }
    WayBinding *way(int i) const { return bindings[size_t(i)].get(); }
    void runTo(int step)
    {
        for (; stepsRun < step; ++stepsRun)
            s.update();
    }
};

} // namespace

TEST(SemaphoreCycle, FirstGroupStartsGreenOthersRed)
{
    Signals g(3, 3);
    EXPECT_EQ(g.light(0), Semaphore::Green);
    EXPECT_EQ(g.light(1), Semaphore::Red);
    EXPECT_EQ(g.light(2), Semaphore::Red);
    EXPECT_EQ(g.s.lights().size(), 3u);
    EXPECT_DOUBLE_EQ(g.s.timer(), 20.0);
}

TEST(SemaphoreCycle, TwoGroupsHandOver)
{
    Signals g(2, 2);
    const auto G = Semaphore::Green, A = Semaphore::Amber, R = Semaphore::Red;
    struct Row
    {
        int step;
        Semaphore::Light first, second;
        int current;
    };
    // Steps of 250 ms: 80 = 20 s, 92 = 23 s, 104 = 26 s; a full cycle is 2 · 26 s.
    const Row rows[] = {{79, G, R, 0},  {80, A, R, 0},  {91, A, R, 0}, {92, R, A, 1},
                        {103, R, A, 1}, {104, R, G, 1}, {208, G, R, 0}};
    for (const Row &r : rows) {
        g.runTo(r.step);
        EXPECT_EQ(g.light(0), r.first) << "step " << r.step;
        EXPECT_EQ(g.light(1), r.second) << "step " << r.step;
        EXPECT_EQ(g.s.current(), r.current) << "step " << r.step;
    }
    EXPECT_EQ(g.s.phase(), Semaphore::GreenRunning);
}

TEST(SemaphoreCycle, OneGroupShowsAmberTwiceThenGreen)
{
    Signals g(1, 1);
    for (int step : {80, 92, 103}) {
        g.runTo(step);
        EXPECT_EQ(g.light(0), Semaphore::Amber) << "step " << step;
        // From step 92 on it is amber as the old and the new group at once.
        EXPECT_EQ(g.s.phase() == Semaphore::AmberStarting, step != 80);
    }
    g.runTo(104);
    EXPECT_EQ(g.light(0), Semaphore::Green);
}

TEST(SemaphoreCycle, IsGreenByWay)
{
    Signals g(3, 2);
    EXPECT_TRUE(g.s.isGreen(g.way(0)));
    EXPECT_FALSE(g.s.isGreen(g.way(1)));
    EXPECT_TRUE(g.s.isGreen(g.way(2))); // no group for that way
    g.runTo(80);
    EXPECT_FALSE(g.s.isGreen(g.way(0))); // amber is not green
}

TEST(SemaphoreCycle, WithoutGroupsNothingBreaks)
{
    Signals g(0, 0);
    g.runTo(500);
    EXPECT_TRUE(g.s.lights().empty());
    EXPECT_TRUE(g.s.isGreen(nullptr));
}
