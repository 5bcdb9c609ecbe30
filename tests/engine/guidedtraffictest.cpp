// Buses and trams driven by the step on hand-built streets and over the bundled city among its
// cars, on any number of threads.

#include "tests/model/testguided.h"

#include "engine/simulationcontrol.h"
#include "tests/convert/testnetwork.h"
#include "tests/engine/madetrips.h"

#include <QThreadPool>

#include <gtest/gtest.h>

#include <map>

namespace {

int secondOfDay(const QTime &t)
{
    return t.hour() * 3600 + t.minute() * 60 + t.second();
}

/// Steps a run and records per bus or tram the stops where it started loading, its top speed and
/// whether it has left; and the cells a bus or tram shares with another vehicle after a step.
struct Recorder
{
    struct Trip
    {
        std::vector<int64_t> loadedAt;
        int fastest = 0;
        bool loading = false;
        bool removed = true;
    };

    explicit Recorder(SimulationData &data) : data(data), control(&data) {}
    void run(int steps)
    {
        for (int i = 0; i < steps; ++i) {
            control.step();
            for (auto &t : trips)
                t.second.removed = true;
            observe(data.trams);
            observe(data.buses);
            for (const Car *car : data.cars)
                for (const Cell *c : car->cells())
                    sharedCells += c->vehicle != car && dynamic_cast<const VehicleGuided *>(c->vehicle);
        }
    }
    template <typename V> void observe(const std::vector<V *> &list)
    {
        for (const V *v : list) {
            Trip &trip = trips[v->id()];
            trip.removed = false;
            trip.fastest = std::max(trip.fastest, v->speed());
            if (v->state() == GuidedState::Loading && !trip.loading)
                trip.loadedAt.push_back(v->frontCell()->stop->getId());
            trip.loading = v->state() == GuidedState::Loading;
            for (const Cell *c : v->cells())
                sharedCells += c->vehicle != v;
        }
    }

    SimulationData &data;
    SimulationControl control;
    std::map<int32_t, Trip> trips;
    size_t sharedCells = 0;
};

} // namespace

TEST(GuidedTraffic, EarlyBusWaitsAtItsBayUntilDueThenLeavesAtNormalSpeed)
{
    StopStreet street(700);
    OSMStop *tooShort = street.addBay(150, 24); // a bus is 32 cells long: passed
    OSMStop *stop = street.addBay(300, 81);
    street.data.time = QTime(10, 0);
    const int due = secondOfDay(street.data.time) + 60;
    const PublicTransportLine line = makeLine({7}, {tooShort->getId(), stop->getId(), NO_CELL_STOP}, {0, 0, 300});
    Bus *bus = startVehicle(street.data, street.data.buses, street.lane[100], line, due);
    ASSERT_EQ(bus->maxSpeed(), 14);
    Recorder r(street.data);
    while (bus->state() != GuidedState::Waiting && r.data.step < 400)
        r.run(1);
    // Loading ended before the time due: it waits out the difference, to the quarter second.
    const int waitedFrom = r.data.step;
    const int expectedWait = 4 * (due - secondOfDay(r.data.time));
    ASSERT_GT(expectedWait, 0);
    EXPECT_EQ(bus->waitCount(), expectedWait);
    while (bus->state() == GuidedState::Waiting && r.data.step < 800)
        r.run(1);
    EXPECT_EQ(r.data.step - waitedFrom, expectedWait);
    EXPECT_EQ(bus->maxSpeed(), 11);
    const Recorder::Trip before = r.trips[bus->id()];
    EXPECT_GT(before.fastest, 11);
    r.trips.clear();
    r.run(200); // out of the bay and along the street to its end, where it leaves
    ASSERT_EQ(r.trips.size(), 1u);
    EXPECT_LE(r.trips.begin()->second.fastest, 11);
    EXPECT_TRUE(r.trips.begin()->second.removed);
    EXPECT_EQ(before.loadedAt, std::vector<int64_t>{stop->getId()});
    EXPECT_EQ(r.sharedCells, 0u);
}

