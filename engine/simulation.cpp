#include "simulation.h"

#include "convert/networkconvertor.h"
#include "convert/osmbusstopconvertor.h"
#include "convert/routeconvertor.h"
#include "convert/tramstopconvertor.h"
#include "engine/simulationcontrol.h"
#include "engine/simulationthread.h"
#include "model/bindingdata.h"
#include "model/simulationdata.h"
#include "osm/osmdata.h"
#include "osm/osmparser.h"
#include "timetable/scheduleparser.h"
#include "transport/linecreator.h"

#include <QThread>

#include <memory>
#include <new>

Simulation::Simulation(const QString &osmFilePath, const QString &scheduleFilePath, const QTime &simInitTime,
                       uint64_t seed)
    : QObject(nullptr), osmFilePath(osmFilePath), scheduleFilePath(scheduleFilePath), startTime(simInitTime),
      seed(seed), stepSize(SimulationThread::DEFAULT_STEP_SIZE), maxCars(SimulationData::DEFAULT_MAX_CARS)
{
    worker = new QThread(this);
    workerEnd = std::make_unique<ThreadEnd>(worker);
    moveToThread(worker);
    worker->start(QThread::InheritPriority);
}

Simulation::~Simulation()
{
    workerEnd->quitAndWait();

    delete threadObject; // ends the loop and waits for its thread
    delete control;

    delete osm;
    delete simData; // generators, vehicles, lines, calendar, network
    delete bindings;
    delete schedules;
}

void Simulation::prepData()
{
    // Memory running out in any stage is a problem of this map like any other: what was built is let
    // go, so that the memory is free again and the run goes on, empty.
    try {
        prepareStages();
    } catch (const std::bad_alloc &) {
        discardModel();
        problems << QStringLiteral("map \"%1\": out of memory while preparing it: the map needs more than this "
                                   "machine has")
                        .arg(osmFilePath);
    }
    emit log(QStringLiteral("Simulation data preparating DONE!"));
    setState(State::Prepared);
    emit prepDataDone();
}

void Simulation::prepareStages()
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
    createNetworkData();
    auto convertor = std::make_unique<NetworkConvertor>(osm, simData, bindings);

    emit log(QStringLiteral("Converting OpenStreetMap data to simulation data..."));
    convertor->setBudget(budgetSetting());
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
}

void Simulation::createNetworkData()
{
    simData = new SimulationData(startTime, seed);
    simData->maxCars = maxCarsSetting();
    simData->calendar.setTime(startTime);
    bindings = new BindingData;
}

void Simulation::discardModel()
{
    delete osm;
    delete simData;
    delete bindings;
    osm = new OSMData;
    createNetworkData();
    if (!schedules)
        schedules = new ScheduleParser;
    report = LineCreationReport();
}

bool Simulation::hasNetwork() const
{
    return simData && !simData->cells.empty();
}

void Simulation::startSim()
{
    control = new SimulationControl(simData);
    threadObject = new SimulationThread(control, stepSizeSetting());
    setState(State::Started);
    emit simStartDone();
}

void Simulation::setNetworkBudget(const NetworkBudget &budget)
{
    std::lock_guard<std::mutex> lock(stateMutex);
    networkBudget = budget;
}

void Simulation::setStepSize(uint ms)
{
    std::lock_guard<std::mutex> lock(stateMutex);
    stepSize = ms;
}

void Simulation::setMaxCars(size_t cars)
{
    std::lock_guard<std::mutex> lock(stateMutex);
    maxCars = cars;
}

NetworkBudget Simulation::budgetSetting() const
{
    std::lock_guard<std::mutex> lock(stateMutex);
    return networkBudget;
}

uint Simulation::stepSizeSetting() const
{
    std::lock_guard<std::mutex> lock(stateMutex);
    return stepSize;
}

size_t Simulation::maxCarsSetting() const
{
    std::lock_guard<std::mutex> lock(stateMutex);
    return maxCars;
}

Simulation::State Simulation::state() const
{
    std::lock_guard<std::mutex> lock(stateMutex);
    return m_state;
}

void Simulation::setState(State done)
{
    std::lock_guard<std::mutex> lock(stateMutex);
    m_state = done;
}
