#include "simulation.h"

#include "convert/networkconvertor.h"
#include "convert/osmbusstopconvertor.h"
#include "convert/routeconvertor.h"
#include "convert/tramstopconvertor.h"
#include "engine/simulationcontrol.h"
#include "engine/simulationthread.h"
#include "model/bindingdata.h"
#include "model/simulationdata.h"
#include "osm/boundingboxclip.h"
#include "osm/osmdata.h"
#include "osm/osmparser.h"
#include "report/diagnostics.h"
#include "timetable/schedule.h"
#include "timetable/scheduleparser.h"
#include "transport/linecreator.h"

#include <QThread>

#include <algorithm>
#include <memory>
#include <new>

Simulation::Simulation(const QString &osmFilePath, const QString &scheduleFilePath, const QTime &simInitTime,
                       uint64_t seed)
    : QObject(nullptr), osmFilePath(osmFilePath), scheduleFilePath(scheduleFilePath), startTime(simInitTime),
      seed(seed), stepSize(SimulationThread::DEFAULT_STEP_SIZE), maxCars(SimulationData::DEFAULT_MAX_CARS)
{
    // Standard error hears every diagnostic; the window's log only the first ones, so that a map with
    // millions of faults cannot flood its event queue.
    m_diagnostics.setListener([this, print = Diagnostics::printToStandardError()](const Diagnostic &d) {
        print(d);
        const size_t shown = m_diagnostics.all().size();
        if (shown < SHOWN_DIAGNOSTICS)
            emit diagnostic(QString::fromStdString(d.printed()));
        else if (shown == SHOWN_DIAGNOSTICS)
            emit diagnostic(QStringLiteral("More problems with the inputs: see standard error."));
    });
    worker = new QThread(this);
    workerEnd = std::make_unique<ThreadEnd>(worker);
    worker->start(QThread::InheritPriority);
    // With no memory left for a thread's stack the thread is never made, and work queued to it would
    // wait for good: the preparation then runs on the caller's thread instead.
    if (worker->isRunning())
        moveToThread(worker);
    else
        m_diagnostics.add(Severity::Warning, "simulation",
                          "could not start the preparation thread (out of memory?): preparing on the calling "
                          "thread");
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
        if (!prepareStages())
            return; // cancelled
    } catch (const std::bad_alloc &) {
        discardModel();
        problems << QStringLiteral("map \"%1\": out of memory while preparing it: the map needs more than this "
                                   "machine has")
                        .arg(osmFilePath);
    }
    if (!beginStage(9, QStringLiteral("Simulation data preparating DONE!")))
        return;
    setState(State::Prepared);
    emit prepDataDone();
}

bool Simulation::prepareStages()
{
    const int32_t draftEvery = draftHeadway();
    schedules = new ScheduleParser;
    QString problem;
    if (draftEvery > 0) {
        if (!beginStage(1, QStringLiteral("Parsing schedules... none: the timetable is drafted from the map's "
                                          "route relations")))
            return false;
    } else {
        if (!beginStage(1, QStringLiteral("Parsing schedules...")))
            return false;
        if (!schedules->parse(scheduleFilePath, m_diagnostics, &problem))
            problems << QStringLiteral("schedules: ") + problem;
    }

    if (!beginStage(2, QStringLiteral("Parsing OpenStreetMap data...")))
        return false;
    osm = new OSMData;
    osm->setDiagnostics(&m_diagnostics);
    // The text read is bounded by the network the budget allows, so that reading ends in time.
    const XmlReadLimits readLimits = XmlReadLimits::forNetworkCells(budgetSetting().maxNetworkCells);
    if (!OSMParser::parseFile(osmFilePath, osm, &problem, readLimits, &m_diagnostics))
        problems << QStringLiteral("map: ") + problem;
    const std::optional<BoundingBox> box = boundingBoxSetting();
    if (box)
        clipToBox(*box);

    if (!beginStage(3, QStringLiteral("Converting OpenStreetMap bus stops...")))
        return false;
    OSMBusStopConvertor::convert(osm, m_diagnostics);
    TramStopConvertor::convert(osm, m_diagnostics);

    if (!beginStage(4, QStringLiteral("Creating simulation data...")))
        return false;
    createNetworkData();
    auto convertor = std::make_unique<NetworkConvertor>(osm, simData, bindings, m_diagnostics);

    if (!beginStage(5, QStringLiteral("Converting OpenStreetMap data to simulation data...")))
        return false;
    convertor->setBudget(budgetSetting());
    convertor->setProgress(
        [this](int done, int stages) { emit stageShare(5, PREPARATION_STAGES, 100 * done / stages); });
    if (!convertor->convert())
        problems
            << QStringLiteral("map \"%1\" refused: %2").arg(osmFilePath, QString::fromStdString(convertor->refusal()));
    else if (!hasNetwork())
        problems << QStringLiteral("map: no road or tram track in \"%1\"%2")
                        .arg(osmFilePath, box ? QStringLiteral(" within the box ") + box->toText() : QString());

    if (!beginStage(6, QStringLiteral("Converting OpenStreetMap routes...")))
        return false;
    RouteConvertor::convert(osm, m_diagnostics);

    if (!beginStage(7, QStringLiteral("Synchronizing OpenStreetMap routes and online shedules...")))
        return false;
    if (draftEvery > 0)
        draftSchedules(draftEvery);
    report =
        LineCreator::createLines(osm->routes(), schedules, &simData->lines, bindings, simData->random, m_diagnostics);
    simData->calendar.setLines(&simData->lines);

    if (!beginStage(8, QStringLiteral("Pregenerating lines...")))
        return false;
    report.pregenerated = LineCreator::pregenerateLines(simData, bindings, m_diagnostics);
    return true;
}

