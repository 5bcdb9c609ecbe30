// Speed of the network conversion on the raw Helsinki extract: the conversion stages alone, and
// the whole preparation of the map (reading, bus stops, every conversion stage).

#include "convert/networkconvertor.h"
#include "convert/osmbusstopconvertor.h"
#include "model/bindingdata.h"
#include "model/simulationdata.h"
#include "osm/osmdata.h"
#include "osm/osmparser.h"
#include "tests/stderrcapture.h"

#include <benchmark/benchmark.h>

#include <QFile>
#include <QString>

#include <iostream>
#include <memory>
#include <sstream>

namespace {

const QString RAW_EXTRACT = QStringLiteral(KOLVEX_SOURCE_DIR "/data/helsinki_centre.osm");

/// One run's data; conversion changes the map, so every iteration reads it afresh.
struct Run
{
    OSMData osm;
    SimulationData sim;
    BindingData bindings;
};

bool haveExtract(benchmark::State &state)
{
    if (QFile::exists(RAW_EXTRACT))
        return true;
    state.SkipWithError("data/helsinki_centre.osm is missing");
    return false;
}

/// Stages `first` to `last` of the conversion; reading the map and placing bus stops are not timed.
void convertStages(benchmark::State &state, int first, int last)
{
    if (!haveExtract(state))
        return;
    StderrCapture silent;
    size_t cells = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto run = std::make_unique<Run>();
        OSMParser::parseFile(RAW_EXTRACT, &run->osm);
        OSMBusStopConvertor::convert(&run->osm);
        NetworkConvertor convertor(&run->osm, &run->sim, &run->bindings);
        if (first > 1)
            convertor.runStages(1, first - 1);
        state.ResumeTiming();
        convertor.runStages(first, last);
        cells = run->sim.cells.size();
        state.PauseTiming();
        run.reset(); // freeing is not part of the conversion
        state.ResumeTiming();
    }
    state.counters["cells"] = double(cells);
}

void BM_AllStages(benchmark::State &state)
{
    convertStages(state, 1, 13);
}
BENCHMARK(BM_AllStages)->Unit(benchmark::kMillisecond);

/// Reading, bus stop placement and the whole network conversion, as data preparation does them.
void BM_PrepareMap(benchmark::State &state)
{
    if (!haveExtract(state))
        return;
    StderrCapture silent;
    for (auto _ : state) {
        auto run = std::make_unique<Run>();
        OSMParser::parseFile(RAW_EXTRACT, &run->osm);
        OSMBusStopConvertor::convert(&run->osm);
        NetworkConvertor(&run->osm, &run->sim, &run->bindings).convert();
        state.PauseTiming();
        run.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_PrepareMap)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
