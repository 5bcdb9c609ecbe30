// Buses and trams driven by the step: the timetable at a stop, stops that are not the next one,
// bays that are taken, and whole trips over the bundled city among its cars, on any number of
// threads.

#include "tests/model/testguided.h"

#include "engine/simulationcontrol.h"
#include "model/bindingdata.h"
#include "model/chain.h"
#include "model/crossroad.h"
#include "model/random.h"
#include "tests/convert/testnetwork.h"
#include "tests/engine/madetrips.h"

#include <QThreadPool>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

namespace {

int secondOfDay(const QTime &t)
{
    return t.hour() * 3600 + t.minute() * 60 + t.second();
}

/// What one guided vehicle did over a run.
struct Trip
{
    std::vector<int64_t> loadedAt; ///< the stops where it started loading, in order
    int maxSpeedSeen = 0;
    bool removed = false;
};

/// Runs the step and records, per vehicle id, the stops where buses and trams load, and the cells
/// that a bus or tram shares with another vehicle after a move.
class Recorder
{
public:
    explicit Recorder(SimulationData &data) : data(data), control(&data) {}

    void step()
    {
        control.advanceClock();
        control.updateSemaphores();
        control.decideVehicles();
        control.removeFinishedVehicles();
        control.commitSpeeds();
        control.resolveDeadlocks();
        control.moveVehicles();
        checkCells(data.trams);
        checkCells(data.buses);
        checkCells(data.cars);
        control.dispatchDepartures();
        control.runGenerators();
        std::map<int32_t, bool> present;
        observe(data.trams, present);
        observe(data.buses, present);
        for (auto &t : trips)
            if (!present.count(t.first))
                t.second.removed = true;
    }
    void run(int steps)
    {
        for (int i = 0; i < steps; ++i)
            step();
    }

    SimulationData &data;
    SimulationControl control;
    std::map<int32_t, Trip> trips;
    size_t sharedCells = 0;

private:
    /// Cars moving onto one another is a matter of the car rules, not counted here.
    template <typename V> void checkCells(const std::vector<V *> &list)
    {
        for (const V *v : list)
            for (const Cell *c : v->cells())
                if (c->vehicle != v && (isGuided(v) || isGuided(c->vehicle)))
                    ++sharedCells;
    }
    static bool isGuided(const Vehicle *v) { return dynamic_cast<const VehicleGuided *>(v) != nullptr; }
    template <typename V> void observe(const std::vector<V *> &list, std::map<int32_t, bool> &present)
    {
        for (const V *v : list) {
            Trip &trip = trips[v->id()];
            present[v->id()] = true;
            trip.maxSpeedSeen = std::max(trip.maxSpeedSeen, v->speed());
            const bool loading = v->state() == GuidedState::Loading;
            if (loading && !wasLoading[v->id()])
                trip.loadedAt.push_back(v->frontCell()->stop ? v->frontCell()->stop->getId() : -1);
            wasLoading[v->id()] = loading;
        }
    }
    std::map<int32_t, bool> wasLoading;
};

template <typename V>
V *addVehicle(SimulationData &data, std::vector<V *> &list, Cell *front, const PublicTransportLine &line, int departure)
{
    V *v = new V(data, &line, departure);
    if (!place(front, v)) {
        delete v;
        return nullptr;
    }
    list.push_back(v);
    return v;
}

} // namespace

