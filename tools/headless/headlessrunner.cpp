#include "headlessrunner.h"

#include "convert/geojsonexport.h"
#include "engine/simulation.h"
#include "engine/simulationcontrol.h"
#include "engine/stepframe.h"
#include "engine/trafficcensus.h"
#include "model/bindingdata.h"
#include "model/bus.h"
#include "model/car.h"
#include "model/cell.h"
#include "model/simulationdata.h"
#include "model/tram.h"
#include "model/units.h"
#include "osm/osmstop.h"
#include "report/diagnostics.h"
#include "transport/scheduledrafter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMetaObject>
#include <QThreadPool>

#include <algorithm>
#include <cstdio>
#include <iostream>

namespace {

QString clockText(const SimulationData &data)
{
    return data.time.toString(QStringLiteral("hh:mm:ss.zzz"));
}

/// Seconds of simulated time in `steps` steps.
double stepsToSeconds(int64_t steps)
{
    return double(steps) * units::STEP_S;
}

template <typename V>
void writeFcd(QTextStream &out, const SimulationData &data, const std::vector<V *> &list, const char *kind,
              const TrafficCensus &census)
{
    for (const V *v : list) {
        const Cell *front = v->frontCell();
        if (!front)
            continue;
        out << data.step << ',' << clockText(data) << ',' << v->id() << ',' << kind << ','
            << QString::number(front->location().lat, 'f', 7) << ',' << QString::number(front->location().lon, 'f', 7)
            << ',' << v->speed() << ',' << stepsToSeconds(census.standstillOf(v->id())) << '\n';
    }
}

} // namespace

HeadlessRunner::HeadlessRunner(const HeadlessOptions &o) : options(o) {}

HeadlessRunner::~HeadlessRunner() = default;

void HeadlessRunner::start()
{
    if (options.threads > 0)
        QThreadPool::globalInstance()->setMaxThreadCount(options.threads);
    simulation = std::make_unique<Simulation>(options.osmPath, options.schedulePath, options.start, options.seed);
    simulation->setNetworkBudget(options.budget);
    simulation->setMaxCars(size_t(options.maxCars));
    simulation->setBoundingBox(options.bbox);
    connect(simulation.get(), &Simulation::log, this, [](const QString &msg) {
        std::printf("%s\n", msg.toUtf8().constData());
        std::fflush(stdout);
    });
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    connect(simulation.get(), &Simulation::prepDataDone, this, [this, clock] {
        prepMs = clock->elapsed();
        prepared();
    });
    connect(simulation.get(), &Simulation::simStartDone, this, &HeadlessRunner::runSteps);
    QMetaObject::invokeMethod(simulation.get(), "prepData", Qt::QueuedConnection);
}

void HeadlessRunner::prepared()
{
    // An input that could not be read whole, or a refused map, is never reported as a success.
    if (!simulation->preparationProblems().isEmpty()) {
        for (const QString &problem : simulation->preparationProblems())
            std::cerr << "kolvex-headless: " << problem.toStdString() << std::endl;
        finish(1);
        return;
    }
    if (!options.draftSchedulesPath.isEmpty()) {
        finish(draftSchedules() ? 0 : 1);
        return;
    }
    if (!options.exportNetworkPath.isEmpty()) {
        Diagnostics diagnostics;
        diagnostics.setListener(Diagnostics::printToStandardError());
        if (!exportNetworkGeoJson(options.exportNetworkPath, simulation->osmData(), simulation->simulationData(),
                                  simulation->bindingData(), diagnostics)) {
            finish(1);
            return;
        }
    }
    // A heavier load than the city's own: at their own pace the generators keep the bundled city
    // well below the car cap while it flows.
    simulation->simulationData()->feedGenerators(options.feed);
    QMetaObject::invokeMethod(simulation.get(), "startSim", Qt::QueuedConnection);
}

