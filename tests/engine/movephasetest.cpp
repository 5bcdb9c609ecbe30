#include "tests/model/testnetwork.h"

#include "engine/movephase.h"
#include "model/cell.h"
#include "model/simulationdata.h"

#include <gtest/gtest.h>

#include <set>

namespace {

/// Whether every cell of every car of `data` has that car as its occupant, and no cell is on two bodies.
bool eachCellHoldsOneBody(const SimulationData &data)
{
    std::set<const Cell *> seen;
    for (const Car *car : data.cars)
        for (const Cell *cell : car->cells())
            if (cell->vehicle() != car || !seen.insert(cell).second)
                return false;
    return true;
}

} // namespace

TEST(MovePhase, AVehicleThatRunsIntoAnotherAdvancesAsFarAsItFitsAndTakesThatSpeed)
{
    // Pairs of cars on lanes of their own, each follower faster than the gap to its leader allows;
    // enough of them that the phase spreads the vehicles over the thread pool. Every third leader
    // stands still, the others move on.
    constexpr int PAIRS = 80;
    constexpr int LENGTH = 16;
    constexpr int LEADER_FRONT = 150;
    constexpr int FOLLOWER_FRONT = 100;
    SimulationData data(QTime(8, 0));
    std::vector<std::vector<Cell *>> lanes;
    for (int p = 0; p < PAIRS; ++p)
        lanes.push_back(makeChain(data, 200, Location(50.0 + 0.001 * p, 14.0)));
    precomputeCells(data.allCells());
    std::vector<TestCar *> leaders, followers;
    for (int p = 0; p < PAIRS; ++p) {
        leaders.push_back(new TestCar);
        followers.push_back(new TestCar);
        leaders[p]->setLength(LENGTH).setSpeed(p % 3 == 0 ? 0 : 4);
        followers[p]->setLength(LENGTH).setSpeed(45); // its front would end inside the leader
        putAt(lanes[p][LEADER_FRONT], *leaders[p]);
        putAt(lanes[p][FOLLOWER_FRONT], *followers[p]);
        data.cars.push_back(followers[p]); // the follower moves first: the order must not matter
        data.cars.push_back(leaders[p]);
    }

    MovePhase().run(data);

    for (int p = 0; p < PAIRS; ++p) {
        SCOPED_TRACE(p);
        const int leaderFront = LEADER_FRONT + (p % 3 == 0 ? 0 : 4);
        EXPECT_EQ(leaders[p]->frontCell(), lanes[p][leaderFront]);
        const int followerFront = leaderFront - LENGTH; // right behind the leader's tail
        EXPECT_EQ(followers[p]->frontCell(), lanes[p][followerFront]);
        EXPECT_EQ(followers[p]->speed(), followerFront - FOLLOWER_FRONT);
    }
    EXPECT_TRUE(eachCellHoldsOneBody(data));
    // Nothing is left on the cells the followers left.
    for (int p = 0; p < PAIRS; ++p)
        EXPECT_EQ(lanes[p][FOLLOWER_FRONT - LENGTH + 1]->vehicle(), nullptr);
}

TEST(MovePhase, MoversThatDoNotMeetTakeTheirCellsAndFreeTheOldOnes)
{
    SimulationData data(QTime(8, 0));
    std::vector<Cell *> lane = makeChain(data, 300);
    precomputeCells(data.allCells());
    // Nose to tail, all moving at the same speed: each moves into cells the one ahead just left.
    std::vector<TestCar *> cars;
    for (int k = 0; k < 100; ++k) {
        cars.push_back(new TestCar);
        cars[k]->setLength(2).setSpeed(3);
        putAt(lane[size_t(2 + 2 * k)], *cars[k]);
        data.cars.push_back(cars[k]);
    }
    MovePhase().run(data);
    for (int k = 0; k < 100; ++k) {
        EXPECT_EQ(cars[k]->frontCell(), lane[size_t(5 + 2 * k)]) << k;
        EXPECT_EQ(cars[k]->speed(), 3) << k;
    }
    EXPECT_TRUE(eachCellHoldsOneBody(data));
    EXPECT_EQ(lane[0]->vehicle(), nullptr);
    EXPECT_EQ(lane[3]->vehicle(), nullptr);
}

