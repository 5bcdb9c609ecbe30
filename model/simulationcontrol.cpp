#include "simulationcontrol.h"

#include "simulationdata.h"

SimulationControl::SimulationControl(SimulationData *data) : m_data(data) {}

void SimulationControl::step()
{
    advanceClock();
    updateSemaphores();
    decideVehicles();
    removeFinishedVehicles();
    commitSpeeds();
    resolveDeadlocks();
    moveVehicles();
    dispatchDepartures();
    runGenerators();
}

void SimulationControl::advanceClock()
{
    m_data->time = m_data->time.addMSecs(250);
    ++m_data->step;
}

void SimulationControl::updateSemaphores() {}
void SimulationControl::decideVehicles() {}
void SimulationControl::removeFinishedVehicles() {}
void SimulationControl::commitSpeeds() {}
void SimulationControl::resolveDeadlocks() {}
void SimulationControl::moveVehicles() {}
void SimulationControl::dispatchDepartures() {}
void SimulationControl::runGenerators() {}