TEST(GuidedTraffic, EarlyBusWaitsAtItsBayUntilDueThenLeavesAtNormalSpeed)
{
    StopStreet street(700);
    OSMStop *stop = street.addBay(300, 81);
    street.data.time = QTime(10, 0);
    const int due = secondOfDay(street.data.time) + 60;
    const PublicTransportLine line = makeLine({7}, {stop->getId(), NO_CELL_STOP}, {0, 300});
    Bus *bus = addVehicle(street.data, street.data.buses, street.lane[100], line, due);
    ASSERT_NE(bus, nullptr);
    ASSERT_EQ(bus->maxSpeed(), 14);
    const int32_t id = bus->id();
    Recorder r(street.data);
    while (bus->state() != GuidedState::Waiting && r.data.step < 400)
        r.step();
    ASSERT_EQ(bus->state(), GuidedState::Waiting);
    const int waitedFrom = r.data.step;
    // Loading ended before the time due: it waits out the difference, to the quarter second.
    const int expectedWait = 4 * (due - secondOfDay(r.data.time));
    EXPECT_GT(expectedWait, 0);
    EXPECT_EQ(bus->waitCount(), expectedWait);
    EXPECT_TRUE(bus->allCellsOnStop());
    while (bus->state() == GuidedState::Waiting && r.data.step < 800)
        r.step();
    EXPECT_EQ(r.data.step - waitedFrom, expectedWait);
    EXPECT_EQ(bus->speed(), 0);
    EXPECT_EQ(bus->maxSpeed(), 11);
    // It pulls out of the bay, drives to the end of the street at no more than 11 and leaves.
    int fastest = 0;
    for (int i = 0; i < 200 && !r.trips[id].removed; ++i) {
        fastest = std::max(fastest, bus->speed());
        r.step();
    }
    EXPECT_TRUE(r.trips[id].removed);
    EXPECT_EQ(fastest, 11);
    EXPECT_EQ(r.trips[id].loadedAt, std::vector<int64_t>{stop->getId()});
    EXPECT_EQ(r.sharedCells, 0u);
}

TEST(GuidedTraffic, LateTramHurriesUntilOnTimeAndPassesStopsNotNext)
{
    StopStreet track(2200);
    OSMStop *first = track.addPlatform(300, 181);
    track.addPlatform(800, 181); // of another line
    OSMStop *second = track.addPlatform(1300, 181);
    track.data.time = QTime(10, 0);
    const int start = secondOfDay(track.data.time);
    // 200 s late at the first stop; the second stop, behind one that has no cells, is due late
    // enough to be reached early.
    const PublicTransportLine line =
        makeLine({7}, {first->getId(), NO_CELL_STOP, second->getId(), NO_CELL_STOP + 1}, {0, 100, 400, 500}, 2);
    Tram *tram = addVehicle(track.data, track.data.trams, track.lane[150], line, start - 200);
    ASSERT_NE(tram, nullptr);
    const int32_t id = tram->id();
    Recorder r(track.data);
    while (tram->stopIndex() < 1 && r.data.step < 600)
        r.step();
    EXPECT_EQ(tram->maxSpeed(), 14);
    EXPECT_EQ(tram->state(), GuidedState::Driving);
    while (!r.trips[id].removed && tram->state() != GuidedState::Waiting && r.data.step < 1200)
        r.step();
    ASSERT_FALSE(r.trips[id].removed);
    ASSERT_EQ(tram->state(), GuidedState::Waiting);
    EXPECT_GT(r.trips[id].maxSpeedSeen, 11); // it hurried
    EXPECT_EQ(tram->maxSpeed(), 11);         // and is back to normal once early
    EXPECT_EQ(r.trips[id].loadedAt, (std::vector<int64_t>{first->getId(), second->getId()}));
    EXPECT_EQ(tram->stopIndex(), 3);
    r.run(1500);
    EXPECT_TRUE(r.trips[id].removed); // at the end of the track
    EXPECT_EQ(r.sharedCells, 0u);
}

TEST(GuidedTraffic, BusWaitsBesideATakenBayAndEntersOnceItIsFree)
{
    StopStreet street(700);
    OSMStop *stop = street.addBay(300, 81);
    const PublicTransportLine line = makeLine({7}, {stop->getId(), NO_CELL_STOP}, {0, 60});
    Bus *bus = addVehicle(street.data, street.data.buses, street.lane[100], line, 0);
    ASSERT_NE(bus, nullptr);
    Car parked(street.data); // not on any list: it never moves
    putAt(street.bayCells[20], parked);
    Recorder r(street.data);
    r.run(300);
    EXPECT_EQ(bus->state(), GuidedState::Driving);
    EXPECT_EQ(bus->speed(), 0);
    EXPECT_EQ(bus->frontCell()->wayLink, street.lane[0]->wayLink); // on the lane, behind the car
    release(&parked);
    r.run(60);
    EXPECT_EQ(bus->state(), GuidedState::Loading);
    EXPECT_EQ(bus->frontCell(), street.bayCells.back());
    EXPECT_EQ(r.sharedCells, 0u);
}