bool HeadlessRunner::draftSchedules()
{
    ScheduleDrafter drafter(simulation->osmData(), simulation->bindingData(), int32_t(options.draftHeadway));
    Diagnostics diagnostics;
    diagnostics.setListener(Diagnostics::printToStandardError());
    const ScheduleDrafter::Result result = drafter.draft(diagnostics);
    if (!drafter.write(options.draftSchedulesPath, diagnostics))
        return false;
    std::printf("Drafted schedules:\n");
    std::printf("    route relations ... %d\n", result.relations);
    std::printf("    lines written ..... %d (every %lld min) to %s\n", result.drafted,
                static_cast<long long>(options.draftHeadway), options.draftSchedulesPath.toUtf8().constData());
    std::printf("    left out .......... %d without ref, %d without a route past two stops with cells, "
                "%d not runnable\n",
                result.withoutRef, result.withoutRoute, result.notRunnable);
    std::fflush(stdout);
    return true;
}

bool HeadlessRunner::openOutput(const QString &path, QFile &file, QTextStream &stream, const char *header)
{
    if (path.isEmpty())
        return true;
    file.setFileName(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        std::cerr << "kolvex-headless: cannot write \"" << path.toStdString()
                  << "\": " << file.errorString().toStdString() << std::endl;
        return false;
    }
    stream.setDevice(&file);
    stream << header << '\n';
    return true;
}

bool HeadlessRunner::startDetectors()
{
    if (options.detectors.empty())
        return true;
    detectors = std::make_unique<Detectors>(options.detectors, *simulation->simulationData());
    std::printf("%s", detectors->description().toUtf8().constData());
    for (int d : detectors->placesWithoutLane())
        std::cerr << "kolvex-headless: detector " << d + 1 << " finds no lane or track within its radius" << std::endl;
    return openOutput(options.detectorCsvPath, detectorFile, detectorCsv, Detectors::CSV_HEADER);
}

void HeadlessRunner::runSteps()
{
    if (!openOutput(options.csvPath, csvFile, csv,
                    "time,step,cars,buses,trams,mean_speed_kmh,step_ms,standing,longest_standstill_s,entered,left") ||
        !openOutput(options.fcdPath, fcdFile, fcd, "step,time,id,kind,lat,lon,speed_mps,stood_s") ||
        !startDetectors()) {
        finish(1);
        return;
    }
    SimulationControl *control = simulation->simulationControl();
    const SimulationData &data = *simulation->simulationData();
    if (fcdFile.isOpen())
        writePositions();

    QElapsedTimer wall;
    wall.start();
    QElapsedTimer stepClock;
    uint64_t vehicleUpdates = 0;
    for (int64_t i = 0; i < options.steps; ++i) {
        vehicleUpdates += data.cars.size() + data.buses.size() + data.trams.size();
        stepClock.start();
        control->step();
        const qint64 stepNs = stepClock.nsecsElapsed();
        census.observe(data);
        punctuality.observe(data);
        writeStatistics(stepNs);
        if (fcdFile.isOpen() && data.step % options.fcdEvery == 0)
            writePositions();
        if (detectors) {
            detectors->observe(data);
            if (data.step % options.detectorEvery == 0)
                detectors->writeRows(detectorCsv, data);
        }
    }
    if (detectors)
        detectors->writeRows(detectorCsv, data); // the readings since the last full interval
    const double seconds = wall.nsecsElapsed() / 1e9;

    const TrafficCounts c = TrafficCounts::of(data);
    std::printf("Summary:\n");
    std::printf("    preparation ....... %lld ms\n", static_cast<long long>(prepMs));
    std::printf("    cells ............. %zu\n", data.cellCount());
    std::printf("    crossroads ........ %zu\n", data.crossroads.size());
    std::printf("    generators ........ %zu\n", data.generators.size());
    std::printf("    cars .............. %zu\n", data.cars.size());
    std::printf("    buses ............. %zu\n", data.buses.size());
    std::printf("    trams ............. %zu\n", data.trams.size());
    if (options.steps > 0) {
        std::printf("    steps ............. %lld in %.3f s (%.3f ms per step)\n",
                    static_cast<long long>(options.steps), seconds, seconds * 1000.0 / double(options.steps));
        std::printf("    vehicle updates ... %llu (%.0f per second)\n", static_cast<unsigned long long>(vehicleUpdates),
                    seconds > 0 ? double(vehicleUpdates) / seconds : 0.0);
        std::printf("    mean speed ........ %.1f km/h\n", c.meanSpeedKmh);
        std::printf("    cars entered ...... %lld\n", static_cast<long long>(control->carsCreated()));
        std::printf("    vehicles left ..... %lld\n", static_cast<long long>(control->vehiclesRemoved()));
        std::printf("    longest standstill  %.2f s (%s)\n", stepsToSeconds(census.longestEver().steps),
                    standstillText(census.longestEver()).c_str());
        std::printf("    shared cells ...... %lld\n", static_cast<long long>(census.sharedCellsTotal()));
        std::printf("    waits broken ...... %lld\n", static_cast<long long>(control->waitsBroken()));
    }
    writeTransportSummary();
    std::printf("    state hash ........ %016llx\n", static_cast<unsigned long long>(data.stateHash()));
    std::fflush(stdout);
    finish(0);
}

