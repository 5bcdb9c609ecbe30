// Cars driving through converted networks: the step phases run by hand on a small grid of
// crossroads and on the default map, counting cars that enter, cross crossroads and leave, and
// the cells that two vehicles share after a move.

#include "engine/simulationcontrol.h"
#include "model/car.h"
#include "model/random.h"
#include "tests/convert/testnetwork.h"

#include <gtest/gtest.h>

#include <set>
#include <unordered_set>

using testmaps::TestNetwork;

namespace {

/// What a run of the step phases saw.
struct TrafficCounts
{
    size_t entered = 0;  ///< cars placed by generators
    size_t crossed = 0;  ///< cars that had a cell inside a crossroad at some step
    size_t finished = 0; ///< cars removed at a network exit
    size_t badExits = 0; ///< finished cars whose front was not at the end of a chain without crossroad
    /// Body cells whose `vehicle` is another vehicle after a move, away from crossroads (where
    /// deadlock resolution may squeeze vehicles together).
    size_t plainOverlaps = 0;
};

/// Cells within `reach` links of a crossroad: the last cells of lanes entering one and the first
/// cells of lanes leaving one.
std::unordered_set<const Cell *> cellsNearCrossroads(const SimulationData &sim, int reach)
{
    std::unordered_set<const Cell *> near;
    for (const Crossroad *x : sim.crossroads) {
        for (const auto &entry : x->paths) {
            const Cell *c = entry.first->lastCell;
            for (int i = 0; c && i < reach; ++i, c = c->previous)
                near.insert(c);
            for (const PathPair &pair : entry.second) {
                c = pair.exitLane ? pair.exitLane->firstCell : nullptr;
                for (int i = 0; c && i < reach; ++i, c = c->next)
                    near.insert(c);
            }
        }
    }
    return near;
}

/// Runs `steps` steps phase by hand and checks the cells of every car after each move.
TrafficCounts drive(SimulationData &sim, int steps)
{
    TrafficCounts counts;
    // A car is at most 20 cells long and moves at most 14 cells a step.
    const std::unordered_set<const Cell *> near = cellsNearCrossroads(sim, 40);
    std::set<int32_t> crossedIds;
    SimulationControl control(&sim);
    for (int step = 0; step < steps; ++step) {
        control.advanceClock();
        control.updateSemaphores();
        control.decideVehicles();
        for (const Car *car : sim.cars) {
            if (!car->isFinished())
                continue;
            ++counts.finished;
            const Cell *front = car->frontCell();
            if (!front || front->crossroad || front->cellsToEnd() > 1)
                ++counts.badExits;
        }
        control.removeFinishedVehicles();
        control.commitSpeeds();
        control.resolveDeadlocks();
        control.moveVehicles();
        for (const Car *car : sim.cars)
            for (const Cell *c : car->cells()) {
                if (c->inCrossroad)
                    crossedIds.insert(car->id());
                if (c->vehicle != car && !c->inCrossroad && !near.count(c))
                    ++counts.plainOverlaps;
            }
        control.dispatchDepartures();
        const size_t before = sim.cars.size();
        control.runGenerators();
        counts.entered += sim.cars.size() - before;
    }
    counts.crossed = crossedIds.size();
    return counts;
}

/// Two east–west streets crossed by three north–south streets: six four-arm crossroads, the
/// middle one of the southern street signalled, and ten dead ends where cars enter and leave.
struct Grid : TestNetwork
{
    Grid()
    {
        int64_t id = 1;
        auto add = [this, &id](double x, double y, bool signalled = false) {
            node(id, x, y, signalled);
            return id++;
        };
        const int64_t w0 = add(-200, 0), e0 = add(200, 0), w1 = add(-200, 100), e1 = add(200, 100);
        std::vector<int64_t> south = {w0}, north = {w1};
        int64_t wayId = 100;
        for (double x : {-100.0, 0.0, 100.0}) {
            const int64_t a = add(x, 0, x == 0.0);
            const int64_t b = add(x, 100);
            south.push_back(a);
            north.push_back(b);
            way({wayId++, {add(x, -100), a, b, add(x, 200)}});
        }
        south.push_back(e0);
        north.push_back(e1);
        way({wayId++, south});
        way({wayId++, north});
        run();
    }
};

/// The counts a run must reach: cars enter, cross crossroads and leave only at chain ends, and
/// follow each other on lanes without ever moving onto one another.
void expectTraffic(const TrafficCounts &counts, size_t finished)
{
    EXPECT_GT(counts.entered, 100u);
    EXPECT_GT(counts.crossed, 50u);
    EXPECT_GT(counts.finished, finished);
    EXPECT_EQ(counts.badExits, 0u);
    EXPECT_EQ(counts.plainOverlaps, 0u);
}

} // namespace

TEST(CrossroadTraffic, CarsCrossTheGridAndLeaveAtItsEnds)
{
    Grid grid;
    ASSERT_EQ(grid.sim.crossroads.size(), 6u);
    ASSERT_EQ(grid.sim.semaphores.size(), 1u);
    ASSERT_EQ(grid.sim.generators.size(), 10u);
    expectTraffic(drive(grid.sim, 2400), 50u); // ten minutes
}
