// Buses and trams on hand-built streets: the timetable after a stop, what other decisions see of
// a decision, following the line's ways, lane changes into and out of bays, and the deadlock
// breaking with a tram standing at a platform.

#include "testguided.h"

#include "model/chain.h"
#include "model/crossroad.h"
#include "model/lanechange.h"
#include "model/rightofway.h"

#include <gtest/gtest.h>

#include <set>

using A = FourArmCrossroad;

namespace {

/// An id no stop of these tests has.
constexpr int64_t NO_CELL_STOP = 900001;

} // namespace

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
    };
    for (const Row &row : rows) {
        StopStreet street(200);
        OSMStop *stop = street.addBay(100, 60);
        const PublicTransportLine line = makeLine({7}, {stop->getId(), NO_CELL_STOP, stop->getId()}, row.offsets);
        TestBus bus(&line, row.departure);
        bus.setMaxSpeed(12).setState(GuidedState::Loading).setLoadCount(1).setStopIndex(row.servedIndex);
        putAt(street.bayCells.back(), bus);
        bus.decide(row.second);
        // Nothing of the decision shows before it is published.
        EXPECT_TRUE(bus.isLoading()) << row.what;
        EXPECT_EQ(bus.maxSpeed(), 12) << row.what;
        bus.publishDecision();
        EXPECT_EQ(bus.state(), row.state) << row.what;
        EXPECT_EQ(bus.isWaiting(), row.state == GuidedState::Waiting) << row.what;
        EXPECT_FALSE(bus.isLoading()) << row.what;
        EXPECT_EQ(bus.waitCount(), row.waitCount) << row.what;
        EXPECT_EQ(bus.maxSpeed(), row.maxSpeed) << row.what;
        EXPECT_EQ(bus.stopIndex(), row.servedIndex + 1) << row.what;
        EXPECT_EQ(bus.isFinished(), row.finished) << row.what;
        // Others judge its arrival by the wait still ahead of it.
        EXPECT_EQ(bus.stepsToCover(0), row.state == GuidedState::Waiting ? row.waitCount : 0) << row.what;
    }
}

TEST(GuidedRoute, FollowsTheLineWaysAndDrivesOnAtRandomWhenTheyRunOut)
{
    // Ways of the arms are 1 (W), 2 (S), 3 (E), 4 (N).
    struct Row
    {
        std::vector<int64_t> ways;
        bool random;
        int64_t exitWay; ///< when not random
        int32_t wayIndex;
    };
    const Row rows[] = {
        {{1, 3}, false, 3, 0}, {{9, 1, 4}, false, 4, 1}, {{1, 2}, false, 2, 0},
        {{8, 9}, true, 0, 2},  {{1}, true, 0, 0},        {{1, 9}, true, 0, 0},
    };
    for (const Row &row : rows) {
        FourArmCrossroad x;
        const PublicTransportLine line = makeLine(row.ways, {}, {});
        std::set<int64_t> exits;
        for (int i = 0; i < 24; ++i) {
            TestBus bus(&line, 0);
            putAt(x.approach(A::W, 5), bus);
            bus.planRoute();
            ASSERT_EQ(bus.route().size(), 1u) << "ways " << row.ways.front();
            exits.insert(bus.route().front().exitLane->wayId());
            EXPECT_EQ(bus.wayIndex(), row.wayIndex);
            release(&bus);
        }
        if (row.random)
            EXPECT_EQ(exits.size(), 3u) << "ways " << row.ways.front() << " … " << row.ways.back();
        else
            EXPECT_EQ(exits, std::set<int64_t>{row.exitWay});
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
        int direction;
        bool allowed;
        bool twoBays = false; ///< the bay is two bays of 40 cells end to end
    };
    const Row rows[] = {
        {"free bay", 170, 3, -1, 0, 2, true},
        {"no change at all", 120, 0, -1, 0, 0, true},
        {"unknown direction", 170, 0, -1, 0, 3, false},
        {"no lane beside the lane", 170, 0, -1, 0, 1, false},
        {"tail not beside the bay", 120, 0, -1, 0, 2, false},
        {"bay cell beside the body taken", 170, 0, 50, 0, 2, false},
        {"taken within the move ahead", 170, 3, 73, 0, 2, false},
        {"taken beyond the move ahead", 170, 3, 75, 0, 2, true},
        {"taken ahead of a standing bus", 160, 0, 62, 0, 2, true},
        {"behind at its braking distance", 170, 0, 37, 2, 2, true},
        {"behind within its braking distance", 170, 0, 37, 3, 2, false},
        {"far behind a fast one", 170, 0, 2, 14, 2, false},
        {"beside two bays", 170, 0, -1, 0, 2, false, true},
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

TEST(LaneChange, BusBesideItsBayTurnsInOnceTheDecisionIsPublished)
{
    StopStreet street(300);
    OSMStop *stop = street.addBay(100, 80);
    const PublicTransportLine line = makeLine({7}, {stop->getId()}, {0});
    TestBus bus(&line, 0);
    putAt(street.lane[170], bus);
    bus.decide(0);
    EXPECT_EQ(bus.laneChange(), 0); // other decisions of this step still see it going straight on
    bus.publishDecision();
    EXPECT_EQ(bus.laneChange(), int32_t(LaneChange::ToSide));
}

TEST(Deadlock, TramLoadingAtAPlatformInARingOfWaitingCarsIsNeverReleased)
{
    // Arm N carries a tram track whose last cells are a platform; W, S and E queue cars heading
    // straight on, and E's way out is full, so every approach is blocked.
    struct Row
    {
        GuidedState tramState;
        bool tramReleased;
    };
    for (const Row row :
         {Row{GuidedState::Loading, false}, Row{GuidedState::Waiting, false}, Row{GuidedState::Driving, true}}) {
        FourArmCrossroad x(120);
        x.way(A::N)->backward.lanes.clear();
        x.way(A::N)->backward.tramLane = x.in(A::N);
        x.in(A::N)->isTram = 1;
        auto platform = std::make_unique<OSMStop>(5000, "platform", TramStop, nullptr);
        for (int i = 0; i < 100; ++i)
            x.approach(A::N, i)->stop = platform.get();

        TestTram tram(nullptr, 0);
        tram.setState(row.tramState).setLoadCount(50);
        tram.addRouteEntry(x.entry(A::N, A::S));
        putAt(x.approach(A::N, 0), tram);
        std::vector<std::unique_ptr<TestVehicle>> cars;
        for (A::Arm arm : {A::W, A::S, A::E})
            for (int i = 0; i < 2; ++i) {
                cars.push_back(std::make_unique<TestVehicle>());
                cars.back()->addRouteEntry(x.entry(arm, A::next(A::next(arm))));
                putAt(x.approach(arm, 12 * i), *cars.back());
            }
        TestVehicle full[5];
        for (int i = 0; i < 5; ++i)
            putAt(x.exitCell(A::W, 11 + 12 * i), full[i]);

        resolveDeadlock(x.crossroad);
        EXPECT_EQ(tram.speed(), row.tramReleased ? 1 : 0) << "tram state " << int(row.tramState);
        int carsReleased = 0;
        for (const auto &car : cars)
            carsReleased += car->speed();
        EXPECT_EQ(carsReleased, row.tramReleased ? 0 : 1) << "tram state " << int(row.tramState);
    }
}
