#include "headlessrunner.h"

#include "convert/geojsonexport.h"
#include "engine/simulation.h"
#include "engine/simulationcontrol.h"
#include "model/bus.h"
#include "model/car.h"
#include "model/cell.h"
#include "model/simulationdata.h"
#include "model/tram.h"
#include "model/units.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMetaObject>
#include <QThreadPool>

#include <cstdio>
#include <iostream>

namespace {

struct Counts
{
    size_t vehicles = 0;
    double meanSpeedKmh = 0.0;
};

template <typename V> void addSpeeds(const std::vector<V *> &list, size_t &n, double &sum)
{
    for (const V *v : list) {
        sum += v->speed();
        ++n;
    }
}

Counts count(const SimulationData &data)
{
    Counts c;
    double sum = 0.0;
    addSpeeds(data.trams, c.vehicles, sum);
    addSpeeds(data.buses, c.vehicles, sum);
    addSpeeds(data.cars, c.vehicles, sum);
    c.meanSpeedKmh = c.vehicles ? sum / double(c.vehicles) * units::MPS_PER_CELL_PER_STEP * units::KMH_PER_MPS : 0.0;
    return c;
}

QString clockText(const SimulationData &data)
{
    return data.time.toString(QStringLiteral("hh:mm:ss.zzz"));
}

template <typename V>
void writeFcd(QTextStream &out, const SimulationData &data, const std::vector<V *> &list, const char *kind)
{
    for (const V *v : list) {
        const Cell *front = v->frontCell();
        if (!front)
            continue;
        out << data.step << ',' << clockText(data) << ',' << v->id() << ',' << kind << ','
            << QString::number(front->location.lat, 'f', 7) << ',' << QString::number(front->location.lon, 'f', 7)
            << ',' << v->speed() << '\n';
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
    if (!options.exportNetworkPath.isEmpty() &&
        !exportNetworkGeoJson(options.exportNetworkPath, simulation->osmData(), simulation->simulationData(),
                              simulation->bindingData())) {
        finish(1);
        return;
    }
    QMetaObject::invokeMethod(simulation.get(), "startSim", Qt::QueuedConnection);
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

void HeadlessRunner::runSteps()
{
    if (!openOutput(options.csvPath, csvFile, csv, "time,step,cars,buses,trams,mean_speed_kmh,step_ms") ||
        !openOutput(options.fcdPath, fcdFile, fcd, "step,time,id,kind,lat,lon,speed_mps")) {
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
        writeStatistics(stepNs);
        if (fcdFile.isOpen() && data.step % options.fcdEvery == 0)
            writePositions();
    }
    const double seconds = wall.nsecsElapsed() / 1e9;

    const Counts c = count(data);
    std::printf("Summary:\n");
    std::printf("    preparation ....... %lld ms\n", static_cast<long long>(prepMs));
    std::printf("    cells ............. %zu\n", data.cells.size());
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
    }
    std::printf("    state hash ........ %016llx\n", static_cast<unsigned long long>(data.stateHash()));
    std::fflush(stdout);
    finish(0);
}

void HeadlessRunner::writeStatistics(qint64 stepNs)
{
    const SimulationData &data = *simulation->simulationData();
    if (csvFile.isOpen()) {
        const Counts c = count(data);
        csv << clockText(data) << ',' << data.step << ',' << data.cars.size() << ',' << data.buses.size() << ','
            << data.trams.size() << ',' << QString::number(c.meanSpeedKmh, 'f', 2) << ','
            << QString::number(stepNs / 1e6, 'f', 3) << '\n';
    }
    statsNs += stepNs;
    if (options.statsEvery > 0 && data.step % options.statsEvery == 0) {
        const Counts c = count(data);
        std::printf("%s step %d cars %zu buses %zu trams %zu mean speed %.1f km/h mean step %.3f ms\n",
                    clockText(data).toUtf8().constData(), data.step, data.cars.size(), data.buses.size(),
                    data.trams.size(), c.meanSpeedKmh, statsNs / 1e6 / double(options.statsEvery));
        std::fflush(stdout);
        statsNs = 0;
    }
}

void HeadlessRunner::writePositions()
{
    const SimulationData &data = *simulation->simulationData();
    writeFcd(fcd, data, data.trams, "tram");
    writeFcd(fcd, data, data.buses, "bus");
    writeFcd(fcd, data, data.cars, "car");
}

void HeadlessRunner::finish(int exitCode)
{
    code = exitCode;
    csv.flush();
    fcd.flush();
    QCoreApplication::exit(exitCode);
}
