// Waits that never end by themselves: a cycle of vehicles each waiting for the next, a vehicle
// waiting for room on a lane that others keep filling, and one that yields to a stream without gaps.

#include "model/waitcycles.h"
#include "model/cell.h"
#include "model/chain.h"
#include "model/crossroad.h"
#include "model/rightofway.h"
#include "testnetwork.h"

#include <gtest/gtest.h>

using A = FourArmCrossroad;

namespace {

/// Cars handed to `data`, which owns and deletes them.
std::vector<TestCar *> carsOf(SimulationData &data, int count)
{
    std::vector<TestCar *> cars;
    for (int i = 0; i < count; ++i) {
        cars.push_back(new TestCar());
        data.cars.push_back(cars.back());
    }
    return cars;
}

/// Commits the standing `car` `steps` times, as the step does, so that what it waits for shows.
void standFor(TestCar &car, int32_t steps)
{
    for (int32_t i = 0; i < steps; ++i)
        car.commitSpeed();
}

} // namespace

TEST(WaitCycles, OneOfTwoCarsYieldingToEachOtherTakesItsTurnAndAChainIsLeftAlone)
{
    // Each yields to the other (priority rules that contradict each other at a misshapen crossroad,
    // or two crossroads whose queues reach into each other): the one with the lower id goes.
    for (const bool closed : {true, false}) {
        FourArmCrossroad x(120);
        std::vector<TestCar *> cars = carsOf(x.data, 3);
        TestCar &west = *cars[0], &north = *cars[1], &moving = *cars[2];
        x.arrive(west, A::W, A::E);
        x.arrive(north, A::N, A::S);
        x.arrive(moving, A::S, A::N, 40);
        moving.setSpeed(3);
        west.setWaiting(WaitCause::RightOfWay, &north);
        north.setWaiting(WaitCause::RightOfWay, closed ? &west : &moving);
        WaitCycles cycles;
        EXPECT_EQ(cycles.breakAll(x.data), closed ? 1 : 0);
        EXPECT_EQ(west.speed(), closed ? 1 : 0) << "the lower id takes its turn";
        EXPECT_EQ(north.speed(), 0);
        EXPECT_EQ(cycles.isLocked(&north), closed);
    }
}

TEST(WaitCycles, ARingOfCarsEachBehindTheNextCreepsOnTogether)
{
    // A ring road full of cars of 12 cells, each standing behind the next: no rule can let one go,
    // but every one has a free cell ahead, or the cell the car ahead leaves in the same move when
    // they stand bumper to bumper.
    for (const int gap : {8, 0}) {
        SimulationData data;
        const int count = 5;
        std::vector<Cell *> ring = makeChain(data, count * (12 + gap));
        link(ring.back(), ring.front());
        std::vector<TestCar *> cars = carsOf(data, count);
        for (size_t i = 0; i < cars.size(); ++i)
            putAt(ring[11 + (12 + gap) * i], cars[i]->setLength(12));
        for (size_t i = 0; i < cars.size(); ++i)
            cars[i]->setWaiting(WaitCause::VehicleAhead, cars[(i + 1) % cars.size()]);
        WaitCycles cycles;
        EXPECT_EQ(cycles.breakAll(data), count) << gap;
        for (const TestCar *car : cars)
            EXPECT_EQ(car->speed(), 1) << gap;
    }
}

