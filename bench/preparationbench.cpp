// Speed of the whole data preparation of the raw Helsinki extract, public transport included:
// schedules, reading, bus and tram stops, network conversion, route ordering, line creation and
// the placing of the trips under way at 14:00; and of the public-transport stages alone.

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

#include <QFile>
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

/// The stages before route ordering.
std::unique_ptr<Run> prepareNetwork()
{
    auto run = std::make_unique<Run>();
    run->schedules.parse(SCHEDULES);
    OSMParser::parseFile(RAW_EXTRACT, &run->osm);
    OSMBusStopConvertor::convert(&run->osm);
    TramStopConvertor::convert(&run->osm);
    run->sim.calendar.setTime(run->sim.time);
    NetworkConvertor(&run->osm, &run->sim, &run->bindings).convert();
    return run;
}

/// Route ordering, line creation and the trips under way.
void preparePublicTransport(Run &run)
{
    RouteConvertor::convert(&run.osm);
    run.report =
        LineCreator::createLines(run.osm.routes(), &run.schedules, &run.sim.lines, &run.bindings, run.sim.random);
    run.sim.calendar.setLines(&run.sim.lines);
    run.report.pregenerated = LineCreator::pregenerateLines(&run.sim, &run.bindings);
}

void report(benchmark::State &state, const Run &run)
{
    state.counters["routes"] = double(run.osm.routes()->size());
    state.counters["lines"] = double(run.report.created);
    state.counters["under_way"] = double(run.report.pregenerated);
}

void BM_WholePreparation(benchmark::State &state)
{
    if (!QFile::exists(RAW_EXTRACT)) {
        state.SkipWithError("data/helsinki_centre.osm is missing");
        return;
    }
    StderrCapture silent;
    for (auto _ : state) {
        std::unique_ptr<Run> run = prepareNetwork();
        preparePublicTransport(*run);
        state.PauseTiming();
        report(state, *run);
        run.reset(); // freeing is not part of the preparation
        state.ResumeTiming();
    }
}
BENCHMARK(BM_WholePreparation)->Unit(benchmark::kMillisecond);

void BM_RoutesLinesAndTripsUnderWay(benchmark::State &state)
{
    if (!QFile::exists(RAW_EXTRACT)) {
        state.SkipWithError("data/helsinki_centre.osm is missing");
        return;
    }
    StderrCapture silent;
    for (auto _ : state) {
        state.PauseTiming();
        std::unique_ptr<Run> run = prepareNetwork();
        state.ResumeTiming();
        preparePublicTransport(*run);
        state.PauseTiming();
        report(state, *run);
        run.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_RoutesLinesAndTripsUnderWay)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
