// Preparation cost of a map built to be expensive: one road of twenty thousand node references, 5 m
// apart on a zigzag, cut at every other node by a side road.

#include "convert/networkconvertor.h"
#include "convert/osmbusstopconvertor.h"
#include "model/bindingdata.h"
#include "model/simulationdata.h"
#include "osm/osmdata.h"
#include "tests/stderrcapture.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

namespace {

struct Run
{
    OSMData osm;
    SimulationData sim;
    BindingData bindings;
};

Location offset(double eastMetres, double northMetres)
{
    const double metresPerDegree = 111320.0;
    return Location(60.17 + northMetres / metresPerDegree,
                    24.94 + eastMetres / (metresPerDegree * std::cos(60.17 * M_PI / 180.0)));
}

/// Times the bus stop placement and the conversion, not the building of the map.
void BM_LongWay(benchmark::State &state)
{
    const int refs = int(state.range(0));
    StderrCapture silent;
    size_t cells = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto run = std::make_unique<Run>();
        std::vector<int64_t> nodes;
        for (int i = 0; i < refs; ++i) {
            run->osm.addNode(1 + i, offset(5.0 * i, (i % 2) * 2.0));
            nodes.push_back(1 + i);
            if (i % 2 == 1 && i + 1 < refs) {
                run->osm.addNode(1000000 + i, offset(5.0 * i, 30.0));
                run->osm.addWay(1000000 + i, {1 + i, 1000000 + i}, false, true, false, false, Residential, 1, 1);
            }
        }
        run->osm.addWay(1, nodes, false, true, false, false, Residential, 1, 1);
        state.ResumeTiming();
        OSMBusStopConvertor::convert(&run->osm);
        NetworkConvertor(&run->osm, &run->sim, &run->bindings).convert();
        cells = run->sim.cells.size();
        state.PauseTiming();
        run.reset();
        state.ResumeTiming();
    }
    state.counters["cells"] = double(cells);
}
BENCHMARK(BM_LongWay)->Arg(20000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
