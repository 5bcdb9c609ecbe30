// The signal cycle: 20 s green, 3 s amber, then the next group's 3 s amber and 20 s green.

#include "model/semaphore.h"
#include "model/bindingrecords.h"
#include "osm/way.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

/// Way ends of distinct ways to serve as signal groups.
struct Groups
{
    std::vector<std::unique_ptr<Way>> ways;
    std::vector<std::unique_ptr<WayBinding>> bindings;
    std::vector<std::unique_ptr<WayEnd>> ends;

    explicit Groups(int n)
    {
        for (int i = 0; i < n; ++i) {
            ways.push_back(std::make_unique<Way>());
            bindings.push_back(std::make_unique<WayBinding>(ways.back().get()));
            ends.push_back(std::make_unique<WayEnd>(bindings.back().get(), true));
        }
    }
    WayEnd *operator[](int i) const { return ends[size_t(i)].get(); }
    WayBinding *way(int i) const { return bindings[size_t(i)].get(); }
};

void run(Semaphore &s, int steps)
{
    for (int i = 0; i < steps; ++i)
        s.update();
}

} // namespace

TEST(SemaphoreCycle, FirstGroupStartsGreenOthersRed)
{
    Groups g(3);
    Semaphore s;
    s.addGroup(g[0]);
    s.addGroup(g[1]);
    s.addGroup(g[2]);
    EXPECT_EQ(s.light(g[0]), Semaphore::Green);
    EXPECT_EQ(s.light(g[1]), Semaphore::Red);
    EXPECT_EQ(s.light(g[2]), Semaphore::Red);
    EXPECT_EQ(s.groups().size(), 3u);
    EXPECT_EQ(s.lights().size(), 3u);
    EXPECT_DOUBLE_EQ(s.timer(), 20.0);
}

TEST(SemaphoreCycle, TwoGroupsHandOver)
{
    Groups g(2);
    Semaphore s;
    s.addGroup(g[0]);
    s.addGroup(g[1]);
    run(s, 79);
    EXPECT_EQ(s.light(g[0]), Semaphore::Green);
    EXPECT_EQ(s.light(g[1]), Semaphore::Red);
    run(s, 1); // step 80: 20 s
    EXPECT_EQ(s.light(g[0]), Semaphore::Amber);
    EXPECT_EQ(s.light(g[1]), Semaphore::Red);
    run(s, 11); // step 91
    EXPECT_EQ(s.light(g[0]), Semaphore::Amber);
    run(s, 1); // step 92: 23 s
    EXPECT_EQ(s.light(g[0]), Semaphore::Red);
    EXPECT_EQ(s.light(g[1]), Semaphore::Amber);
    EXPECT_EQ(s.current(), 1);
    run(s, 11); // step 103
    EXPECT_EQ(s.light(g[1]), Semaphore::Amber);
    run(s, 1); // step 104: 26 s
    EXPECT_EQ(s.light(g[0]), Semaphore::Red);
    EXPECT_EQ(s.light(g[1]), Semaphore::Green);
    // A full cycle of 2 · 26 s brings back the start.
    run(s, 104);
    EXPECT_EQ(s.light(g[0]), Semaphore::Green);
    EXPECT_EQ(s.light(g[1]), Semaphore::Red);
    EXPECT_EQ(s.current(), 0);
    EXPECT_EQ(s.phase(), Semaphore::GreenRunning);
}

TEST(SemaphoreCycle, OneGroupShowsAmberTwiceThenGreen)
{
    Groups g(1);
    Semaphore s;
    s.addGroup(g[0]);
    run(s, 80);
    EXPECT_EQ(s.light(g[0]), Semaphore::Amber);
    run(s, 12);
    EXPECT_EQ(s.light(g[0]), Semaphore::Amber); // the old and the new group at once
    EXPECT_EQ(s.phase(), Semaphore::AmberStarting);
    run(s, 11);
    EXPECT_EQ(s.light(g[0]), Semaphore::Amber);
    run(s, 1);
    EXPECT_EQ(s.light(g[0]), Semaphore::Green);
}

TEST(SemaphoreCycle, IsGreenByWay)
{
    Groups g(3);
    Semaphore s;
    s.addGroup(g[0]);
    s.addGroup(g[1]);
    EXPECT_TRUE(s.isGreen(g.way(0)));
    EXPECT_FALSE(s.isGreen(g.way(1)));
    EXPECT_TRUE(s.isGreen(g.way(2))); // no group for that way
    run(s, 80);
    EXPECT_FALSE(s.isGreen(g.way(0))); // amber is not green
}

TEST(SemaphoreCycle, WithoutGroupsNothingBreaks)
{
    Semaphore s;
    run(s, 500);
    EXPECT_TRUE(s.lights().empty());
    EXPECT_TRUE(s.isGreen(nullptr));
}
