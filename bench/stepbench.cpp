// Step time of the bundled city at the car cap: whole steps and vehicle updates per second.

#include "engine/simulation.h"
#include "engine/simulationcontrol.h"
#include "model/simulationdata.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

void BM_StepAtCap(benchmark::State &state)
{
    // The bundled city, prepared and run for ten minutes and until the generators stop at the car
    // cap. At their own pace the generators keep about 350 cars in the flowing city, so they feed
    // it four times as fast here to fill it to the cap.
    Simulation simulation(QStringLiteral(KOLVEX_SOURCE_DIR "/data/kesta_center_2014-04-15_compressed_edited.osm"),
                          QStringLiteral(KOLVEX_SOURCE_DIR "/data/schedules.xml"), QTime(14, 0, 0));
    simulation.prepData();
    simulation.startSim();
    SimulationControl *control = simulation.simulationControl();
    SimulationData *data = simulation.simulationData();
    data->feedGenerators(4);
    int warmUpSteps = 0;
    for (; (data->cars.size() < data->maxCars || warmUpSteps < 2400) && warmUpSteps < 20000; ++warmUpSteps)
        control->step();
    std::vector<double> times;
    size_t updates = 0;
    QElapsedTimer clock;
    for (auto _ : state) {
        updates += data->cars.size() + data->buses.size() + data->trams.size();
        clock.start();
        control->step();
        times.push_back(clock.nsecsElapsed() / 1e3);
    }
    std::sort(times.begin(), times.end());
    state.counters["median_us"] = times.empty() ? 0.0 : times[times.size() / 2];
    state.counters["cars"] = double(data->cars.size());
    state.counters["warm_up_steps"] = warmUpSteps;
    state.counters["updates_per_s"] = benchmark::Counter(double(updates), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_StepAtCap)->Unit(benchmark::kMicrosecond)->Iterations(2000);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
