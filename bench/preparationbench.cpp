// Speed of preparing a run: reading the raw Helsinki extract as XML and as PBF, the whole
// preparation of it with public transport (schedules, reading, bus and tram stops, network
// conversion, route ordering, line creation and the trips under way at 14:00), and a map built to
// be expensive.

#include "convert/networkconvertor.h"
#include "convert/osmbusstopconvertor.h"
#include "convert/routeconvertor.h"
#include "convert/tramstopconvertor.h"
#include "model/bindingdata.h"
#include "model/simulationdata.h"
#include "osm/osmdata.h"
#include "osm/osmparser.h"
#include "report/diagnostics.h"
#include "tests/stderrcapture.h"
#include "timetable/scheduleparser.h"
#include "transport/linecreator.h"

#include <benchmark/benchmark.h>

#include <QString>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <memory>

namespace {

const QString RAW_EXTRACT = QStringLiteral(KOLVEX_SOURCE_DIR "/data/helsinki_centre.osm");

/// CPU time of every thread of the process: the PBF reader decodes on threads of its own, which the
/// benchmark's CPU time (this thread's) does not see.
double processCpuMilliseconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

/// Argument 0 reads the XML file, 1 the same map as PBF.
void BM_ReadRawExtract(benchmark::State &state)
{
    const QString path = state.range(0) ? RAW_EXTRACT + QStringLiteral(".pbf") : RAW_EXTRACT;
    StderrCapture silent;
    size_t ways = 0;
    const double cpuAtStart = processCpuMilliseconds();
    for (auto _ : state) {
        OSMData data;
        OSMParser::parseFile(path, &data);
        ways = data.ways()->size();
    }
    state.counters["ways"] = static_cast<double>(ways);
    state.counters["all_threads_cpu_ms"] =
        (processCpuMilliseconds() - cpuAtStart) / static_cast<double>(std::max<int64_t>(state.iterations(), 1));
}
BENCHMARK(BM_ReadRawExtract)->Arg(0)->Arg(1)->ArgName("pbf")->Unit(benchmark::kMillisecond);

struct Run
{
    ScheduleParser schedules;
    OSMData osm;
    SimulationData sim{QTime(14, 0)};
    BindingData bindings;
    LineCreationReport report;
    Diagnostics diagnostics;
};

/// Every stage of the preparation, as a new run does them.
std::unique_ptr<Run> prepare()
{
    auto run = std::make_unique<Run>();
    run->schedules.parse(QStringLiteral(KOLVEX_SOURCE_DIR "/data/schedules.xml"), run->diagnostics);
    OSMParser::parseFile(RAW_EXTRACT, &run->osm);
    OSMBusStopConvertor::convert(&run->osm, run->diagnostics);
    TramStopConvertor::convert(&run->osm, run->diagnostics);
    run->sim.calendar.setTime(run->sim.time);
    NetworkConvertor(&run->osm, &run->sim, &run->bindings, run->diagnostics).convert();
    RouteConvertor::convert(&run->osm, run->diagnostics);
    run->report = LineCreator::createLines(run->osm.routes(), &run->schedules, &run->sim.lines, &run->bindings,
                                           run->sim.random, run->diagnostics);
    run->sim.calendar.setLines(&run->sim.lines);
    run->report.pregenerated = LineCreator::pregenerateLines(&run->sim, &run->bindings, run->diagnostics);
    return run;
}

void BM_WholePreparation(benchmark::State &state)
{
    StderrCapture silent;
    for (auto _ : state) {
        std::unique_ptr<Run> run = prepare();
        state.PauseTiming();
        state.counters["cells"] = double(run->sim.cellCount());
        state.counters["lines"] = double(run->report.created);
        state.counters["under_way"] = double(run->report.pregenerated);
        run.reset(); // freeing is not part of the preparation
        state.ResumeTiming();
    }
}
BENCHMARK(BM_WholePreparation)->Unit(benchmark::kMillisecond);

Location offset(double eastMetres, double northMetres)
{
    const double metresPerDegree = 111320.0;
    return Location(60.17 + northMetres / metresPerDegree,
                    24.94 + eastMetres / (metresPerDegree * std::cos(60.17 * M_PI / 180.0)));
}

/// One road of twenty thousand node references, 5 m apart on a zigzag, cut at every other node by
/// a side road. Times the bus stop placement and the conversion, not the building of the map.
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
        OSMBusStopConvertor::convert(&run->osm, run->diagnostics);
        NetworkConvertor(&run->osm, &run->sim, &run->bindings, run->diagnostics).convert();
        cells = run->sim.cellCount();
        state.PauseTiming();
        run.reset();
        state.ResumeTiming();
    }
    state.counters["cells"] = double(cells);
}
BENCHMARK(BM_LongWay)->Arg(20000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
