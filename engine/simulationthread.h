#ifndef KOLVEX_ENGINE_SIMULATIONTHREAD_H
#define KOLVEX_ENGINE_SIMULATIONTHREAD_H

#include "frameexchange.h"
#include "steppacer.h"
#include "threadend.h"

#include "model/units.h"

#include <QObject>

#include <atomic>
#include <memory>

class QThread;
class SimulationControl;

/// Runs simulation steps in a thread of its own at a wall-clock pace (the step size), and after
/// every step publishes a frame of what the window shows.
///
/// Lives in its own QThread: every slot and every step runs there, one at a time, so callers
/// reach it only through queued connections. Steps are chained by single-shot timers. Other
/// threads read the run through latestFrame() only.
class SimulationThread : public QObject
{
    Q_OBJECT
public:
    static constexpr uint MIN_STEP_SIZE = 1;
    static constexpr uint MAX_STEP_SIZE = 1000;
    /// Real time: one simulated step per step length of wall-clock time.
    static constexpr uint DEFAULT_STEP_SIZE = units::STEP_MS;

    /// Publishes the frame of the run as it stands and starts the worker thread; no step runs
    /// until startSim. `control` is not owned. `stepSize` is clamped to the bounds.
    explicit SimulationThread(SimulationControl *control, uint stepSize = DEFAULT_STEP_SIZE);
    /// Ends the loop, quits the worker thread and waits for it.
    ~SimulationThread() override;

    uint stepSize() const { return m_stepSize; }
    bool isRunning() const { return m_running; }
    /// The frame of the last step (of the start, before the first step). Any thread.
    std::shared_ptr<const StepFrame> latestFrame() const { return frames.latest(); }
    /// Ends the loop for good, as the run is torn down: no step is started or scheduled after it,
    /// though one under way finishes. Any thread.
    void endLoop() { m_ended = true; }

signals:
    /// A new frame is published (after every step).
    void updateVehicles();
    /// stepPos: 0 at the longest step size, 2 at the shortest, 1 in between.
    void newStepSize(uint newStepSize, int stepPos);

public slots:
    void startSim();
    void stopSim();
    void stepSim();
    void incSimStep();
    void decSimStep();

private slots:
    void doSimStep();

private:
    void scheduleNextStep();
    /// Runs one step and publishes its frame.
    void stepAndPublish();
    void publishFrame();

    // Read by the window through the accessors while the step thread changes them.
    std::atomic<uint> m_stepSize{DEFAULT_STEP_SIZE};
    QThread *m_thread;
    StepPacer m_pacer;
    SimulationControl *m_control;
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_ended{false};
    bool m_stepArmed = false; ///< a timer for doSimStep is pending
    FrameExchange frames;
    std::unique_ptr<ThreadEnd> threadEnd;
};

#endif
