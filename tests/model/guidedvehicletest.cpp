// Buses on a hand-built street: the timetable after a stop, what other decisions see of a
// decision, and lane changes into bays.

#include "testguided.h"

#include "model/chain.h"
#include "model/lanechange.h"

#include <gtest/gtest.h>

#include <tuple>

TEST(GuidedTimetable, LoadingEndsEarlyOnTimeLateOrWithoutATime)
{
    struct Row
    {
        const char *what;
        std::vector<int32_t> offsets;
        int32_t departure;
        int32_t servedIndex; ///< index of the stop being served
        int32_t second;      ///< clock when loading ends
        GuidedState state;
        int32_t waitCount;
        int32_t maxSpeed;
        bool finished = false;
        bool offItsWays = false;
    };
    const Row rows[] = {
        {"10 s early", {0, 60}, 1000, 1, 1050, GuidedState::Waiting, 40, 11},
        {"on time", {0, 60}, 1000, 1, 1060, GuidedState::Waiting, 0, 11},
        {"30 s late", {0, 60}, 1000, 1, 1090, GuidedState::Driving, 0, 12},
        {"31 s late", {0, 60}, 1000, 1, 1091, GuidedState::Driving, 0, 14},
        {"due after midnight", {0, 600}, 86000, 1, 190, GuidedState::Waiting, 40, 11},
        {"late before midnight", {0, 600}, 85000, 1, 60, GuidedState::Driving, 0, 14},
        {"no time for the stop", {0}, 1000, 1, 1050, GuidedState::Driving, 0, 11},
        {"index far past the times", {0}, 1000, 5, 1050, GuidedState::Driving, 0, 11, true},
        // The line starts and ends at this stop: only the second visit ends the trip.
        {"last stop", {0, 60, 120}, 1000, 2, 1120, GuidedState::Waiting, 0, 11, true},
        {"early off its line's ways", {0, 600}, 1000, 1, 1050, GuidedState::Driving, 0, 11, false, true},
    };
    for (const Row &row : rows) {
        StopStreet street(200);
        OSMStop *stop = street.addBay(100, 60);
        const PublicTransportLine line = makeLine({7}, {stop->getId(), NO_CELL_STOP, stop->getId()}, row.offsets);
        TestBus bus(&line, row.departure);
        bus.setMaxSpeed(12).setState(GuidedState::Loading).setLoadCount(1).setStopIndex(row.servedIndex);
        if (row.offItsWays)
            bus.setWayIndex(1);
        putAt(street.bayCells.back(), bus);
        bus.decide(row.second);
        // Nothing of the decision shows before it is published.
        EXPECT_TRUE(bus.isLoading()) << row.what;
        EXPECT_EQ(bus.maxSpeed(), 12) << row.what;
        bus.publishDecision();
        // Others judge its arrival by the wait still ahead of it.
        const bool waiting = row.state == GuidedState::Waiting;
        EXPECT_EQ(std::make_tuple(bus.state(), bus.isWaiting(), bus.isLoading(), bus.waitCount(), bus.maxSpeed(),
                                  bus.stopIndex(), bus.isFinished(), bus.stepsToCover(0)),
                  std::make_tuple(row.state, waiting, false, row.waitCount, row.maxSpeed, row.servedIndex + 1,
                                  row.finished, waiting ? row.waitCount : 0))
            << row.what;
    }
}

