// What a whole city costs: bytes per cell (the cell itself and the resident memory of the prepared
// run), preparation time, and step time at the default car cap and at a cap of 10,000 cars.
//
//   city_bench [MAP [SCHEDULES [STEPS]]]
//
// MAP defaults to the bundled raw Helsinki centre; give a larger extract (the London corridor, say)
// to see what grows with the map. Each run is prepared afresh, stepped STEPS times (2400, ten
// simulated minutes) with the generators feeding eight times as fast, and its mean step printed.

#include "engine/simulation.h"
#include "engine/simulationcontrol.h"
#include "model/cell.h"
#include "model/simulationdata.h"
#include "tests/stderrcapture.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QThreadPool>

#include <cstdio>
#include <memory>

namespace {

/// A figure of /proc/self/status in kB ("VmRSS", "VmHWM"); 0 where the system has none.
long long statusKb(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly | QIODevice::Text))
        return 0;
    const QByteArray prefix = QByteArray(field) + ':';
    for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine())
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').front().toLongLong();
    return 0;
}

/// Prepares a run with the cap `maxCars` and prints what preparing it cost. Only the first run in the
/// process tells what the run holds in memory: later ones reuse what the first gave back.
std::unique_ptr<Simulation> prepared(const QString &map, const QString &schedules, size_t maxCars, bool first)
{
    auto simulation = std::make_unique<Simulation>(map, schedules, QTime(14, 0, 0));
    simulation->setMaxCars(maxCars);
    const long long residentBefore = statusKb("VmRSS");
    QElapsedTimer clock;
    clock.start();
    {
        StderrCapture silent; // the preparation's diagnostics, not the figures
        simulation->prepData();
    }
    const double prepMs = double(clock.nsecsElapsed()) / 1e6;
    simulation->startSim();
    const size_t cells = simulation->simulationData()->cellCount();
    const long long resident = statusKb("VmRSS");
    std::printf("  preparation %.0f ms, %zu cells\n", prepMs, cells);
    if (first)
        std::printf("  resident %lld MB, of which the prepared run %lld MB: %.0f bytes per cell\n", resident / 1024,
                    (resident - residentBefore) / 1024,
                    cells ? double(resident - residentBefore) * 1024.0 / double(cells) : 0.0);
    return simulation;
}

/// Steps the run `steps` times with the generators feeding eight times as fast; prints the mean step.
void stepFor(Simulation &simulation, int steps)
{
    SimulationData &data = *simulation.simulationData();
    data.feedGenerators(8);
    SimulationControl &control = *simulation.simulationControl();
    size_t updates = 0;
    QElapsedTimer clock;
    clock.start();
    for (int step = 0; step < steps; ++step) {
        control.step();
        updates += data.cars.size() + data.buses.size() + data.trams.size();
    }
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    std::printf("  %d steps: %.3f ms a step, %.0f vehicle updates a second; at the end %zu cars, %zu buses, "
                "%zu trams\n",
                steps, seconds * 1e3 / steps, double(updates) / seconds, data.cars.size(), data.buses.size(),
                data.trams.size());
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString map =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(KOLVEX_SOURCE_DIR "/data/helsinki_centre.osm.pbf");
    const QString schedules =
        argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral(KOLVEX_SOURCE_DIR "/data/schedules.xml");
    const int steps = argc > 3 ? QString::fromLocal8Bit(argv[3]).toInt() : 2400;
    std::printf("%s on %d threads\n  sizeof(Cell) %zu bytes\n", qPrintable(map),
                QThreadPool::globalInstance()->maxThreadCount(), sizeof(Cell));
    for (const size_t cap : {SimulationData::DEFAULT_MAX_CARS, size_t(10000)}) {
        std::printf("car cap %zu:\n", cap);
        std::unique_ptr<Simulation> simulation = prepared(map, schedules, cap, cap == SimulationData::DEFAULT_MAX_CARS);
        if (!simulation->preparationProblems().isEmpty()) {
            std::fprintf(stderr, "%s\n", qPrintable(simulation->preparationProblems().join('\n')));
            return 1;
        }
        stepFor(*simulation, steps);
    }
    std::printf("peak resident %lld MB\n", statusKb("VmHWM") / 1024);
    return 0;
}