TEST(GuidedTraffic, LateTramHurriesUntilOnTimePassingStopsNotNextOrTooShort)
{
    StopStreet track(2200);
    OSMStop *first = track.addPlatform(300, 181);
    OSMStop *tooShort = track.addPlatform(600, 60); // a tram is 80 cells long
    track.addPlatform(800, 181);                    // of another line
    OSMStop *second = track.addPlatform(1300, 181);
    track.data.time = QTime(10, 0);
    // 200 s late at the first stop; the last stop with cells is due late enough to be reached early.
    const std::vector<int64_t> stops = {first->getId(), tooShort->getId(), NO_CELL_STOP, second->getId(),
                                        NO_CELL_STOP + 1};
    const PublicTransportLine line = makeLine({7}, stops, {0, 50, 100, 400, 500}, 2);
    Tram *tram = startVehicle(track.data, track.data.trams, track.lane[150], line, secondOfDay(track.data.time) - 200);
    const int32_t id = tram->id();
    Recorder r(track.data);
    while (tram->stopIndex() < 1 && r.data.step < 600)
        r.run(1);
    EXPECT_EQ(tram->maxSpeed(), 14);
    while (tram->state() != GuidedState::Waiting && r.data.step < 1200)
        r.run(1);
    const Recorder::Trip trip = r.trips[id];
    EXPECT_GT(trip.fastest, 11);     // it hurried
    EXPECT_EQ(tram->maxSpeed(), 11); // and is back to normal once early
    EXPECT_EQ(trip.loadedAt, (std::vector<int64_t>{first->getId(), second->getId()}));
    r.run(1500);
    EXPECT_TRUE(r.trips[id].removed); // at the end of the track
    EXPECT_EQ(r.sharedCells, 0u);
}

namespace {

/// The bundled city with its cars and buses and trams on trips made up from its network.
struct CityRun
{
    std::unique_ptr<testmaps::ConvertedMap> map =
        testmaps::ConvertedMap::load(KOLVEX_SOURCE_DIR "/data/kesta_center_2014-04-15_compressed_edited.osm");
    std::vector<MadeLine> lines;
    std::map<int32_t, const MadeLine *> lineOf; ///< by vehicle id

    explicit CityRun(uint64_t seed)
    {
        if (!map)
            return;
        map->sim.random.setSeed(seed);
        map->sim.time = QTime(14, 0);
        lines = makeTrips(map->bindings, 12);
        for (const MadeLine &made : lines) {
            SimulationData &s = map->sim;
            const int departure = secondOfDay(s.time) + 40;
            const Vehicle *v = made.line.isTram()
                                   ? static_cast<Vehicle *>(startVehicle(s, s.trams, made.start, made.line, departure))
                                   : startVehicle(s, s.buses, made.start, made.line, departure);
            if (v)
                lineOf[v->id()] = &made;
        }
    }
};

} // namespace

TEST(GuidedTraffic, TripsAcrossTheBundledCityServeEveryStopThatHasCells)
{
    CityRun city(Random::DEFAULT_SEED);
    if (!city.map)
        GTEST_SKIP() << "the default map is missing";
    Recorder r(city.map->sim);
    r.run(3600);
    size_t trams = 0;
    for (const auto &v : city.lineOf) {
        trams += v.second->line.isTram();
        EXPECT_TRUE(r.trips[v.first].removed) << "vehicle " << v.first;
        EXPECT_EQ(r.trips[v.first].loadedAt, v.second->stops) << "vehicle " << v.first;
    }
    EXPECT_GE(trams, 2u);
    EXPECT_GE(city.lineOf.size() - trams, 10u);
    EXPECT_EQ(r.sharedCells, 0u);
}

TEST(GuidedTraffic, CityRunWithBusesAndTramsIsTheSameOnAnyNumberOfThreads)
{
    const int before = QThreadPool::globalInstance()->maxThreadCount();
    std::vector<std::vector<uint64_t>> hashes; // per thread count, every 200 steps
    for (int threads : {1, 2, 4}) {
        QThreadPool::globalInstance()->setMaxThreadCount(threads);
        CityRun city(11);
        if (!city.map)
            GTEST_SKIP() << "the default map is missing";
        Recorder r(city.map->sim);
        hashes.emplace_back();
        for (int i = 0; i < 6; ++i) {
            r.run(200);
            hashes.back().push_back(city.map->sim.stateHash());
        }
    }
    QThreadPool::globalInstance()->setMaxThreadCount(before);
    EXPECT_EQ(hashes[0], hashes[1]);
    EXPECT_EQ(hashes[0], hashes[2]);
}