TEST(GuidedTraffic, StopTooShortForTheVehicleIsPassed)
{
    for (const bool tram : {false, true}) {
        StopStreet street(1400);
        const int shortCells = tram ? 60 : 24; // a tram is 80 cells long, a bus 32
        OSMStop *tooShort = tram ? street.addPlatform(300, shortCells) : street.addBay(300, shortCells);
        OSMStop *next = tram ? street.addPlatform(800, 181) : street.addBay(800, 81);
        const PublicTransportLine line = makeLine({7}, {tooShort->getId(), next->getId(), NO_CELL_STOP}, {0, 0, 0});
        street.data.time = QTime(10, 0);
        const int late = secondOfDay(street.data.time) - 60;
        const int32_t id = tram ? addVehicle(street.data, street.data.trams, street.lane[100], line, late)->id()
                                : addVehicle(street.data, street.data.buses, street.lane[100], line, late)->id();
        Recorder r(street.data);
        r.run(600);
        EXPECT_EQ(r.trips[id].loadedAt, std::vector<int64_t>{next->getId()}) << (tram ? "tram" : "bus");
        EXPECT_TRUE(r.trips[id].removed) << (tram ? "tram" : "bus");
    }
}

// ---------------------------------------------------------------------------------------------
// Trips over the bundled city

namespace {

/// The bundled city with its cars and made-up trips of buses and trams starting at `second`.
struct CityRun
{
    std::unique_ptr<testmaps::ConvertedMap> map;
    std::vector<MadeLine> lines;
    std::unique_ptr<Recorder> recorder;
    std::map<int32_t, const MadeLine *> lineOf; ///< by vehicle id

    explicit CityRun(size_t tripsOfEachKind, uint64_t seed = Random::DEFAULT_SEED)
    {
        map = testmaps::ConvertedMap::load(KOLVEX_SOURCE_DIR "/data/kesta_center_2014-04-15_compressed_edited.osm");
        if (!map)
            return;
        map->sim.random.setSeed(seed);
        map->sim.time = QTime(14, 0);
        lines = makeTrips(map->bindings, tripsOfEachKind);
        const int second = secondOfDay(map->sim.time);
        for (const MadeLine &made : lines) {
            VehicleGuided *v = made.line.isTram()
                                   ? static_cast<VehicleGuided *>(
                                         addVehicle(map->sim, map->sim.trams, made.start, made.line, second + 40))
                                   : addVehicle(map->sim, map->sim.buses, made.start, made.line, second + 40);
            if (v)
                lineOf[v->id()] = &made;
        }
        recorder = std::make_unique<Recorder>(map->sim);
    }
};

} // namespace

TEST(GuidedTraffic, TripsAcrossTheBundledCityServeEveryStopThatHasCells)
{
    CityRun city(12);
    if (!city.map)
        GTEST_SKIP() << "the default map is missing";
    ASSERT_GE(city.lineOf.size(), 12u);
    city.recorder->run(3600);
    size_t trams = 0;
    for (const auto &v : city.lineOf) {
        const Trip &trip = city.recorder->trips[v.first];
        trams += v.second->line.isTram();
        EXPECT_TRUE(trip.removed) << "vehicle " << v.first << " of line from stop " << v.second->stops.front();
        EXPECT_EQ(trip.loadedAt, v.second->stops) << "vehicle " << v.first;
    }
    EXPECT_GE(trams, 2u);
    EXPECT_GE(city.lineOf.size() - trams, 4u);
    EXPECT_EQ(city.recorder->sharedCells, 0u);
}

TEST(GuidedTraffic, CityRunWithBusesAndTramsIsTheSameOnAnyNumberOfThreads)
{
    const int before = QThreadPool::globalInstance()->maxThreadCount();
    std::vector<std::vector<uint64_t>> hashes; // per thread count, every 200 steps
    for (int threads : {1, 2, 4}) {
        QThreadPool::globalInstance()->setMaxThreadCount(threads);
        CityRun city(12, 11);
        if (!city.map)
            GTEST_SKIP() << "the default map is missing";
        hashes.emplace_back();
        for (int i = 0; i < 6; ++i) {
            city.recorder->run(200);
            hashes.back().push_back(city.map->sim.stateHash());
        }
        EXPECT_GE(city.recorder->trips.size(), 12u);
    }
    QThreadPool::globalInstance()->setMaxThreadCount(before);
    EXPECT_EQ(hashes[0], hashes[1]);
    EXPECT_EQ(hashes[0], hashes[2]);
}