TEST(LaneChange, IntoTheBayOnlyWithTheBayFreeBesideAheadAndBehind)
{
    struct Row
    {
        const char *what;
        int front;      ///< lane cell of the bus front; the bay lies beside lane cells 100 to 179
        int speed;      ///< of the bus
        int other;      ///< bay cell of the front of another vehicle, −1 for none
        int otherSpeed; ///< its speed
        LaneChange direction;
        bool allowed;
        bool twoBays = false; ///< the bay is two bays of 40 cells end to end
    };
    const Row rows[] = {
        {"free bay", 170, 3, -1, 0, LaneChange::ToSide, true},
        {"unknown direction", 170, 0, -1, 0, LaneChange(3), false},
        {"no lane beside the lane", 170, 0, -1, 0, LaneChange::ToSideOf, false},
        {"tail not beside the bay", 120, 0, -1, 0, LaneChange::ToSide, false},
        {"bay cell beside the body taken", 170, 0, 50, 0, LaneChange::ToSide, false},
        {"taken within the move ahead", 170, 3, 73, 0, LaneChange::ToSide, false},
        {"taken beyond the move ahead", 170, 3, 75, 0, LaneChange::ToSide, true},
        {"behind at its braking distance", 170, 0, 37, 2, LaneChange::ToSide, true},
        {"behind within its braking distance", 170, 0, 37, 3, LaneChange::ToSide, false},
        {"beside two bays", 170, 0, -1, 0, LaneChange::ToSide, false, true},
    };
    for (const Row &row : rows) {
        StopStreet street(300);
        if (row.twoBays) {
            street.addBay(100, 40);
            street.addBay(140, 40);
        } else {
            street.addBay(100, 80);
        }
        TestBus bus(nullptr, 0);
        bus.setSpeed(row.speed);
        putAt(street.lane[size_t(row.front)], bus);
        TestVehicle other;
        other.setLength(2).setSpeed(row.otherSpeed);
        if (row.other >= 0)
            putAt(street.bayCells[size_t(row.other)], other);
        EXPECT_EQ(canChangeLane(&bus, row.direction), row.allowed) << row.what;
    }
}

TEST(BusAtBay, ABusDrivesUpToTheEndOfABayNoLongerThanItselfAndPullsIn)
{
    // Following the end of the bay at a distance, as it follows a vehicle, the bus would stand with
    // its tail short of a bay as long as itself, and never get in.
    StopStreet street(300);
    OSMStop *stop = street.addBay(100, Bus::LENGTH);
    const PublicTransportLine line = makeLine({7}, {stop->getId()}, {0});
    TestBus bus(&line, 0);
    putAt(street.lane[40], bus);
    for (int step = 0; step < 200 && !bus.isLoading(); ++step) {
        bus.decide(0);
        bus.publishDecision();
        bus.commitSpeed();
        moveAlone(bus);
    }
    EXPECT_TRUE(bus.isLoading());
    EXPECT_EQ(bus.frontCell(), street.bayCells.back());
}

TEST(BusAtBay, TrafficThatCanStopLetsOutABusIndicatingInABay)
{
    // The bus has served the stop and waits for a gap to pull out; a car beside it drives on, a car
    // still far enough behind to stop stops short of it.
    StopStreet street(300);
    OSMStop *stop = street.addBay(100, 40);
    const PublicTransportLine line = makeLine({7}, {stop->getId(), NO_CELL_STOP}, {0, 60});
    TestBus bus(&line, 0);
    bus.setStopIndex(1);
    putAt(street.bayCells.back(), bus);
    TestCar beside, behind;
    putAt(street.lane[125], beside.setLength(12).setSpeed(3));
    putAt(street.lane[50], behind.setLength(12).setSpeed(4));
    bus.decide(0);
    bus.publishDecision();
    ASSERT_TRUE(bus.signalsPullOut());
    EXPECT_EQ(bus.waitCause(), WaitCause::PullOutRoom);
    EXPECT_EQ(bus.waitingForId(), beside.id());
    beside.decide();
    EXPECT_GT(beside.nextSpeed(), 0);
    for (int step = 0; step < 40; ++step) {
        behind.decide();
        behind.commitSpeed();
        moveAlone(behind);
    }
    EXPECT_EQ(behind.speed(), 0);
    EXPECT_LT(behind.frontCell()->id, street.lane[108]->id) << "stands short of the bus";
    EXPECT_EQ(behind.waitCause(), WaitCause::VehicleBeside);
}
