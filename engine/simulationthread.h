#ifndef KOLVEX_MODEL_SIMULATIONTHREAD_H
#define KOLVEX_MODEL_SIMULATIONTHREAD_H

#include "steppacer.h"

#include "model/units.h"

#include <QObject>

#include <atomic>

class QThread;
class SimulationControl;

/// Runs simulation steps in a thread of its own at a wall-clock pace (the step size).
///
/// Lives in its own QThread: every slot and every step runs there, one at a time, so callers
/// reach it only through queued connections. Steps are chained by single-shot timers.
class SimulationThread : public QObject
{
    Q_OBJECT
public:
    static constexpr uint MIN_STEP_SIZE = 1;
    static constexpr uint MAX_STEP_SIZE = 1000;
    /// Real time: one simulated step per step length of wall-clock time.
    static constexpr uint DEFAULT_STEP_SIZE = units::STEP_MS;

    /// Starts the worker thread; no step runs until startSim. `control` is not owned.
    explicit SimulationThread(SimulationControl *control);
    /// Quits the worker thread and waits for it.
    ~SimulationThread() override;

    uint stepSize() const { return m_stepSize; }
    bool isRunning() const { return m_running; }
    const StepPacer &pacer() const { return m_pacer; }

signals:
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

    // Read by the window through the accessors while the step thread changes them.
    std::atomic<uint> m_stepSize{DEFAULT_STEP_SIZE};
    QThread *m_thread;
    StepPacer m_pacer;
    SimulationControl *m_control;
    std::atomic<bool> m_running{false};
    bool m_stepArmed = false; ///< a timer for doSimStep is pending
};

#endif