TEST(RoomOrder, RoomAfterACrossroadGoesToTheLongestWaiterWhateverThePriority)
{
    // Both wait for room on the lane east. The west yields to the south and the north to the west;
    // the room goes to the one that has waited longer, and one standing out of its turn lets the
    // other pass.
    struct Row
    {
        const char *what;
        A::Arm other;      ///< where the second car comes from, heading east like the first
        int32_t westWaits; ///< steps the car from the west has stood for room
        int32_t otherWaits;
        bool othersTurn; ///< whether the room is the second car's to take
    };
    const Row rows[] = {
        {"the south came later", A::S, 10, 2, false},
        {"the south waited longer", A::S, 10, 20, true},
        {"the north came later", A::N, 10, 2, false},
        {"the north waited longer", A::N, 10, 20, true},
    };
    for (const Row &row : rows) {
        FourArmCrossroad x(120);
        std::vector<TestCar *> cars = carsOf(x.data, 2);
        TestCar &west = *cars[0], &other = *cars[1];
        x.arrive(west, A::W, A::E);
        x.arrive(other, row.other, A::E);
        west.setWaiting(WaitCause::ExitRoom);
        other.setWaiting(WaitCause::ExitRoom);
        standFor(west, row.westWaits);
        standFor(other, row.otherWaits);
        EXPECT_EQ(x.crossroad->isTurnForRoom(&other), row.othersTurn) << row.what;
        EXPECT_EQ(x.crossroad->isTurnForRoom(&west), !row.othersTurn) << row.what;
        if (row.other == A::S) {
            // Once room shows, the south waits only for its turn; out of it, it does not hold up the west.
            other.setWaiting(WaitCause::RightOfWay, &west);
            standFor(other, 1);
            const bool southBlocks = conflictingLaneBlocker(x.in(A::S), {x.out(A::E)}, 20, &west) == &other;
            EXPECT_EQ(southBlocks, row.othersTurn) << row.what;
        }
    }
}

TEST(RoomOrder, OneWhoseTailStandsInTheCrossroadBehindGoesFirstForAMinuteAtMost)
{
    // The south car came through a lane shorter than itself: its tail still holds the crossroad
    // behind it (here, a cell of its body marked as a crossroad's). It goes before the west car,
    // which waited longer, until the west car has waited past a minute.
    for (const int32_t westWaits : {10, LONG_WAIT}) {
        FourArmCrossroad x(120);
        std::vector<TestCar *> cars = carsOf(x.data, 2);
        TestCar &west = *cars[0], &south = *cars[1];
        x.arrive(west, A::W, A::E);
        x.arrive(south, A::S, A::E);
        south.cells().back()->inCrossroad = true;
        west.setWaiting(WaitCause::ExitRoom);
        south.setWaiting(WaitCause::ExitRoom);
        standFor(west, westWaits);
        standFor(south, 2);
        const bool southFirst = westWaits < LONG_WAIT;
        EXPECT_EQ(x.crossroad->isTurnForRoom(&south), southFirst) << westWaits;
        EXPECT_EQ(x.crossroad->isTurnForRoom(&west), !southFirst) << westWaits;
        south.cells().back()->inCrossroad = false;
    }
}

namespace {

/// far ─stop line─> path ─> between ─stop line─> path ─> link ─> (a crossroad) ─> room
struct LanesBeforeALink
{
    LanesBeforeALink()
    {
        lane(far, 40);
        lane(between, 20);
        lane(link, 12);
        lane(room, 40);
        intoLink = pathInto(between, link);
        intoBetween = pathInto(far, between);
    }
    void lane(LaneBinding &binding, int cells)
    {
        std::vector<Cell *> chain = makeChain(data, cells);
        for (Cell *c : chain)
            c->setWayLink(&binding);
        binding.firstCell = chain.front();
        binding.lastCell = chain.back();
    }
    Cell *pathInto(LaneBinding &from, LaneBinding &to)
    {
        Cell *path = makeChain(data, 4).front();
        path->setPrevious(from.lastCell);
        to.pathsInto.push_back(path);
        return path;
    }
    SimulationData data;
    LaneBinding far, between, link, room, other;
    Cell *intoLink = nullptr;
    Cell *intoBetween = nullptr;
};

} // namespace

