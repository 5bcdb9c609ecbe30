#include "simulation.h"

#include "convert/networkconvertor.h"
#include "convert/osmbusstopconvertor.h"
#include "convert/routeconvertor.h"
#include "convert/tramstopconvertor.h"
#include "engine/simulationcontrol.h"
#include "engine/simulationthread.h"
#include "model/bindingdata.h"
#include "model/simulationdata.h"
#include "model/simulationlocks.h"
#include "osm/osmdata.h"
#include "osm/osmparser.h"
#include "timetable/scheduleparser.h"
#include "transport/linecreator.h"

#include <QThread>

#include <memory>

Simulation::Simulation(const QString &osmFilePath, const QString &scheduleFilePath, const QTime &simInitTime,
                       uint64_t seed)
    : QObject(nullptr), osmFilePath(osmFilePath), scheduleFilePath(scheduleFilePath), startTime(simInitTime), seed(seed)
{
    worker = new QThread(this);
    moveToThread(worker);
    worker->start(QThread::InheritPriority);
}

Simulation::~Simulation()
{
    worker->quit();
    worker->wait();

    SimulationLocks::lockSimulation();
    delete threadObject;
    delete control;
    SimulationLocks::unlockSimulation();

    delete osm;
    delete simData; // generators, vehicles (under the vehicles mutex), lines, calendar, network
    delete bindings;
    delete schedules;
}

void Simulation::prepData()
{
    emit log(QStringLiteral("Parsing schedules..."));
    schedules = new ScheduleParser;
    QString problem;
    if (!schedules->parse(scheduleFilePath, &problem))
        problems << QStringLiteral("schedules: ") + problem;

    emit log(QStringLiteral("Parsing OpenStreetMap data..."));
    osm = new OSMData;
    if (!OSMParser::parseFile(osmFilePath, osm, &problem))
        problems << QStringLiteral("map: ") + problem;

    emit log(QStringLiteral("Converting OpenStreetMap bus stops..."));
    OSMBusStopConvertor::convert(osm);
    TramStopConvertor::convert(osm);

    emit log(QStringLiteral("Creating simulation data..."));
    simData = new SimulationData(startTime, seed);
    simData->calendar.setTime(startTime);
    bindings = new BindingData;
    auto convertor = std::make_unique<NetworkConvertor>(osm, simData, bindings);

    emit log(QStringLiteral("Converting OpenStreetMap data to simulation data..."));
    convertor->setBudget(networkBudget);
    if (!convertor->convert())
        problems
            << QStringLiteral("map \"%1\" refused: %2").arg(osmFilePath, QString::fromStdString(convertor->refusal()));
    else if (!hasNetwork())
        problems << QStringLiteral("map: no road or tram track in \"%1\"").arg(osmFilePath);

    emit log(QStringLiteral("Converting OpenStreetMap routes..."));
    RouteConvertor::convert(osm);

    emit log(QStringLiteral("Synchronizing OpenStreetMap routes and online shedules..."));
    report = LineCreator::createLines(osm->routes(), schedules, &simData->lines, bindings, simData->random);
    simData->calendar.setLines(&simData->lines);

    emit log(QStringLiteral("Pregenerating lines..."));
    report.pregenerated = LineCreator::pregenerateLines(simData, bindings);

    emit log(QStringLiteral("Simulation data preparating DONE!"));
    emit prepDataDone();
}

bool Simulation::hasNetwork() const
{
    return simData && !simData->cells.empty();
}

void Simulation::startSim()
{
    control = new SimulationControl(simData);
    threadObject = new SimulationThread(control);
    emit simStartDone();
}