void Simulation::clipToBox(const BoundingBox &box)
{
    BoundingBoxClip::Report cut;
    std::unique_ptr<OSMData> clipped = BoundingBoxClip::clip(*osm, box, &cut);
    delete osm;
    osm = clipped.release();
    emit log(QStringLiteral("Cut to the box %1: %2 ways kept, %3 of them cut at its edge (%4 nodes placed there, "
                            "%5 ways in more than one piece); left out %6 ways, %7 stops and %8 route relations.")
                 .arg(box.toText())
                 .arg(cut.waysKept)
                 .arg(cut.waysCut)
                 .arg(cut.edgeNodes)
                 .arg(cut.extraPieces)
                 .arg(cut.waysDropped)
                 .arg(cut.stopsDropped)
                 .arg(cut.relationsDropped));
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
    osm->setDiagnostics(&m_diagnostics);
    createNetworkData();
    if (!schedules)
        schedules = new ScheduleParser;
    report = LineCreationReport();
    drafter.reset(); // it reads the map let go above
    drafted = {};
}

bool Simulation::beginStage(int stage, const QString &msg)
{
    if (cancelRequested.load()) {
        emit prepDataCancelled();
        return false;
    }
    emit log(msg);
    emit stageStarted(stage, PREPARATION_STAGES, msg);
    return true;
}

void Simulation::cancelPreparation()
{
    cancelRequested.store(true);
}

void Simulation::draftSchedules(int32_t every)
{
    drafter = std::make_unique<ScheduleDrafter>(osm, bindings, every);
    drafted = drafter->draft(m_diagnostics);
    // The parser owns the schedules that line creation reads; the drafter keeps its own for writing.
    for (const Schedule *schedule : drafter->schedules())
        schedules->add(new Schedule(*schedule));
    emit log(QStringLiteral("    %1 lines drafted from %2 route relations, a departure every %3 min")
                 .arg(drafted.drafted)
                 .arg(drafted.relations)
                 .arg(every));
}

bool Simulation::writeDraftedSchedules(const QString &path, QString *problem) const
{
    if (!drafter || drafter->schedules().empty()) {
        *problem = QStringLiteral("no timetable was drafted for this run");
        return false;
    }
    Diagnostics diagnostics;
    diagnostics.setListener(Diagnostics::printToStandardError());
    if (!drafter->write(path, diagnostics)) {
        *problem = QStringLiteral("cannot write \"%1\"").arg(path);
        return false;
    }
    return true;
}

bool Simulation::hasNetwork() const
{
    return simData && simData->cellCount() > 0;
}

void Simulation::startSim()
{
    control = new SimulationControl(simData);
    control->diagnostics().setListener(Diagnostics::printToStandardError());
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

void Simulation::setDraftHeadway(int32_t minutes)
{
    std::lock_guard<std::mutex> lock(stateMutex);
    headway = std::max(minutes, 0);
}

int32_t Simulation::draftHeadway() const
{
    std::lock_guard<std::mutex> lock(stateMutex);
    return headway;
}

void Simulation::setMaxCars(size_t cars)
{
    std::lock_guard<std::mutex> lock(stateMutex);
    maxCars = cars;
}

void Simulation::setBoundingBox(const std::optional<BoundingBox> &box)
{
    std::lock_guard<std::mutex> lock(stateMutex);
    boundingBox = box;
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

std::optional<BoundingBox> Simulation::boundingBoxSetting() const
{
    std::lock_guard<std::mutex> lock(stateMutex);
    return boundingBox;
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