TEST(RoomOrder, OneWaitingBeforeALaneShorterThanItselfIsWaitedForAfterThatLane)
{
    {
        LanesBeforeALink lanes;
        std::vector<TestCar *> cars = carsOf(lanes.data, 2);
        TestCar &bus = cars[0]->setLength(16), &car = *cars[1];
        putAt(lanes.between.lastCell, bus);
        bus.setWaitingForRoom(&lanes.room, lanes.intoLink, 30);
        EXPECT_EQ(upstreamWaiterForRoom(&lanes.link, &lanes.room, &car, 10), &bus);
        EXPECT_EQ(upstreamWaiterForRoom(&lanes.link, &lanes.room, &car, 40), nullptr) << "the asker waited longer";
        EXPECT_EQ(upstreamWaiterForRoom(&lanes.link, &lanes.other, &car, 10), nullptr) << "it waits for other room";
        // The lane counts the vehicles that show they wait for its room.
        EXPECT_EQ(lanes.room.waitersForRoom, 1);
        bus.commitSpeed(); // still standing, still waiting for that room
        EXPECT_EQ(lanes.room.waitersForRoom, 1);
        bus.setSpeed(1).commitSpeed();
        EXPECT_EQ(lanes.room.waitersForRoom, 0);
        bus.setSpeed(0).setWaitingForRoom(&lanes.room, lanes.intoLink, 30);
        bus.withdrawShownWaits(); // leaving the run
        EXPECT_EQ(lanes.room.waitersForRoom, 0);
        EXPECT_EQ(bus.shownRoomLane(), nullptr);
    }
    // Two lanes back, through a lane that holds no vehicle; a vehicle on it is the one to wait for.
    for (const bool carBetween : {false, true}) {
        LanesBeforeALink lanes;
        std::vector<TestCar *> cars = carsOf(lanes.data, 2);
        TestCar &bus = cars[0]->setLength(16), &car = *cars[1];
        putAt(lanes.far.lastCell, bus);
        bus.setWaitingForRoom(&lanes.room, lanes.intoBetween, 30);
        if (carBetween)
            putAt(lanes.between.firstCell->cellAhead(10), car.setLength(8));
        EXPECT_EQ(upstreamWaiterForRoom(&lanes.link, &lanes.room, nullptr, 10), carBetween ? nullptr : &bus);
    }
    // At the crossroad after that lane, one that has waited less for the same room lets it pass.
    FourArmCrossroad x(120);
    std::vector<TestCar *> cars = carsOf(x.data, 2);
    TestCar &bus = cars[0]->setLength(16), &car = *cars[1];
    const std::vector<Cell *> upstream = makeChain(x.data, 40);
    Cell *intoWest = makeChain(x.data, 4).front();
    intoWest->setPrevious(upstream.back());
    x.in(A::W)->pathsInto.push_back(intoWest);
    putAt(upstream.back(), bus);
    bus.setWaitingForRoom(x.out(A::E), intoWest, 30);
    x.arrive(car, A::S, A::E);
    standFor(car, 10);
    EXPECT_EQ(x.crossroad->longerWaiterForRoom(&car), &bus);
    bus.setSpeed(1).commitSpeed(); // it moves on: nobody waits for that room any more
    EXPECT_EQ(x.crossroad->longerWaiterForRoom(&car), nullptr);
}

TEST(RightOfWay, AfterAMinuteTheStreamLetsInTheCarThatYieldsToIt)
{
    // The west yields to traffic from the south. A car of that stream which can still stop before
    // the crossroad holds up the west only until the west has waited a minute.
    struct Row
    {
        int32_t waited;
        int32_t distance; ///< cells from the stream car's front to its stop line
        int32_t speed;
        bool blocks;
    };
    const Row rows[] = {
        {10, 40, 6, true}, {LONG_WAIT, 40, 6, false}, {LONG_WAIT, 10, 6, true}, // it could not stop in time
    };
    for (const Row &row : rows) {
        FourArmCrossroad x(120);
        std::vector<TestCar *> cars = carsOf(x.data, 2);
        TestCar &west = *cars[0], &stream = *cars[1];
        x.arrive(west, A::W, A::E);
        x.arrive(stream, A::S, A::N, row.distance);
        stream.setSpeed(row.speed).commitSpeed();
        standFor(west, row.waited);
        const Vehicle *blocker = conflictingLaneBlocker(x.in(A::S), {x.out(A::N)}, 20, &west);
        EXPECT_EQ(blocker == &stream, row.blocks) << row.waited << " steps, " << row.distance << " cells";
        // And the stream car lets it go. Once it has gone, no long waiter is left to let go.
        EXPECT_EQ(longWaiterToLetGo(x.crossroad, &stream) == &west, row.waited >= LONG_WAIT) << row.waited;
        west.setSpeed(1);
        ASSERT_TRUE(moveAlone(west));
        west.commitSpeed();
        EXPECT_EQ(x.crossroad->longStanders.load(), 0);
    }
}
