// kolvex-headless: prepares (and later runs) a simulation without a window, for batch runs,
// tests and benchmarks. Log messages go to standard output, diagnostics to standard error.

#include "headlessoptions.h"

#include "app/simulation.h"
#include "model/bus.h"
#include "model/car.h"
#include "model/random.h"
#include "model/simulationdata.h"
#include "model/tram.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMetaObject>

#include <cstdio>
#include <iostream>

namespace {

void printSummary(const Simulation &simulation, qint64 prepMs)
{
    const SimulationData *data = simulation.simulationData();
    std::printf("Summary:\n");
    std::printf("    preparation ... %lld ms\n", static_cast<long long>(prepMs));
    std::printf("    cells ......... %zu\n", data ? data->cells.size() : size_t(0));
    std::printf("    crossroads .... %zu\n", data ? data->crossroads.size() : size_t(0));
    std::printf("    generators .... %zu\n", data ? data->generators.size() : size_t(0));
    std::printf("    cars .......... %zu\n", data ? data->cars.size() : size_t(0));
    std::printf("    buses ......... %zu\n", data ? data->buses.size() : size_t(0));
    std::printf("    trams ......... %zu\n", data ? data->trams.size() : size_t(0));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kolvex-headless"));

    HeadlessOptions options;
    QString error;
    if (!options.parse(QCoreApplication::arguments(), error)) {
        std::cerr << "kolvex-headless: " << error.toStdString() << std::endl;
        std::cerr << HeadlessOptions::usage().toStdString() << std::endl;
        return 2;
    }
    Random::setSeed(options.seed);

    Simulation simulation(options.osmPath, options.schedulePath, options.start);
    QElapsedTimer clock;
    QObject::connect(&simulation, &Simulation::log, &app, [](const QString &msg) {
        std::printf("%s\n", msg.toUtf8().constData());
        std::fflush(stdout);
    });
    QObject::connect(&simulation, &Simulation::prepDataDone, &app, [&] {
        printSummary(simulation, clock.elapsed());
        QCoreApplication::quit();
    });
    clock.start();
    QMetaObject::invokeMethod(&simulation, "prepData", Qt::QueuedConnection);
    return app.exec();
}