void HeadlessRunner::writeTransportSummary()
{
    const LineCreationReport &report = simulation->lineReport();
    const SimulationControl *control = simulation->simulationControl();
    int tramStops = 0, busStops = 0;
    for (const StopBinding *stop : simulation->bindingData()->stopBindings())
        (stop->stop->getKind() == TramStop ? tramStops : busStops) += 1;
    std::printf("    stops with cells .. %d tram, %d bus\n", tramStops, busStops);
    std::printf("    lines created ..... %d of %d schedules\n", report.created, report.schedules);
    std::printf("    lines left out .... %d\n", report.leftOutTotal());
    for (int reason = 1; reason < 5; ++reason)
        if (report.leftOut[reason] > 0)
            std::printf("        %-50s %d\n", LineCreationReport::reasonText(LineRejection(reason)),
                        report.leftOut[reason]);
    std::printf("    trips under way ... %d at the start\n", report.pregenerated);
    std::printf("    trips started ..... %lld (%zu departures waiting for room)\n",
                static_cast<long long>(control->lines().tripsStarted()), control->lines().pending().size());
    std::printf("    trips finished .... %lld\n", static_cast<long long>(control->tripsFinished()));
    punctuality.writeSummary();
}

void HeadlessRunner::writeStatistics(qint64 stepNs)
{
    const SimulationData &data = *simulation->simulationData();
    const SimulationControl &control = *simulation->simulationControl();
    if (csvFile.isOpen()) {
        const TrafficCounts c = TrafficCounts::of(data);
        csv << clockText(data) << ',' << data.step << ',' << data.cars.size() << ',' << data.buses.size() << ','
            << data.trams.size() << ',' << QString::number(c.meanSpeedKmh, 'f', 2) << ','
            << QString::number(stepNs / 1e6, 'f', 3) << ',' << census.standingVehicles() << ','
            << stepsToSeconds(census.longestStandstill()) << ',' << control.carsCreated() << ','
            << control.vehiclesRemoved() << '\n';
    }
    statsNs += stepNs;
    if (options.statsEvery > 0 && data.step % options.statsEvery == 0) {
        const TrafficCounts c = TrafficCounts::of(data);
        std::printf("%s step %d cars %zu buses %zu trams %zu mean speed %.1f km/h mean step %.3f ms"
                    " standing %d longest standstill %.2f s",
                    clockText(data).toUtf8().constData(), data.step, data.cars.size(), data.buses.size(),
                    data.trams.size(), c.meanSpeedKmh, statsNs / 1e6 / double(options.statsEvery),
                    census.standingVehicles(), stepsToSeconds(census.longestStandstill()));
        // Who has stood longest, where and for what: the head of a jam that does not dissolve, or
        // a bus keeping to its timetable.
        if (census.longestStandingId() >= 0)
            std::printf(" (%s)", standstillText(census.longest()).c_str());
        std::printf("\n");
        std::fflush(stdout);
        statsNs = 0;
    }
}

void HeadlessRunner::writePositions()
{
    const SimulationData &data = *simulation->simulationData();
    writeFcd(fcd, data, data.trams, "tram", census);
    writeFcd(fcd, data, data.buses, "bus", census);
    writeFcd(fcd, data, data.cars, "car", census);
}

void HeadlessRunner::finish(int exitCode)
{
    code = exitCode;
    csv.flush();
    fcd.flush();
    detectorCsv.flush();
    QCoreApplication::exit(exitCode);
}