TEST(MovePhase, ClaimsOfSeveralOnOneCellAreSettledRoundByRoundAndLeftToTheLastWhenNobodyCanGiveWay)
{
    SimulationData data(QTime(8, 0));
    std::vector<Cell *> lane = makeChain(data, 120);
    std::vector<Cell *> bay = makeChain(data, 120, Location(50.0001, 14.0));
    for (size_t i = 0; i < lane.size(); ++i)
        linkSide(lane[i], bay[i]);
    precomputeCells(data.allCells());
    // Three cars of four cells whose moves end on the same cells as a standing leader's: the
    // cells ahead are claimed by three at once, and the two movers give way a cell at a time,
    // the one behind last, since on a tie of fronts the later in moving order gives way.
    auto &leader = *new TestCar, &middle = *new TestCar, &back = *new TestCar;
    auto &standing = *new TestCar, &stepping = *new TestCar;
    data.cars = {&leader, &middle, &back, &standing, &stepping}; // moving order; the run owns them
    leader.setLength(4).setSpeed(0);
    middle.setLength(4).setSpeed(4);
    back.setLength(4).setSpeed(9);
    putAt(lane[100], leader);
    putAt(lane[95], middle);
    putAt(lane[90], back);
    // A car stepping sideways without moving on, onto cells beside it that a standing car holds:
    // neither can give way, so the cells go to the later in moving order.
    standing.setLength(4).setSpeed(0);
    stepping.setLength(4).setSpeed(0).setLaneChange(LaneChange::ToSide);
    putAt(bay[49], standing);
    putAt(lane[50], stepping);

    MovePhase phase;
    phase.run(data);

    EXPECT_EQ(leader.frontCell(), lane[100]);
    EXPECT_EQ(middle.frontCell(), lane[96]);
    EXPECT_EQ(middle.speed(), 1);
    EXPECT_EQ(back.frontCell(), lane[92]);
    EXPECT_EQ(back.speed(), 2);
    for (int i = 89; i <= 100; ++i)
        EXPECT_EQ(lane[size_t(i)]->vehicle(), i > 96 ? &leader : i > 92 ? &middle : &back) << i;
    EXPECT_EQ(lane[88]->vehicle(), nullptr);
    EXPECT_EQ(stepping.frontCell(), bay[50]);
    for (int i = 46; i <= 50; ++i)
        EXPECT_EQ(bay[size_t(i)]->vehicle(), i == 46 ? &standing : &stepping) << i;
    EXPECT_EQ(lane[50]->vehicle(), nullptr);

    // The standing car's body still covers cells the stepping one holds. Once a clash elsewhere
    // is settled, they count as claimed by both: the stepping car, moving on along the bay, gives
    // way, for the standing one cannot.
    middle.setSpeed(4);
    back.setSpeed(0);
    stepping.setSpeed(1).setLaneChange(LaneChange::None);
    phase.run(data);
    EXPECT_EQ(middle.frontCell(), lane[96]);
    EXPECT_EQ(stepping.frontCell(), bay[50]);
    EXPECT_EQ(stepping.speed(), 0);
    EXPECT_EQ(bay[51]->vehicle(), nullptr);

    // The standing car steps back out of the bay: it frees only the cell it held.
    middle.setSpeed(0);
    stepping.setSpeed(0);
    standing.setLaneChange(LaneChange::ToSideOf);
    phase.run(data);
    EXPECT_EQ(standing.frontCell(), lane[49]);
    EXPECT_EQ(bay[46]->vehicle(), nullptr);
    for (int i = 47; i <= 50; ++i)
        EXPECT_EQ(bay[size_t(i)]->vehicle(), &stepping) << i;
}
