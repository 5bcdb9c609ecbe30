#ifndef KOLVEX_MODEL_SIMULATIONCONTROL_H
#define KOLVEX_MODEL_SIMULATIONCONTROL_H

#include "approachindex.h"

#include "transport/linegenerator.h"

struct SimulationData;

/// Advances a run by one step of 250 ms in nine phases: decisions are made on a frozen picture,
/// then all speeds change at once, then all vehicles move. Runs in the step thread; only the
/// decision phase uses other threads, and it waits for them.
class SimulationControl
{
public:
    explicit SimulationControl(SimulationData *data);
    SimulationControl(const SimulationControl &) = delete;
    SimulationControl &operator=(const SimulationControl &) = delete;

    void step();

    void advanceClock();
    void updateSemaphores();
    void decideVehicles();
    void removeFinishedVehicles();
    void commitSpeeds();
    void resolveDeadlocks();
    void moveVehicles();
    void dispatchDepartures();
    void runGenerators();

    SimulationData *data() const { return m_data; }

private:
    LineGenerator lineGenerator;
    SimulationData *m_data;
    ApproachIndex approaches; ///< first vehicles before the stop lines, for deadlock breaking
};

#endif
