#ifndef KOLVEX_ENGINE_SIMULATION_H
#define KOLVEX_ENGINE_SIMULATION_H

#include "convert/networkbudget.h"
#include "engine/threadend.h"
#include "osm/boundingbox.h"
#include "report/diagnostics.h"
#include "transport/linecreator.h"
#include "transport/scheduledrafter.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTime>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>

class BindingData;
class OSMData;
class QThread;
class ScheduleParser;
class SimulationControl;
class SimulationThread;
struct SimulationData;

/// One run: owns the map model, the cell network with its vehicles and lines, the binding
/// records, the schedules, the step engine and its paced loop.
///
/// Lives in a worker thread of its own, where prepData and startSim run; call them through
/// queued invocations. Once state() says a stage is done, the parts it made may be read from any
/// thread; the vehicles only through the frames of simulationThread(). Destroying it stops both
/// threads and frees the whole model; nothing it holds is shared with another run.
class Simulation : public QObject
{
    Q_OBJECT
public:
    enum class State { Created, Prepared, Started };
    /// The announced stages of prepData.
    static constexpr int PREPARATION_STAGES = 9;
    /// Diagnostics the window's log is told of one by one; standard error hears them all.
    static constexpr size_t SHOWN_DIAGNOSTICS = 1000;

    /// `seed` starts every random draw of the run; one seed gives one run.
    Simulation(const QString &osmFilePath, const QString &scheduleFilePath, const QTime &simInitTime,
               uint64_t seed = 1);
    ~Simulation() override;

    SimulationControl *simulationControl() const { return control; }
    SimulationThread *simulationThread() const { return threadObject; }
    OSMData *osmData() const { return osm; }
    SimulationData *simulationData() const { return simData; }
    BindingData *bindingData() const { return bindings; }
    ScheduleParser *scheduleParser() const { return schedules; }
    QThread *workerThread() const { return worker; }
    /// Lines created and left out, and vehicles placed under way; filled by prepData.
    const LineCreationReport &lineReport() const { return report; }
    /// What the stages of prepData found in the input; each is printed to standard error as it
    /// is recorded.
    const Diagnostics &diagnostics() const { return m_diagnostics; }
    uint64_t runSeed() const { return seed; }
    const QTime &simInitTime() const { return startTime; }

    /// Instead of reading the schedule file, drafts the timetable from the map's route relations
    /// as `kolvex-headless --draft-schedules` does, a departure every `headway` minutes; nothing is
    /// written. Set before prepData.
    void setDraftHeadway(int32_t headway);
    /// Minutes between departures of a drafted line; 0 when the schedule file is read.
    int32_t draftHeadway() const;
    /// What drafting made of the route relations; null when the schedule file was read. Read after
    /// prepDataDone.
    const ScheduleDrafter::Result *draftResult() const { return drafter ? &drafted : nullptr; }
    /// Writes the drafted timetable in the schedule file format; false with `problem` set when
    /// nothing was drafted or the file cannot be written. Call after prepDataDone.
    bool writeDraftedSchedules(const QString &path, QString *problem) const;

    /// Bounds the cost of the network; set before prepData.
    void setNetworkBudget(const NetworkBudget &budget);
    /// The step size the loop starts with; set before startSim.
    void setStepSize(uint ms);
    /// The cap of cars on the network (SimulationData::DEFAULT_MAX_CARS unless set); set before prepData.
    void setMaxCars(size_t cars);
    /// Keeps only the part of the map within `box`, cutting the ways that cross its edges; none (the
    /// default) keeps the whole map. Set before prepData.
    void setBoundingBox(const std::optional<BoundingBox> &box);
    /// How far the run is: after prepDataDone Prepared, after simStartDone Started. Reading it
    /// makes everything that stage did visible to the calling thread.
    State state() const;
    /// What went wrong while preparing: an input that could not be read whole (naming the file,
    /// and the line and column of an XML error), a file that is not a map, a map refused by the
    /// budget or one without road or tram track. Preparation goes on with what exists either way;
    /// a console run treats any entry as failure. Read after prepDataDone.
    const QStringList &preparationProblems() const { return problems; }
    /// Whether preparation built a network to run on; when not, preparationProblems() says why.
    bool hasNetwork() const;

    /// Asks prepData to stop before its next stage; callable from any thread. A stage under way
    /// runs to its end.
    void cancelPreparation();

signals:
    void prepDataDone();
    void simStartDone();
    void log(QString msg);
    /// A problem found in the inputs, as the console prints it; the first `SHOWN_DIAGNOSTICS` only.
    void diagnostic(QString line);
    /// Stage `stage` (1 to `stages`) of prepData begins; `name` is its log message.
    void stageStarted(int stage, int stages, QString name);
    /// Of stage `stage` (of `stages`), the share `percent` is done: the longest stage, converting
    /// the map to cells, tells how far it is.
    void stageShare(int stage, int stages, int percent);
    /// prepData stopped before a stage, as cancelPreparation asked; prepDataDone does not follow.
    void prepDataCancelled();

public slots:
    /// Reads both inputs and builds the network in nine announced stages.
    void prepData();
    /// Creates the step engine and its paced loop (not yet stepping).
    void startSim();

private:
    /// The stages of prepData but its last; false when cancelled. May throw std::bad_alloc.
    bool prepareStages();
    /// An empty network, its bindings and an idle calendar, for the settings of the run.
    void createNetworkData();
    /// Lets go of the map and the network built so far and puts empty ones in their place.
    void discardModel();
    /// Marks a stage done; its work becomes visible to whoever reads state() afterwards.
    void setState(State done);
    /// Announces a stage; false (and prepDataCancelled emitted) when the preparation is to stop.
    bool beginStage(int stage, const QString &msg);
    /// Drafts the timetable from the converted map and hands it to line creation (stage 7).
    void draftSchedules(int32_t headway);
    /// The settings as the calling thread may read them (they are set from another one).
    NetworkBudget budgetSetting() const;
    uint stepSizeSetting() const;
    size_t maxCarsSetting() const;
    std::optional<BoundingBox> boundingBoxSetting() const;
    /// Puts the part of the map within `box` in place of the whole (in stage 2, after reading).
    void clipToBox(const BoundingBox &box);

    OSMData *osm = nullptr;
    SimulationData *simData = nullptr;
    BindingData *bindings = nullptr;
    ScheduleParser *schedules = nullptr;
    SimulationControl *control = nullptr;
    SimulationThread *threadObject = nullptr;
    QString osmFilePath;
    QString scheduleFilePath;
    QTime startTime;
    uint64_t seed;
    NetworkBudget networkBudget;
    QStringList problems;
    QThread *worker;
    std::unique_ptr<ThreadEnd> workerEnd;
    LineCreationReport report;
    Diagnostics m_diagnostics;
    std::unique_ptr<ScheduleDrafter> drafter; ///< kept for writing what it drafted
    ScheduleDrafter::Result drafted;
    uint stepSize;
    int32_t headway = 0;
    size_t maxCars;
    std::optional<BoundingBox> boundingBox;
    /// Guards the state and the settings, which other threads write before the stages read them.
    mutable std::mutex stateMutex;
    State m_state = State::Created;
    std::atomic<bool> cancelRequested{false};
};

#endif
