// The step driving cars, buses and trams over the bundled city and on a hand-built street: sound
// cells after every step and every stop served on time.

#include "tests/model/testguided.h"

#include "engine/simulationcontrol.h"
#include "model/tram.h"
#include "tests/convert/testnetwork.h"
#include "tests/engine/madetrips.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>

namespace {

int secondOfDay(const QTime &t)
{
    return t.hour() * 3600 + t.minute() * 60 + t.second();
}

/// Steps a run and records per bus or tram the stops where it started loading and whether it has
/// left; and the cells that do not hold the vehicle standing on them.
struct Recorder
{
    struct Trip
    {
        std::vector<int64_t> loadedAt;
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
            observe(data.cars, false);
            observe(data.trams, true);
            observe(data.buses, true);
        }
    }
    template <typename V> void observe(const std::vector<V *> &list, bool guided)
    {
        for (const V *v : list) {
            for (const Cell *c : v->cells())
                badCells += c->vehicle != v || !std::isfinite(c->location.lat) || !std::isfinite(c->location.lon);
            if (!guided)
                continue;
            const auto *g = dynamic_cast<const VehicleGuided *>(v);
            Trip &trip = trips[v->id()];
            trip.removed = false;
            const bool loading = g->state() == GuidedState::Loading;
            if (loading && !trip.loading)
                trip.loadedAt.push_back(v->frontCell()->stop->getId());
            trip.loading = loading;
        }
    }

    SimulationData &data;
    SimulationControl control;
    std::map<int32_t, Trip> trips;
    size_t badCells = 0;
};

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

TEST(CityTraffic, TheBundledCityRunsOnSoundCellsAndBusesAndTramsServeEveryStopThatHasCells)
{
    CityRun city(Random::DEFAULT_SEED);
    if (!city.map)
        GTEST_SKIP() << "the default map is missing";
    for (const Cell *c : city.map->sim.cells)
        ASSERT_TRUE(testmaps::linksAreSound(c));
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
    EXPECT_EQ(r.badCells, 0u);
    EXPECT_GT(r.control.carsCreated(), 500);
    EXPECT_GT(r.control.vehiclesRemoved(), 300);
}

TEST(CityTraffic, AnEarlyBusWaitsAtItsBayUntilDueThenLeavesAtNormalSpeed)
{
    StopStreet street(700);
    OSMStop *tooShort = street.addBay(150, 24); // a bus is 32 cells long: passed
    OSMStop *stop = street.addBay(300, 81);
    street.data.time = QTime(10, 0);
    const int due = secondOfDay(street.data.time) + 60;
    const PublicTransportLine line = makeLine({7}, {tooShort->getId(), stop->getId(), NO_CELL_STOP}, {0, 0, 300});
    Bus *bus = startVehicle(street.data, street.data.buses, street.lane[100], line, due);
    const int32_t id = bus->id();
    Recorder r(street.data);
    int fastest = 0;
    while (bus->state() != GuidedState::Waiting && r.data.step < 400) {
        r.run(1);
        fastest = std::max(fastest, bus->speed());
    }
    // Loading ended before the time due: it waits out the difference, to the quarter second.
    const int waitedFrom = r.data.step;
    const int expectedWait = 4 * (due - secondOfDay(r.data.time));
    ASSERT_GT(expectedWait, 0);
    while (bus->state() == GuidedState::Waiting && r.data.step < 800)
        r.run(1);
    EXPECT_EQ(r.data.step - waitedFrom, expectedWait);
    EXPECT_GT(fastest, 11);
    EXPECT_EQ(bus->maxSpeed(), 11);
    EXPECT_EQ(r.trips[id].loadedAt, std::vector<int64_t>{stop->getId()});
    r.run(200); // out of the bay and along the street to its end, where it leaves
    EXPECT_TRUE(r.trips[id].removed);
    EXPECT_EQ(r.badCells, 0u);
}
