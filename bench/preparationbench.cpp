// Speed of the whole data preparation of the raw Helsinki extract, public transport included:
// schedules, reading, bus and tram stops, network conversion, route ordering, line creation and
// the placing of the trips under way at 14:00.

#include "convert/networkconvertor.h"
#include "convert/osmbusstopconvertor.h"
#include "convert/routeconvertor.h"
#include "convert/tramstopconvertor.h"
#include "model/bindingdata.h"
#include "model/simulationdata.h"
#include "osm/osmdata.h"
#include "osm/osmparser.h"
#include "tests/stderrcapture.h"
#include "timetable/scheduleparser.h"
#include "transport/linecreator.h"

#include <benchmark/benchmark.h>

#include <QString>

#include <memory>

namespace {

const QString RAW_EXTRACT = QStringLiteral(KOLVEX_SOURCE_DIR "/data/helsinki_centre.osm");
const QString SCHEDULES = QStringLiteral(KOLVEX_SOURCE_DIR "/data/schedules.xml");

struct Run
{
    ScheduleParser schedules;
    OSMData osm;
    SimulationData sim{QTime(14, 0)};
    BindingData bindings;
    LineCreationReport report;
};

/// Every stage of the preparation, as a new run does them.
std::unique_ptr<Run> prepare()
{
    auto run = std::make_unique<Run>();
    run->schedules.parse(SCHEDULES);
    OSMParser::parseFile(RAW_EXTRACT, &run->osm);
    OSMBusStopConvertor::convert(&run->osm);
    TramStopConvertor::convert(&run->osm);
    run->sim.calendar.setTime(run->sim.time);
    NetworkConvertor(&run->osm, &run->sim, &run->bindings).convert();
    RouteConvertor::convert(&run->osm);
    run->report =
        LineCreator::createLines(run->osm.routes(), &run->schedules, &run->sim.lines, &run->bindings, run->sim.random);
    run->sim.calendar.setLines(&run->sim.lines);
    run->report.pregenerated = LineCreator::pregenerateLines(&run->sim, &run->bindings);
    return run;
}

void BM_WholePreparation(benchmark::State &state)
{
    StderrCapture silent;
    for (auto _ : state) {
        std::unique_ptr<Run> run = prepare();
        state.PauseTiming();
        state.counters["cells"] = double(run->sim.cells.size());
        state.counters["lines"] = double(run->report.created);
        state.counters["under_way"] = double(run->report.pregenerated);
        run.reset(); // freeing is not part of the preparation
        state.ResumeTiming();
    }
}
BENCHMARK(BM_WholePreparation)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
