// Step time of the bundled city at the car cap: whole steps, vehicle updates per second, and the
// cost of each phase; and the same with buses and trams on made-up trips among the cars.

#include "engine/simulation.h"
#include "engine/simulationcontrol.h"
#include "model/bus.h"
#include "model/car.h"
#include "model/random.h"
#include "model/simulationdata.h"
#include "model/tram.h"
#include "tests/engine/madetrips.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <memory>
#include <set>
#include <vector>

namespace {

/// The bundled city, prepared once and run until the generators stop at the car cap.
struct FullCity
{
    std::unique_ptr<Simulation> simulation;
    SimulationControl *control = nullptr;
    SimulationData *data = nullptr;
    int warmUpSteps = 0;

    FullCity()
    {
        simulation = std::make_unique<Simulation>(
            QStringLiteral(KOLVEX_SOURCE_DIR "/data/kesta_center_2014-04-15_compressed_edited.osm"),
            QStringLiteral(KOLVEX_SOURCE_DIR "/data/schedules.xml"), QTime(14, 0, 0));
        simulation->prepData();
        simulation->startSim();
        control = simulation->simulationControl();
        data = simulation->simulationData();
        while (data->cars.size() < 667 && warmUpSteps < 20000) {
            control->step();
            ++warmUpSteps;
        }
    }
    size_t vehicles() const { return data->cars.size() + data->buses.size() + data->trams.size(); }
};

/// The full city with buses and trams kept under way: every trip made up from the network gets a
/// new vehicle at its start platform whenever the last one has left and the platform is free.
struct GuidedCity : FullCity
{
    std::vector<MadeLine> trips;
    std::vector<int32_t> vehicleOfTrip; ///< −1 when the trip has none under way

    GuidedCity() : trips(makeTrips(*simulation->bindingData(), 100)), vehicleOfTrip(trips.size(), -1)
    {
        // Long enough for the first vehicles to leave their first stops and spread out.
        for (int i = 0; i < 2400; ++i) {
            control->step();
            dispatch();
        }
    }
    /// Puts a vehicle on every trip whose last one has left; outside the timed step.
    void dispatch()
    {
        std::set<int32_t> present;
        for (const Tram *t : data->trams)
            present.insert(t->id());
        for (const Bus *b : data->buses)
            present.insert(b->id());
        const int second = data->time.hour() * 3600 + data->time.minute() * 60 + data->time.second();
        for (size_t i = 0; i < trips.size(); ++i) {
            if (present.count(vehicleOfTrip[i]))
                continue;
            const MadeLine &t = trips[i];
            const Vehicle *v =
                t.line.isTram() ? static_cast<Vehicle *>(startVehicle(*data, data->trams, t.start, t.line, second + 30))
                                : startVehicle(*data, data->buses, t.start, t.line, second + 30);
            vehicleOfTrip[i] = v ? v->id() : -1;
        }
    }
};

GuidedCity &guidedCity()
{
    static GuidedCity instance;
    return instance;
}

FullCity &city()
{
    static FullCity instance;
    return instance;
}

void BM_StepAtCap(benchmark::State &state)
{
    FullCity &c = city();
    std::vector<double> times;
    size_t updates = 0;
    QElapsedTimer clock;
    for (auto _ : state) {
        updates += c.vehicles();
        clock.start();
        c.control->step();
        times.push_back(clock.nsecsElapsed() / 1e3);
    }
    std::sort(times.begin(), times.end());
    state.counters["median_us"] = times.empty() ? 0.0 : times[times.size() / 2];
    state.counters["cars"] = double(c.data->cars.size());
    state.counters["warm_up_steps"] = c.warmUpSteps;
    state.counters["updates_per_s"] = benchmark::Counter(double(updates), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_StepAtCap)->Unit(benchmark::kMicrosecond)->Iterations(2000);

void BM_StepAtCapWithBusesAndTrams(benchmark::State &state)
{
    GuidedCity &c = guidedCity();
    std::vector<double> times;
    size_t updates = 0, guided = 0;
    QElapsedTimer clock;
    for (auto _ : state) {
        updates += c.vehicles();
        guided += c.data->buses.size() + c.data->trams.size();
        clock.start();
        c.control->step();
        times.push_back(clock.nsecsElapsed() / 1e3);
        state.PauseTiming();
        c.dispatch();
        state.ResumeTiming();
    }
    std::sort(times.begin(), times.end());
    state.counters["median_us"] = times.empty() ? 0.0 : times[times.size() / 2];
    state.counters["cars"] = double(c.data->cars.size());
    state.counters["buses_trams_mean"] = times.empty() ? 0.0 : double(guided) / double(times.size());
    state.counters["trips"] = double(c.trips.size());
    state.counters["updates_per_s"] = benchmark::Counter(double(updates), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_StepAtCapWithBusesAndTrams)->Unit(benchmark::kMicrosecond)->Iterations(2000);

/// The nine phases run by hand, each timed; the counters are mean microseconds per step.
void BM_PhasesAtCap(benchmark::State &state)
{
    FullCity &c = city();
    SimulationControl &s = *c.control;
    using Phase = void (SimulationControl::*)();
    const std::pair<const char *, Phase> phases[] = {
        {"1_clock", &SimulationControl::advanceClock},       {"2_semaphores", &SimulationControl::updateSemaphores},
        {"3_decide", &SimulationControl::decideVehicles},    {"4_remove", &SimulationControl::removeFinishedVehicles},
        {"5_commit", &SimulationControl::commitSpeeds},      {"6_deadlocks", &SimulationControl::resolveDeadlocks},
        {"7_move", &SimulationControl::moveVehicles},        {"8_departures", &SimulationControl::dispatchDepartures},
        {"9_generators", &SimulationControl::runGenerators},
    };
    double totals[9] = {};
    QElapsedTimer clock;
    int64_t steps = 0;
    for (auto _ : state) {
        for (int i = 0; i < 9; ++i) {
            clock.start();
            (s.*phases[i].second)();
            totals[i] += clock.nsecsElapsed() / 1e3;
        }
        ++steps;
    }
    for (int i = 0; i < 9; ++i)
        state.counters[phases[i].first] = steps ? totals[i] / double(steps) : 0.0;
}
BENCHMARK(BM_PhasesAtCap)->Unit(benchmark::kMicrosecond)->Iterations(2000);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
